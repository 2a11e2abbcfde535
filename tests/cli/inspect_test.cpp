// duomira-cli inspect, run as a separate process.
#include "support/testdata.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct CliRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

CliRun runCli(const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral(DUOMIRA_CLI_PATH), arguments);
    EXPECT_TRUE(p.waitForFinished(30000)) << "duomira-cli did not finish";
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

QJsonArray records(const CliRun &run)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(run.out, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out.constData();
    return doc.array();
}

QString text(const QJsonObject &record, int index)
{
    const QJsonObject t = record.value(QStringLiteral("texts")).toArray().at(index).toObject();
    return t.value(QStringLiteral("text")).toString();
}

TEST(CliInspect, PrintsTheRecordOfEachFile)
{
    // exiv2 for Canon_PowerShot_S40.jpg: Make Canon, DateTimeOriginal 2003:12:14 12:01:44,
    // Orientation 1, FNumber 49/10; for Fujifilm_FinePix_E500.jpg: DateTimeOriginal
    // 2006:08:17 09:24:48.
    const QString canon = testDataPath(QStringLiteral("photos/jpg/Canon_PowerShot_S40.jpg"));
    const QString fuji = testDataPath(QStringLiteral("photos/jpg/Fujifilm_FinePix_E500.jpg"));
    const CliRun run = runCli({QStringLiteral("inspect"), canon, fuji});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonArray list = records(run);
    ASSERT_EQ(list.size(), 2);

    const QJsonObject first = list.at(0).toObject();
    EXPECT_EQ(first.value(QStringLiteral("file")).toString(), canon);
    const QJsonArray texts = first.value(QStringLiteral("texts")).toArray();
    ASSERT_EQ(texts.size(), 18);
    EXPECT_EQ(texts.at(0).toObject().value(QStringLiteral("label")).toString(),
              QStringLiteral("Manufacturer"));
    EXPECT_EQ(texts.at(17).toObject().value(QStringLiteral("label")).toString(),
              QStringLiteral("Vertical Resolution"));
    EXPECT_EQ(text(first, 0), QStringLiteral("Canon"));
    EXPECT_EQ(text(first, 5), QStringLiteral("F4.9"));
    EXPECT_EQ(text(first, 14), QStringLiteral("SuperFine"));
    const QJsonObject capture = first.value(QStringLiteral("captureTime")).toObject();
    EXPECT_EQ(capture.value(QStringLiteral("iso")).toString(),
              QStringLiteral("2003-12-14T12:01:44"));
    // 2003-12-14 is day 37969; 12:01:44 is 43304 seconds into it.
    EXPECT_NEAR(capture.value(QStringLiteral("days")).toDouble(), 37969 + 43304 / 86400.0, 1e-9);
    EXPECT_EQ(first.value(QStringLiteral("orientationCode")).toInt(), -1);
    EXPECT_TRUE(first.value(QStringLiteral("hasExif")).toBool());
    EXPECT_EQ(first.value(QStringLiteral("fileSize")).toInteger(), 32764);
    EXPECT_TRUE(
        first.value(QStringLiteral("fileTime")).toObject().value(QStringLiteral("iso")).isString());

    EXPECT_EQ(list.at(1)
                  .toObject()
                  .value(QStringLiteral("captureTime"))
                  .toObject()
                  .value(QStringLiteral("iso")),
              QStringLiteral("2006-08-17T09:24:48"));
}

TEST(CliInspect, NoCaptureTimeIsNull)
{
    const CliRun run =
        runCli({QStringLiteral("inspect"),
                testDataPath(QStringLiteral("photos/jpg/orientation/landscape_6.jpg"))});
    EXPECT_EQ(run.exitCode, 0);
    const QJsonObject r = records(run).at(0).toObject();
    EXPECT_TRUE(
        r.value(QStringLiteral("captureTime")).toObject().value(QStringLiteral("iso")).isNull());
    EXPECT_EQ(
        r.value(QStringLiteral("captureTime")).toObject().value(QStringLiteral("days")).toDouble(),
        0);
    EXPECT_EQ(r.value(QStringLiteral("orientationCode")).toInt(), 1);
}

TEST(CliInspect, PhoneAndRawFilesGetTheRecordTheWindowUses)
{
    // exiv2 for IMG_5195.HEIC: Make Apple, DateTimeOriginal 2021:04:11 15:47:53; the DNG is
    // written by scripts/testphotos with orientation 6, which its preview gets applied.
    const CliRun run = runCli({QStringLiteral("inspect"),
                               testDataPath(QStringLiteral("photos/heic/IMG_5195.HEIC")),
                               testDataPath(QStringLiteral("photos/raw/turned.dng"))});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonArray list = records(run);
    ASSERT_EQ(list.size(), 2);
    const QJsonObject heic = list.at(0).toObject();
    EXPECT_TRUE(heic.value(QStringLiteral("hasExif")).toBool());
    EXPECT_EQ(text(heic, 0), QStringLiteral("Apple"));
    EXPECT_EQ(text(heic, 1), QStringLiteral("iPhone 11 Pro Max"));
    EXPECT_EQ(heic.value(QStringLiteral("captureTime")).toObject().value(QStringLiteral("iso")),
              QStringLiteral("2021-04-11T15:47:53"));
    const QJsonObject dng = list.at(1).toObject();
    EXPECT_EQ(text(dng, 1), QStringLiteral("Raw Camera"));
    EXPECT_EQ(dng.value(QStringLiteral("orientationCode")).toInt(), -1);
}

TEST(CliInspect, MissingFileIsReportedAndTheOthersStillPrinted)
{
    const QString missing = testDataPath(QStringLiteral("photos/jpg/no_such_file.jpg"));
    const QString canon = testDataPath(QStringLiteral("photos/jpg/Canon_40D.jpg"));
    const CliRun run =
        runCli({QStringLiteral("inspect"), missing, canon, testDataPath(QStringLiteral("photos"))});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains(missing.toUtf8())) << run.err.constData();
    EXPECT_TRUE(run.err.contains("no such file")) << run.err.constData();
    EXPECT_TRUE(run.err.contains("is a folder")) << run.err.constData();
    const QJsonArray list = records(run);
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list.at(0).toObject().value(QStringLiteral("file")).toString(), canon);
}

TEST(CliInspect, TagListOnRequest)
{
    const CliRun run = runCli({QStringLiteral("inspect"), QStringLiteral("--tags"),
                               testDataPath(QStringLiteral("photos/jpg/Nikon_D70.jpg"))});
    EXPECT_EQ(run.exitCode, 0);
    const QJsonObject r = records(run).at(0).toObject();
    EXPECT_EQ(r.value(QStringLiteral("exifStatus")).toString(), QStringLiteral("<none>"));
    bool foundModel = false;
    for (const QJsonValue &v : r.value(QStringLiteral("tags")).toArray()) {
        const QJsonObject t = v.toObject();
        if (t.value(QStringLiteral("tag")).toString() == QStringLiteral("0x0110")) {
            foundModel = true;
            EXPECT_EQ(t.value(QStringLiteral("text")).toString(), QStringLiteral("NIKON D70"));
        }
    }
    EXPECT_TRUE(foundModel);
}

TEST(CliInspect, UsageErrors)
{
    EXPECT_EQ(runCli({}).exitCode, 2);
    EXPECT_EQ(runCli({QStringLiteral("inspect")}).exitCode, 2);
    EXPECT_EQ(runCli({QStringLiteral("inspect"), QStringLiteral("--bogus"), QStringLiteral("x")})
                  .exitCode,
              2);
    const CliRun unknown = runCli({QStringLiteral("frobnicate")});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.contains("unknown command"));
    const CliRun help = runCli({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("inspect"));
}

} // namespace
