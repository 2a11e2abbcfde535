#include "ui/widgets/folderdialog.h"
#include "ui/widgets/formdlgbox.h"

#include "modalhelper.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Answers the next message box with the button of that caption.
void answerNextBox(const QString &caption)
{
    whenModalOpens<TFormDlgBox>([caption](TFormDlgBox *box) {
        for (QPushButton *b : box->buttons()) {
            if (b->text() == caption) {
                b->click();
                return;
            }
        }
        ADD_FAILURE() << "no button " << caption.toStdString();
        box->close();
    });
}

} // namespace

TEST(FolderDialog, AMissingFolderIsProposedAndCreatedOnlyAfterTheQuestion)
{
    QTemporaryDir tmp;
    const QString wanted = tmp.filePath(QStringLiteral("stereo/left"));
    bool stayedOpenAfterNo = false;
    bool existedAfterNo = true;
    QString proposed;
    whenModalOpens<TFolderDialog>([&](TFolderDialog *dlg) {
        EXPECT_EQ(dlg->windowTitle(), "Open folder with Left View images");
        EXPECT_EQ(QDir(dlg->directory()).absolutePath(), QDir(tmp.path()).absolutePath());
        if (auto *edit = dlg->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            proposed = edit->text();
        // The dialog's own button accepts the missing folder, as a user presses it.
        auto *buttons = dlg->findChild<QDialogButtonBox *>();
        QAbstractButton *choose = buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
        if (!choose || !choose->isEnabled()) {
            ADD_FAILURE() << "the missing folder cannot be chosen";
            dlg->reject();
            return;
        }
        answerNextBox(QStringLiteral("&No"));
        choose->click();
        stayedOpenAfterNo = dlg->isVisible();
        existedAfterNo = QDir(wanted).exists();
        answerNextBox(QStringLiteral("&Yes"));
        choose->click();
    });
    const QString chosen =
        ChooseFolder(nullptr, QStringLiteral("Open folder with Left View images"), wanted);
    EXPECT_EQ(proposed, "stereo/left");
    EXPECT_TRUE(stayedOpenAfterNo);
    EXPECT_FALSE(existedAfterNo);
    EXPECT_EQ(chosen, QDir::cleanPath(wanted));
    EXPECT_TRUE(QDir(wanted).exists());
}
