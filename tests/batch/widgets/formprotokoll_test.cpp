// The log window shows the log's lines in their colours and weights, follows a replaced
// log, saves it as RTF and hides on "Exit".
#include "batch/protokoll.h"
#include "batch/widgets/formprotokoll.h"

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

    form.show();
    form.ActionExit->trigger();
    EXPECT_FALSE(form.isVisible());
}
