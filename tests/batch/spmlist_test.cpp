// The SPM list: the line format byte for byte, which rows become lines, and what is
// written when there is nothing to list.
#include "batchfixture.h"

#include "batch/spmlist.h"
#include "entries/listoperations.h"

#include <QFile>

class SpmList : public BatchFixture
{
protected:
    TSpmListOutcome write(const QString &file)
    {
        TSpmListRequest request;
        request.leftList = &left;
        request.listFile = file;
        request.sourcePaths = true;
        return WriteSpmListFile(request, log, progress, realOps);
    }
    QByteArray read(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(SpmList, LinesNameEveryPairOfTheLeftListInOrder)
{
    EXPECT_EQ(SpmListLine(QStringLiteral("/s/L/P_002_L.jpg"), QStringLiteral("/s/R/a,b_R.jpg"), 2,
                          QStringLiteral("P_002")),
              QByteArray("21,0,0,0,0,/s/L/P_002_L.jpg,/s/R/a,b_R.jpg,2) P_002,\r\n"));

    auto [l1, r1] = addPair(QStringLiteral("a"), QStringLiteral("P1"));
    addMono(QStringLiteral("m.jpg"), QStringLiteral("M"));
    auto [l3, r3] =
        addPair(QStringLiteral("c"), QString()); // an empty new name still gets its line
    auto [l4, r4] = addPair(QStringLiteral("d"), QStringLiteral("P4"));
    r4->SetBatch(false); // a pair with an excluded picture is not listed
    const QString file = m_root.filePath(QStringLiteral("list.txt"));
    const TSpmListOutcome outcome = write(file);
    EXPECT_EQ(outcome.pairs, 2);
    EXPECT_EQ(read(file), SpmListLine(l1->SourcePath(), r1->SourcePath(), 1, QStringLiteral("P1")) +
                              SpmListLine(l3->SourcePath(), r3->SourcePath(), 2, QString()));
    EXPECT_EQ(logLines(QStringLiteral("Nr: ")),
              (QStringList{QStringLiteral("Nr:    0\tComment: 1)\tP1"),
                           QStringLiteral("Nr:    2\tComment: 2)\t")}));
    EXPECT_EQ(progress.state.Maximum(), 3);
    EXPECT_EQ(progress.state.Position(), 3);

    // A pair whose file is gone is left out with a red line; the others keep their numbers.
    QFile::remove(r1->SourcePath());
    log.Clear();
    EXPECT_EQ(write(file).pairs, 1);
    EXPECT_EQ(read(file), SpmListLine(l3->SourcePath(), r3->SourcePath(), 1, QString()));
    EXPECT_EQ(redLines(), 1);
}

TEST_F(SpmList, NothingToListLeavesAnOldListAloneAndAnEmptyNameIsInvalid)
{
    addMono(QStringLiteral("m.jpg"), QStringLiteral("M"));
    const QString file = m_root.filePath(QStringLiteral("list.txt"));
    QFile old(file);
    old.open(QIODevice::WriteOnly);
    old.write("old");
    old.close();
    EXPECT_TRUE(write(file).result);
    EXPECT_EQ(logLines(QStringLiteral("Stereo pairs missing")).size(), 1);
    EXPECT_EQ(read(file), QByteArray("old"));

    EXPECT_FALSE(write(QString()).result);
    EXPECT_EQ(logLines(QStringLiteral("Invalid filename")).size(), 1);
    EXPECT_EQ(ResolveSpmListPath(QStringLiteral("x/l.txt"), QStringLiteral("/home/u/Stereos")),
              QStringLiteral("/home/u/Stereos/x/l.txt"));
}
