#include "ui/widgets/folderdialog.h"

#include "ui/folderchoice.h"
#include "ui/widgets/formdlgbox.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QPushButton>

namespace {

// A folder that does not exist yet below one that does, with no file in its way.
bool canBeCreated(const QString &folder)
{
    return !folder.isEmpty() && !QFileInfo::exists(folder) &&
           !FolderChooserStart(folder).Missing.isEmpty();
}

} // namespace

TFolderDialog::TFolderDialog(const QString &title, const QString &fieldText, QWidget *parent)
    : QFileDialog(parent, title)
{
    setObjectName(QStringLiteral("FolderDialog"));
    setFileMode(QFileDialog::Directory);
    setAcceptMode(QFileDialog::AcceptOpen);
    // The program's own dialog, so that its question before creating a folder is asked;
    // its "Create New Folder" button works as well.
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::ShowDirsOnly);
    const TFolderStart start = FolderChooserStart(fieldText);
    setDirectory(start.Existing);
    if (!start.Missing.isEmpty())
        selectFile(start.Missing);
    if (auto *buttons = findChild<QDialogButtonBox *>()) {
        m_acceptButton = buttons->button(QDialogButtonBox::Open);
        if (m_acceptButton) {
            m_acceptButton->installEventFilter(this);
            if (!m_acceptButton->isEnabled() && canBeCreated(chosenFolder()))
                m_acceptButton->setEnabled(true);
        }
    }
}

bool TFolderDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_acceptButton && event->type() == QEvent::EnabledChange &&
        !m_acceptButton->isEnabled() && canBeCreated(chosenFolder()))
        m_acceptButton->setEnabled(true);
    return QFileDialog::eventFilter(watched, event);
}

QString TFolderDialog::chosenFolder() const
{
    const QStringList files = selectedFiles();
    return files.isEmpty() ? QString() : QDir::cleanPath(files.first());
}

void TFolderDialog::accept()
{
    const QString folder = chosenFolder();
    if (canBeCreated(folder)) {
        if (ShowDlgBox(CreateFolderQuestion(folder), DlgKind::Confirmation,
                       DlgButton::Yes | DlgButton::No, this) != DlgResult::Yes)
            return;
        if (!QDir().mkpath(folder)) {
            ShowDlgBox(CreateFolderFailedText(folder), DlgKind::Error, DlgButton::OK, this);
            return;
        }
    }
    QFileDialog::accept();
}

QString ChooseFolder(QWidget *parent, const QString &title, const QString &fieldText)
{
    TFolderDialog dialog(title, fieldText, parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.chosenFolder();
}
