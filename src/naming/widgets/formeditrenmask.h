#pragma once
// TFormEditRenMask ("Configuration of Image Properties"): the token palette. Each button
// inserts its token into the mask of the frame that opened the palette (its target); file
// tokens are completed with "_L>" or "_R>" by the choice "left" / "  right". Without a
// target the buttons do nothing. The window stays on top and is shown without being modal.
#include <QDialog>
#include <QPointer>

class QPushButton;
class QRadioButton;
class TFrameEditText;

class TFormEditRenMask : public QDialog
{
    Q_OBJECT

public:
    explicit TFormEditRenMask(QWidget *parent = nullptr);

    void setTarget(TFrameEditText *target);
    TFrameEditText *target() const;

    // The side choice: false "left" (the default), true "  right". Kept with the settings.
    bool rightSide() const;
    void setRightSide(bool right);

    // The button with caption, or null.
    QPushButton *button(const QString &caption) const;

    QRadioButton *RadioButtonLeft = nullptr;
    QRadioButton *RadioButtonRight = nullptr;
    QPushButton *ButtonClose = nullptr;

private:
    void insert(const QString &token);

    QPointer<TFrameEditText> m_target;
    QList<QPushButton *> m_buttons;
};
