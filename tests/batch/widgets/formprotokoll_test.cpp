// The log window shows the log's lines in their colours and weights, follows a replaced
// log, keeps each line one line, saves it as RTF (naming a path it cannot write as it is)
// and hides on "Exit".
#include "batch/protokoll.h"
#include "batch/widgets/formprotokoll.h"
#include "support/widgets/modal.h"
#include "ui/markup.h"
#include "ui/widgets/formdlgbox.h"
#include "ui/widgets/labelformat.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>

#include <gtest/gtest.h>

TEST(FormProtokoll, ShowsSavesAndHides)
{
    TProtokoll log;
    log.AddLine(QStringLiteral("before the window"));
    TFormProtokoll form(log);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Log"));
    log.AddLine(QStringLiteral("Canceled by request"), logcolor::Red);
    log.AddLine(QStringLiteral("Batch Job incomplete"), logcolor::Red, LogStyle::Bold);
    EXPECT_EQ(form.RichEdit1->toPlainText(),
              QStringLiteral("before the window\nCanceled by request\nBatch Job incomplete"));
    const QTextBlock last = form.RichEdit1->document()->lastBlock();
    const QTextCharFormat format = last.begin().fragment().charFormat();
    EXPECT_EQ(format.foreground().color(), logcolor::Red);
    EXPECT_EQ(format.fontWeight(), QFont::Bold);

    log.ReplaceContents({{QStringLiteral("history"), logcolor::Blue, LogStyle::Bold}});
    EXPECT_EQ(form.RichEdit1->toPlainText(), QStringLiteral("history"));
    log.Clear();
    log.AddLine(QStringLiteral("first"));
    EXPECT_EQ(form.RichEdit1->toPlainText(), QStringLiteral("first"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("job.RTF"));
    ASSERT_TRUE(form.SaveAs(path));
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().startsWith("{\\rtf1"));

    // A name with a line break stays on its line.
    log.AddLine(QStringLiteral("Renamed a\nb.jpg"));
    EXPECT_EQ(form.RichEdit1->toPlainText(), QStringLiteral("first\nRenamed a\u240Ab.jpg"));

    // A log that cannot be saved names the path as it is, "<" and all.
    const QString unwritable = dir.filePath(QStringLiteral("<FB>no<c3> folder/job.RTF"));
    QString shown;
    whenModalOpens<TFormDlgBox>([&shown](TFormDlgBox *box) {
        shown = MarkupPlainText(box->messageLabel()->caption());
        box->close();
    });
    EXPECT_FALSE(form.SaveAs(unwritable));
    EXPECT_TRUE(shown.contains(QStringLiteral("\n") + unwritable + QStringLiteral("\n")))
        << qPrintable(shown);

    form.show();
    form.ActionExit->trigger();
    EXPECT_FALSE(form.isVisible());
}
