#pragma once
// The folder chooser behind the "..." buttons of folder fields: a folder dialog that opens
// at the field's folder (or the deepest part of it that exists, with the missing rest
// proposed) and offers to create a folder that does not exist yet before it accepts it.
#include <QFileDialog>

class QAbstractButton;

class TFolderDialog : public QFileDialog
{
    Q_OBJECT

public:
    TFolderDialog(const QString &title, const QString &fieldText, QWidget *parent = nullptr);

    // The chosen folder after the dialog was accepted.
    QString chosenFolder() const;

    // A folder that does not exist is created after the user agreed to it; without the
    // agreement, or when it cannot be created, the dialog stays open.
    void accept() override;

protected:
    // Keeps the accept button enabled for a folder that can be created: the dialog itself
    // accepts only folders that exist.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAbstractButton *m_acceptButton = nullptr;
};

// Shows the chooser modally; the chosen folder, or an empty text when it was cancelled.
QString ChooseFolder(QWidget *parent, const QString &title, const QString &fieldText);
