// duomira-cli pair, run as a separate process on JPEG files with known capture times
// (written at test time: Qt's JPEG writer plus a hand-built EXIF block) and on the
// fixture photos.
#include "clijpeg.h"
#include "support/stereoassembler.h"
#include "support/testdata.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct CliRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

CliRun runPair(const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral(DUOMIRA_CLI_PATH), QStringList{QStringLiteral("pair")} + arguments);
    EXPECT_TRUE(p.waitForFinished(60000)) << "duomira-cli did not finish";
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

QJsonObject result(const CliRun &run)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(run.out, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out.constData() << run.err.constData();
    return doc.object();
}

class CliPair : public ::testing::Test
{
protected:
    QTemporaryDir dir;

    // Writes name with the capture time 2024-05-01 plus seconds after 10:00:00.
    QString photo(const QString &name, int seconds)
    {
        const int h = 10 + seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(jpegTakenAt(QString::asprintf("2024:05:01 %02d:%02d:%02d", h, m, s).toLatin1()));
        return path;
    }

    static QString field(const QJsonObject &row, const char *side, const char *key)
    {
        const QJsonValue v = row.value(QLatin1String(side)).toObject().value(QLatin1String(key));
        return v.isNull() ? QStringLiteral("null") : v.toVariant().toString();
    }
    static QString fileOf(const QJsonObject &row, const char *side)
    {
        const QString path = field(row, side, "path");
        return path == QLatin1String("null") ? QStringLiteral("-") : QFileInfo(path).fileName();
    }
    // "left file|right file" per row.
    static QStringList pairs(const QJsonObject &r)
    {
        QStringList out;
        for (const QJsonValue &row : r.value(QStringLiteral("rows")).toArray())
            out << fileOf(row.toObject(), "left") + u'|' + fileOf(row.toObject(), "right");
        return out;
    }
};

TEST_F(CliPair, PairsTwoStreamsWithAClockOffset)
{
    // Right camera 30 s ahead; it has one extra shot in the middle of a pause.
    QStringList left, right;
    for (int i = 0; i < 5; ++i) {
        left << photo(QStringLiteral("L%1.jpg").arg(i), 20 * i + i % 3);
        right << photo(QStringLiteral("R%1.jpg").arg(i), 30 + 20 * i + i % 3);
    }
    right << photo(QStringLiteral("Rx.jpg"), 300);
    const CliRun run = runPair(
        QStringList{QStringLiteral("--mode"), QStringLiteral("1"), QStringLiteral("--left")} +
        left + QStringList{QStringLiteral("--right")} + right);
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonObject r = result(run);
    EXPECT_EQ(r.value(QStringLiteral("outcome")).toString(), QStringLiteral("paired"));
    EXPECT_EQ(pairs(r), (QStringList{"L0.jpg|R0.jpg", "L1.jpg|R1.jpg", "L2.jpg|R2.jpg",
                                     "L3.jpg|R3.jpg", "L4.jpg|R4.jpg", "-|Rx.jpg"}));
    const QJsonArray rows = r.value(QStringLiteral("rows")).toArray();
    for (int i = 0; i < rows.size(); ++i) {
        const QJsonObject row = rows[i].toObject();
        EXPECT_EQ(field(row, "left", "number"), QString::number(i));
        EXPECT_EQ(field(row, "right", "number"), QString::number(i));
    }
    const QJsonObject first = rows[0].toObject();
    EXPECT_EQ(field(first, "left", "attribute"), QStringLiteral("Stereo Pair"));
    EXPECT_EQ(field(first, "left", "side"), QStringLiteral("Left"));
    EXPECT_EQ(field(first, "right", "side"), QStringLiteral("Right"));
    EXPECT_EQ(first.value(QStringLiteral("right"))
                  .toObject()
                  .value(QStringLiteral("captureTime"))
                  .toObject()
                  .value(QStringLiteral("iso"))
                  .toString(),
              QStringLiteral("2024-05-01T10:00:30"));
    const QJsonObject last = rows[5].toObject();
    EXPECT_EQ(field(last, "right", "attribute"), QStringLiteral("Monoscopic"));
    EXPECT_EQ(field(last, "left", "attribute"), QStringLiteral("Gap"));
}

TEST_F(CliPair, WithoutRunTheOffsetPairDecides)
{
    // Intervals 5, 7 s against 5, 12 s: no run. The right clock is one hour ahead.
    const QStringList left = {photo(QStringLiteral("L0.jpg"), 0),
                              photo(QStringLiteral("L1.jpg"), 5),
                              photo(QStringLiteral("L2.jpg"), 12)};
    const QStringList right = {photo(QStringLiteral("R0.jpg"), 3600),
                               photo(QStringLiteral("R1.jpg"), 3605),
                               photo(QStringLiteral("R2.jpg"), 3617)};
    const QStringList files = QStringList{QStringLiteral("--left")} + left +
                              QStringList{QStringLiteral("--right")} + right;

    const CliRun closed = runPair(files);
    ASSERT_EQ(closed.exitCode, 0) << closed.err.constData();
    const QJsonObject c = result(closed);
    EXPECT_EQ(c.value(QStringLiteral("outcome")).toString(), QStringLiteral("no run found"));
    EXPECT_EQ(pairs(c), (QStringList{"L0.jpg|-", "L1.jpg|-", "L2.jpg|-", "-|R0.jpg", "-|R1.jpg",
                                     "-|R2.jpg"}));
    EXPECT_EQ(field(c.value(QStringLiteral("rows")).toArray()[0].toObject(), "left", "attribute"),
              QStringLiteral("Unassigned"));

    const CliRun next =
        runPair(QStringList{QStringLiteral("--offset-pair"), left[0], right[0]} + files);
    ASSERT_EQ(next.exitCode, 0) << next.err.constData();
    const QJsonObject n = result(next);
    EXPECT_EQ(n.value(QStringLiteral("outcome")).toString(), QStringLiteral("no run found"));
    EXPECT_TRUE(n.value(QStringLiteral("offsetPairUsed")).toBool());
    EXPECT_EQ(pairs(n), (QStringList{"L0.jpg|R0.jpg", "L1.jpg|R1.jpg", "L2.jpg|-", "-|R2.jpg"}));
}

TEST_F(CliPair, AnEmptyListAndTheSideMarkersOfFileNames)
{
    // A name with "_R." goes to the right list whatever list it was given for.
    const QString l = photo(QStringLiteral("a.jpg"), 0);
    const QString r = photo(QStringLiteral("b_R.jpg"), 10);
    const CliRun run =
        runPair({QStringLiteral("--mode"), QStringLiteral("2"), QStringLiteral("--left"), l, r});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonObject both = result(run);
    EXPECT_EQ(both.value(QStringLiteral("outcome")).toString(), QStringLiteral("no run found"));
    EXPECT_EQ(pairs(both), (QStringList{"a.jpg|-", "-|b_R.jpg"}));

    const CliRun empty = runPair({QStringLiteral("--left"), l});
    ASSERT_EQ(empty.exitCode, 0) << empty.err.constData();
    const QJsonObject e = result(empty);
    EXPECT_EQ(e.value(QStringLiteral("outcome")).toString(), QStringLiteral("a list is empty"));
    EXPECT_EQ(pairs(e), (QStringList{"a.jpg|-"}));
}

TEST_F(CliPair, MaskGivesTheNewFileNames)
{
    QStringList left, right;
    for (int i = 0; i < 3; ++i) {
        left << photo(QStringLiteral("L%1.jpg").arg(i), 10 * i + i);
        right << photo(QStringLiteral("R%1.JPG").arg(i), 10 * i + i);
    }
    left << photo(QStringLiteral("L9.jpg"), 900);
    const CliRun run = runPair(QStringList{QStringLiteral("--start"), QStringLiteral("7"),
                                           QStringLiteral("--mask"), QStringLiteral("Pair###"),
                                           QStringLiteral("--left")} +
                               left + QStringList{QStringLiteral("--right")} + right);
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonArray rows = result(run).value(QStringLiteral("rows")).toArray();
    ASSERT_EQ(rows.size(), 4);
    // The counter is the row index plus the start number; both entries of a pair get the
    // same base name with their side's suffix; a monoscopic picture gets "_M".
    EXPECT_EQ(field(rows[0].toObject(), "left", "newName"), QStringLiteral("Pair007_L.jpg"));
    EXPECT_EQ(field(rows[0].toObject(), "right", "newName"), QStringLiteral("Pair007_R.JPG"));
    EXPECT_EQ(field(rows[2].toObject(), "left", "newName"), QStringLiteral("Pair009_L.jpg"));
    EXPECT_EQ(field(rows[3].toObject(), "left", "newName"), QStringLiteral("Pair010_M.jpg"));
    EXPECT_EQ(field(rows[3].toObject(), "right", "newName"), QStringLiteral("null"));
}

TEST_F(CliPair, FixturePhotosInChronologicalOrder)
{
    // Capture times (exiv2): Canon_PowerShot_S40 2003-12-14 12:01:44, Nikon_D70
    // 2008-03-15 09:52:01, Canon_40D 2008-05-30 15:56:01, Fujifilm_FinePix_E500
    // 2006-08-17 09:24:48.
    auto photoPath = [](const char *name) {
        return testDataPath(QStringLiteral("photos/jpg/") + QLatin1String(name));
    };
    const CliRun run =
        runPair({QStringLiteral("--mode"), QStringLiteral("0"), QStringLiteral("--left"),
                 photoPath("Canon_40D.jpg"), photoPath("Canon_PowerShot_S40.jpg"),
                 QStringLiteral("--right"), photoPath("Nikon_D70.jpg"),
                 photoPath("Fujifilm_FinePix_E500.jpg")});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonObject r = result(run);
    EXPECT_EQ(r.value(QStringLiteral("outcome")).toString(), QStringLiteral("paired"));
    // Each list is in chronological order; every picture stands opposite a gap.
    EXPECT_EQ(pairs(r), (QStringList{"Canon_PowerShot_S40.jpg|-", "Canon_40D.jpg|-",
                                     "-|Fujifilm_FinePix_E500.jpg", "-|Nikon_D70.jpg"}));
    const QJsonObject first = r.value(QStringLiteral("rows")).toArray()[0].toObject();
    EXPECT_EQ(first.value(QStringLiteral("left"))
                  .toObject()
                  .value(QStringLiteral("captureTime"))
                  .toObject()
                  .value(QStringLiteral("iso"))
                  .toString(),
              QStringLiteral("2003-12-14T12:01:44"));
}

TEST_F(CliPair, TwoPhonesSessionsPairByTheirExifTimes)
{
    // HEIC files of two phones, 0, 20, 41 and 62 s into the session; the right phone's
    // clock runs 30 s ahead. Their file times are all alike: only EXIF can pair them.
    QStringList left, right;
    for (int i = 0; i < 4; ++i) {
        left << testDataPath(QStringLiteral("photos/heic/session_L%1.heic").arg(i));
        right << testDataPath(QStringLiteral("photos/heic/session_R%1.heic").arg(i));
    }
    const CliRun run = runPair(QStringList{QStringLiteral("--left")} + left +
                               QStringList{QStringLiteral("--right")} + right);
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonObject r = result(run);
    EXPECT_EQ(r.value(QStringLiteral("outcome")).toString(), QStringLiteral("paired"));
    EXPECT_EQ(pairs(r),
              (QStringList{"session_L0.heic|session_R0.heic", "session_L1.heic|session_R1.heic",
                           "session_L2.heic|session_R2.heic", "session_L3.heic|session_R3.heic"}));
}

TEST_F(CliPair, AlignmentFollowsAClockChangeAndTellsIt)
{
    // The right camera is set forward by an hour after the eighth scene.
    const int scenes[] = {0, 7, 19, 26, 41, 47, 60, 78, 85, 99, 112, 120, 137, 149, 158, 171};
    QStringList left, right, expected;
    for (int i = 0; i < 16; ++i) {
        left << photo(QStringLiteral("L%1.jpg").arg(i, 2, 10, QLatin1Char('0')), scenes[i]);
        right << photo(QStringLiteral("R%1.jpg").arg(i, 2, 10, QLatin1Char('0')),
                       scenes[i] + 25 + (i >= 8 ? 3600 : 0));
        expected << QStringLiteral("L%1.jpg|R%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
    }
    const CliRun run = runPair(QStringList{QStringLiteral("--method"), QStringLiteral("alignment"),
                                           QStringLiteral("--left")} +
                               left + QStringList{QStringLiteral("--right")} + right);
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonObject r = result(run);
    EXPECT_EQ(pairs(r), expected);
    EXPECT_EQ(r.value(QStringLiteral("clockFindings")).toArray().toVariantList(),
              QVariantList{QStringLiteral("Right camera: clock +1 h from R08")});
    for (const QJsonValue &row : r.value(QStringLiteral("rows")).toArray()) {
        EXPECT_GE(field(row.toObject(), "left", "confidence").toDouble(), 0.7);
        EXPECT_EQ(field(row.toObject(), "left", "doubtful"), QStringLiteral("false"));
    }
}

TEST_F(CliPair, RefusesUnreadableArguments)
{
    const QString l = photo(QStringLiteral("a.jpg"), 0);
    struct Case
    {
        QStringList arguments;
        int status;
        const char *message;
    } cases[] = {
        {{QStringLiteral("--bogus"), QStringLiteral("--left"), l}, 2, "unknown option"},
        {{QStringLiteral("--mode"), QStringLiteral("5"), QStringLiteral("--left"), l}, 2, "--mode"},
        {{QStringLiteral("--method"), QStringLiteral("x"), QStringLiteral("--left"), l},
         2,
         "--method"},
        {{QStringLiteral("--start"), QStringLiteral("x"), QStringLiteral("--left"), l},
         2,
         "--start"},
        {{QStringLiteral("--left"), dir.filePath(QStringLiteral("missing.jpg"))},
         1,
         "no such file"},
        // A folder stands for its pictures; a device is neither.
        {{QStringLiteral("--left"), QStringLiteral("/dev/null")}, 1, "not a file"},
        {{QStringLiteral("--left"), dir.filePath(QString(300, QLatin1Char('n')) + ".jpg")},
         1,
         "name too long for the file system"},
        {{l}, 2, "neither an option"},
        {{}, 2, "no files"},
        {{QStringLiteral("--offset-pair"), l}, 2, "--offset-pair"},
        {{QStringLiteral("--offset-pair"), l, l, QStringLiteral("--left"), l},
         2,
         "is not in the right list"},
    };
    for (const Case &c : cases) {
        const CliRun run = runPair(c.arguments);
        EXPECT_EQ(run.exitCode, c.status) << c.message;
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.constData();
        EXPECT_TRUE(run.out.isEmpty()) << c.message;
    }
}

// Output that is lost and names that cannot be opened are failures with a reason.
TEST_F(CliPair, LostOutputAndUnusableNamesFail)
{
    const QString l = photo(QStringLiteral("a.jpg"), 0);
    for (const QStringList &arguments :
         {QStringList{QStringLiteral("pair"), QStringLiteral("--left"), l},
          QStringList{QStringLiteral("inspect"), l}}) {
        QProcess p;
        p.setStandardOutputFile(QStringLiteral("/dev/full"));
        p.start(QStringLiteral(DUOMIRA_CLI_PATH), arguments);
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 1) << arguments.first().toStdString();
        EXPECT_TRUE(p.readAllStandardError().contains("cannot write the output"));
    }

    // A name that is not valid UTF-8 (QProcess would encode the name; exec passes bytes).
    const QByteArray bad = QFile::encodeName(dir.path()) + QByteArray("/x\xff.jpg");
    ASSERT_TRUE(QFile::copy(l, dir.filePath(QStringLiteral("copy.jpg"))));
    ASSERT_EQ(::rename(QFile::encodeName(dir.filePath(QStringLiteral("copy.jpg"))).constData(),
                       bad.constData()),
              0);
    int errPipe[2];
    ASSERT_EQ(::pipe(errPipe), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(errPipe[1], 2);
        const int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(devNull, 1);
        const char *argv[] = {DUOMIRA_CLI_PATH, "pair", "--left", bad.constData(), nullptr};
        ::execv(argv[0], const_cast<char *const *>(argv));
        ::_exit(127);
    }
    ::close(errPipe[1]);
    QByteArray err;
    char buffer[4096];
    for (ssize_t n; (n = ::read(errPipe[0], buffer, sizeof buffer)) > 0;)
        err.append(buffer, n);
    ::close(errPipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_TRUE(err.contains("x\\xff.jpg' is not valid UTF-8")) << err.constData();
}

} // namespace

namespace {

TEST_F(CliPair, StereoFilesJoinATwinCameraSessionAsReadyPairs)
{
    // Twin cameras, the right one 30 s ahead, and a stereo camera's file taken between
    // their third and fourth shot (its views carry their own capture times).
    QStringList left, right;
    for (int i = 0; i < 5; ++i) {
        left << photo(QStringLiteral("L%1.jpg").arg(i), 20 * i + i % 3);
        right << photo(QStringLiteral("R%1.jpg").arg(i), 30 + 20 * i + i % 3);
    }
    const QString view1 = photo(QStringLiteral("v1.jpg"), 50),
                  view2 = photo(QStringLiteral("v2.jpg"), 50);
    auto bytes = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    QFile stereo(dir.filePath(QStringLiteral("S.MPO")));
    ASSERT_TRUE(stereo.open(QIODevice::WriteOnly));
    QList<stereotest::MpoPicture> views(2);
    views[0].jpeg = bytes(view1);
    views[0].individualNumber = 1;
    views[1].jpeg = bytes(view2);
    views[1].individualNumber = 2;
    stereo.write(stereotest::assembleMpo(views));
    stereo.close();

    const CliRun run = runPair(QStringList{"--mode", "1", "--left"} + left +
                               QStringList{stereo.fileName()} + QStringList{"--right"} + right);
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonObject r = result(run);
    EXPECT_EQ(pairs(r), (QStringList{"L0.jpg|R0.jpg", "L1.jpg|R1.jpg", "L2.jpg|R2.jpg",
                                     "S.MPO|S.MPO", "L3.jpg|R3.jpg", "L4.jpg|R4.jpg"}));
    const QJsonObject row = r.value(QStringLiteral("rows")).toArray().at(3).toObject();
    EXPECT_EQ(field(row, "left", "stereoView"), QStringLiteral("1"));
    EXPECT_EQ(field(row, "right", "stereoView"), QStringLiteral("2"));
    EXPECT_EQ(field(row, "left", "attribute"), QStringLiteral("Stereo Pair"));

    // The job plans the stereo file's view files where the pair's pictures go.
    QProcess job;
    job.start(QStringLiteral(DUOMIRA_CLI_PATH),
              QStringList{"run", "--copy", "--rename-destination", "--create-folders", "--dry-run",
                          "--mask", "P##", "--dest-left", dir.filePath("out/L"), "--dest-right",
                          dir.filePath("out/R"), "--dest-mono", dir.filePath("out/M"), "--left",
                          stereo.fileName()});
    ASSERT_TRUE(job.waitForFinished(60000));
    const QString plan = QString::fromUtf8(job.readAllStandardOutput());
    EXPECT_EQ(job.exitCode(), 0) << job.readAllStandardError().constData();
    EXPECT_TRUE(
        plan.contains("extract " + stereo.fileName() + " -> " + dir.filePath("out/L/P01_L.JPG")))
        << qPrintable(plan);
    EXPECT_TRUE(
        plan.contains("extract " + stereo.fileName() + " -> " + dir.filePath("out/R/P01_R.JPG")));
}

} // namespace
