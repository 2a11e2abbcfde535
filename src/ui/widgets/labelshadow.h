#pragma once
// TLabelShadow: a plain text label (no markup) drawn with a one-pixel outline in its
// shadow colour, so that light text stays readable on a picture. Carriage returns and
// line feeds break lines.
#include <QColor>
#include <QWidget>

class TLabelShadow : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(QColor shadowColor READ shadowColor WRITE setShadowColor)
    Q_PROPERTY(bool autoSize READ autoSize WRITE setAutoSize)
    Q_PROPERTY(bool transparent READ transparent WRITE setTransparent)

public:
    explicit TLabelShadow(QWidget *parent = nullptr);

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);

    // Black by default.
    QColor shadowColor() const { return m_shadowColor; }
    void setShadowColor(const QColor &color);

    bool autoSize() const { return m_autoSize; }
    void setAutoSize(bool on);

    bool transparent() const { return !autoFillBackground(); }
    void setTransparent(bool on) { setAutoFillBackground(!on); }

    // The size an ordinary label needs for the caption; an empty caption measures as one
    // blank.
    QSize measuredSize() const;

    QSize sizeHint() const override { return measuredSize(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QString displayText() const;
    void applyAutoSize();

    QString m_caption;
    QColor m_shadowColor = Qt::black;
    bool m_autoSize = true;
};
