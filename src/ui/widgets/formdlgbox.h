#pragma once
// The program's message box: an icon for the kind of message, a message in markup and a
// row of buttons. The window sizes itself to the message; boxes open at the same time are
// placed 20 pixels apart.
#include "ui/dlgbox.h"

#include <QDialog>
#include <QIcon>
#include <QList>

class QPushButton;
class TLabelFormat;

class TFormDlgBox : public QDialog
{
    Q_OBJECT

public:
    // Builds, sizes and places the box; it counts as open from here until it is destroyed.
    TFormDlgBox(const QString &message, DlgKind kind, DlgButtons buttons,
                QWidget *parent = nullptr);
    ~TFormDlgBox() override;

    // Number of message boxes that exist right now (they exist only while shown).
    static int openCount();

    DlgKind kind() const { return m_kind; }
    TLabelFormat *messageLabel() const { return m_label; }
    // The buttons in placing order.
    const QList<QPushButton *> &buttons() const { return m_buttons; }

    // Closing the window without a button answers Cancel (2).
    void reject() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QIcon kindIcon() const;

    DlgKind m_kind;
    TLabelFormat *m_label = nullptr;
    QList<QPushButton *> m_buttons;
    DlgBoxParts m_parts;
};

// Shows a message box modally and returns the result of the pressed button (DlgResult),
// or DlgResult::Cancel when the box was closed without one. parent defaults to the
// active window.
int ShowDlgBox(const QString &message, DlgKind kind, DlgButtons buttons, QWidget *parent = nullptr);
