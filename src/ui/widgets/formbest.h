#pragma once
// TFormBest: the question asked before one replacement in a file name. It shows the name
// with the found text selected and answers Yes (6), No (7) or Cancel (2).
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TFormBest : public QDialog
{
    Q_OBJECT

public:
    explicit TFormBest(QWidget *parent = nullptr);

    // Fills the question and the name, selects the first occurrence of search in name
    // and shows the window modally. Closing it without a button answers Cancel.
    int ask(const QString &search, const QString &replacement, Qt::CaseSensitivity cs,
            const QString &name);

    // Fills the window without showing it.
    void prepare(const QString &search, const QString &replacement, Qt::CaseSensitivity cs,
                 const QString &name);

    QLabel *questionLabel() const { return m_question; }
    QLineEdit *nameEdit() const { return m_name; }

    void reject() override;

private:
    QLabel *m_question = nullptr;
    QLineEdit *m_name = nullptr;
};

// Asks before replacing search by replacement in name. Without ask the answer is Yes at
// once and no window is shown; otherwise form asks (DlgResult::Yes, No or Cancel).
int AskReplace(TFormBest &form, bool ask, const QString &search, const QString &replacement,
               Qt::CaseSensitivity cs, const QString &name);
