#include "ui/widgets/folderdialog.h"
#include "ui/widgets/formdlgbox.h"

#include "support/widgets/modal.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
        answerNextBox(DlgResult::No);
        choose->click();
        stayedOpenAfterNo = dlg->isVisible();
        existedAfterNo = QDir(wanted).exists();
        answerNextBox(DlgResult::Yes);
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
