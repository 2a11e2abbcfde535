// duomira-cli check, run as a separate process on stereo views made from the test data's
// real photos, written as JPEG files with capture times so that pair pairs them.
#include "clijpeg.h"
#include "imaging/jpegcodec.h"
#include "paircheck/stereopairmaker.h"
#include "support/testdata.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray run(const QStringList &arguments, int &exitCode)
{
    QProcess p;
    p.start(QStringLiteral(DUOMIRA_CLI_PATH), QStringList{QStringLiteral("check")} + arguments);
    EXPECT_TRUE(p.waitForFinished(120000)) << "duomira-cli did not finish";
    exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAllStandardOutput();
}

} // namespace

// Four pairs the times pair (the right camera 30 s ahead): a good one, one given the wrong
// way round, two different photos, and two small plain pictures; each gets its verdict, in
// row order, and the summary counts them.
TEST(CliCheck, EachPairGetsItsFiguresAndVerdictAndASummary)
{
    QTemporaryDir dir;
    const auto view = [&](const char *photo) {
        const QImage source = DecodeJpegFileScaled(
            testDataPath(QStringLiteral("photos/jpg/tests/") + QLatin1String(photo)),
            [](int w, int h) { return std::max(w, h) >= 2300 ? 2 : 1; });
        return MakeStereoPair(source, {});
    };
    const TMadePair a = view("22-canon_tags.jpg"), b = view("45-gps_ifd.jpg");
    const struct
    {
        QImage Left, Right;
        const char *Verdict;
    } pairs[] = {{a.Left, a.Right, "good"},
                 {a.Right, a.Left, "bad"},
                 {a.Left, b.Right, "bad"},
                 {QImage(), QImage(), "none"}};
    const int shots[] = {0, 7, 19, 26};
    QStringList arguments{QStringLiteral("--left")};
    QStringList right{QStringLiteral("--right")};
    for (int i = 0; i < 4; ++i) {
        for (const bool isLeft : {true, false}) {
            const QString path =
                dir.filePath(QStringLiteral("p%1_%2.jpg").arg(i).arg(isLeft ? 'L' : 'R'));
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            const int s = shots[i] + (isLeft ? 0 : 30);
            f.write(jpegTakenAt(QString::asprintf("2024:05:01 10:00:%02d", s).toLatin1(),
                                isLeft ? pairs[i].Left : pairs[i].Right));
            (isLeft ? arguments : right) << path;
        }
    }
    arguments += right;

    int exitCode = -1;
    const QList<QByteArray> lines =
        run(QStringList{QStringLiteral("--json")} + arguments, exitCode).split('\n');
    EXPECT_EQ(exitCode, 0);
    ASSERT_EQ(lines.size(), 6); // four pairs, the summary, the final newline
    for (int i = 0; i < 4; ++i) {
        const QJsonObject o = QJsonDocument::fromJson(lines[i]).object();
        EXPECT_EQ(o.value("verdict").toString(), QLatin1String(pairs[i].Verdict))
            << lines[i].constData();
        EXPECT_EQ(QFileInfo(o.value("left").toString()).fileName(),
                  QStringLiteral("p%1_L.jpg").arg(i));
        EXPECT_EQ(o.contains("verticalOffsetPercent"), i == 0 || i == 1);
    }
    const QJsonObject summary =
        QJsonDocument::fromJson(lines[4]).object().value("summary").toObject();
    EXPECT_EQ(summary.value("pairs").toInt(), 4);
    EXPECT_EQ(summary.value("bad").toInt(), 2);

    const QList<QByteArray> text = run(arguments, exitCode).split('\n');
    EXPECT_EQ(exitCode, 0);
    ASSERT_EQ(text.size(), 6);
    EXPECT_TRUE(text[0].contains("\tGood: vertical ")) << text[0].constData();
    EXPECT_TRUE(text[1].contains("sides swapped")) << text[1].constData();
    EXPECT_TRUE(text[2].contains("Bad: not the same scene")) << text[2].constData();
    EXPECT_EQ(text[4], "4 pairs checked: 1 good, 0 check, 2 bad, 1 without verdict");

    run({QStringLiteral("--json"), QStringLiteral("--mode"), QStringLiteral("9")}, exitCode);
    EXPECT_EQ(exitCode, 2);
}
