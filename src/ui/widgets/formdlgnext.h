#pragma once
// TFormDlgNext: the pair prompt. While an automatic assignment waits for the user to pick
// one known stereo pair in the two lists, this small window stays on top with "Next" and
// "Cancel". It reports with its tag when "Next" is pressed and whenever it is hidden; the
// main window posts these to itself as WM_ASSIGN_STEP (TAssignStep Next and PromptHidden).
#include <QDialog>

class QPushButton;
class TLabelFormat;

class TFormDlgNext : public QDialog
{
    Q_OBJECT

public:
    explicit TFormDlgNext(QWidget *parent = nullptr);

    // Handed back with every message: the mode of the assignment pass that opened it.
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

    TLabelFormat *hintLabel() const { return m_label; }
    QPushButton *nextButton() const { return m_next; }
    QPushButton *cancelButton() const { return m_cancel; }

Q_SIGNALS:
    // "Next" was pressed; the prompt stays open.
    void nextPressed(int tag);
    // The prompt was hidden by the program ("Cancel", closing, Escape or hide()).
    void promptHidden(int tag);

protected:
    void hideEvent(QHideEvent *event) override;

private:
    int m_tag = 0;
    TLabelFormat *m_label = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_cancel = nullptr;
};
