#include "ui/folderchoice.h"
#include "ui/markup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(FolderChooserStart, OpensAtTheDeepestExistingFolderAndProposesTheRest)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(QDir(tmp.path()).mkpath(QStringLiteral("photos/left")));
    QFile file(tmp.filePath(QStringLiteral("photos/notes.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString base = tmp.path();
    struct Case
    {
        QString text;
        QString existing;
        QString missing;
    };
    const Case cases[] = {
        {base + "/photos/left", base + "/photos/left", ""},
        {base + "/photos/left/", base + "/photos/left", ""},
        {base + "/photos/new/sub", base + "/photos", "new/sub"},
        {base + "/photos/notes.txt/sub", base + "/photos", ""},
        {"", QDir::homePath(), ""},
        {"C:\\Stereos\\Test_L", QDir::homePath(), ""},
        {"/", "/", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const TFolderStart start = FolderChooserStart(c.text);
        EXPECT_EQ(start.Existing, c.existing);
        EXPECT_EQ(start.Missing, c.missing);
    }
}

TEST(FolderMessages, ShowTheFolderAsItIs)
{
    // A "<" in the name neither starts a tag nor swallows the line feed after the name.
    for (const QString &text : {CreateFolderQuestion(QStringLiteral("/photos/a<b")),
                                CreateFolderFailedText(QStringLiteral("/photos/a<b"))}) {
        SCOPED_TRACE(text.toStdString());
        const TFormatSegments segments = ParseMarkup(text);
        ASSERT_GE(segments.size(), 5u);
        EXPECT_EQ(segments[2].Text + segments[3].Text, QStringLiteral("/photos/a<b"));
        EXPECT_EQ(segments[4].Kind, fkNormal);
    }
}
