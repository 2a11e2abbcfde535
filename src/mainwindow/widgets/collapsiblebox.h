#pragma once
// TCollapsibleBox: one box of the option stack on the left of the main window. A click on
// its caption line folds it down to that line or opens it again. A folded box is coloured
// by the sign it was folded with (a darker grey for -1, a lighter one for +1), so that a
// column of folded boxes reads as alternating stripes; an open box has the normal face
// colour.
#include <QFrame>

class QVBoxLayout;

class TCollapsibleBox : public QFrame
{
    Q_OBJECT

public:
    explicit TCollapsibleBox(const QString &title, QWidget *parent = nullptr);

    QString title() const { return m_title; }
    // The widget that holds the box's controls (give it a layout).
    QWidget *body() const { return m_body; }

    bool isCollapsed() const { return m_collapsed; }
    // The sign remembered at the last fold (+1 before the first one).
    int sign() const { return m_sign; }
    // Folds the box to its caption line and remembers sign (-1 or +1).
    void collapse(int sign);
    // Opens the box again.
    void expand();
    // What a click on the caption line does: a folded box opens, an open one folds with
    // its remembered sign.
    void toggle();

    // A press of the left mouse button anywhere on widget toggles the box too (the "Hints"
    // box toggles on any click on itself or its label).
    void addToggleArea(QWidget *widget);
    void setToggleOnAnyClick(bool on) { m_anyClick = on; }

    // Height of the caption line, the height of a folded box.
    int captionHeight() const;
    // Colour of a folded box: RGB(181, 181, 181) for a negative sign, RGB(212, 212, 212)
    // for a positive one.
    static QColor collapsedColor(int sign);
    // The background the box shows now.
    QColor backgroundColor() const;

Q_SIGNALS:
    void toggled(bool collapsed);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void applyMargins();

    QString m_title;
    QWidget *m_body = nullptr;
    QVBoxLayout *m_layout = nullptr;
    bool m_collapsed = false;
    bool m_anyClick = false;
    int m_sign = 1;
};
