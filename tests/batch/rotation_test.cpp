// Rotations in a job: a turn that trims edge blocks is reported and cannot be undone
// exactly; the embedded thumbnail turns with the picture; a failed turn keeps the entry's
// pending rotation for the next run.
#include "batchfixture.h"

#include "imaging/dsorgbild.h"

#include "batch/prerunchecks.h"
#include "batch/undo.h"
#include "entries/listoperations.h"
#include "imaging/exifpatch.h"
#include "imaging/jpegcodec.h"
#include "support/testdata.h"

#include <QFile>

#include <sys/stat.h>

namespace {

QSize thumbnailSize(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QByteArray bytes = f.readAll();
    const auto *data = reinterpret_cast<const std::uint8_t *>(bytes.constData());
    const exifpatch::ThumbnailLocation where =
        exifpatch::findThumbnail(data, std::size_t(bytes.size()));
    if (!where.found)
        return QSize();
    return DecodeJpeg(data + where.segment.tiffOffset + where.thumbnailOffset,
                      where.thumbnailLength, 1)
        .size();
}

} // namespace

class EngineRotation : public BatchFixture
{
protected:
    void SetUp() override
    {
        if (!library())
            GTEST_SKIP() << "the imaging modules could not be loaded";
    }
};

TEST_F(EngineRotation, ATrimmingTurnIsReportedAndItsUndoSaysTheEdgesAreLost)
{
    TDatensatz *e = addMono(QStringLiteral("odd.jpg"), QStringLiteral("Odd"));
    makePhoto(QStringLiteral("odd.jpg"), QSize(100, 75));
    e->SetRotation(1);
    TBatchJobSettings s;
    s.RotateSource = true;
    EXPECT_FALSE(run(s));
    const QSize after = JpegPixelSize(src(QStringLiteral("odd.jpg")));
    EXPECT_NE(after, QSize(75, 100));
    EXPECT_EQ(
        logLines(QStringLiteral("Rotated image N° 0 was trimmed from 100 x 75 to %1 x %2 pixels")
                     .arg(after.width())
                     .arg(after.height()))
            .size(),
        1);
    EXPECT_EQ(e->Rotation(), 0);

    const TUndoReport undo = UndoJob(engine.JournalPath(), realOps, false);
    EXPECT_EQ(undo.undone, 1);
    EXPECT_FALSE(undo.Complete());
    EXPECT_TRUE(undo.lines.join(u'\n').contains(QStringLiteral("cannot be brought back")));
}

TEST_F(EngineRotation, TheEmbeddedThumbnailTurnsWithThePicture)
{
    for (const char *fixture : {"photos/jpg/Canon_40D.jpg", "photos/jpg/Canon_PowerShot_S40.jpg"}) {
        SCOPED_TRACE(fixture);
        const QString path = src(QString::fromLatin1(fixture).section(u'/', -1));
        ASSERT_TRUE(QFile::copy(testDataPath(QString::fromLatin1(fixture)), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        const QSize before = thumbnailSize(path);
        ASSERT_TRUE(before.isValid());
        const TRotateResult r = TRealFileOps(library()).Rotate(path, 1);
        EXPECT_FALSE(r.Failed()) << r.errorText.toStdString();
        EXPECT_EQ(thumbnailSize(path), before.transposed());
    }
}

TEST_F(EngineRotation, AFailedTurnKeepsTheEntrysRotationForTheNextRun)
{
    TDatensatz *e = addMono(QStringLiteral("locked.jpg"), QStringLiteral("L"));
    e->SetRotation(2);
    const QByteArray path = QFile::encodeName(src(QStringLiteral("locked.jpg")));
    ::chmod(path.constData(), 0444);
    TBatchJobSettings s;
    s.RotateSource = true;
    EXPECT_TRUE(run(s));
    EXPECT_EQ(logLines(QStringLiteral("Error \tRotate by 180")).size(), 1);
    EXPECT_EQ(e->Rotation(), 2);
    EXPECT_FALSE(e->HolderFlags() & hfReload);

    ::chmod(path.constData(), 0644);
    log.Clear();
    EXPECT_FALSE(run(s));
    EXPECT_EQ(e->Rotation(), 0);
}

TEST_F(EngineRotation, FilesThatAreNotJpegStayUnturnedWithoutFailingTheJob)
{
    TDatensatz *e = addMono(QStringLiteral("phone.heic"), QStringLiteral("Phone"));
    const QString path = src(QStringLiteral("phone.heic"));
    QFile::remove(path);
    ASSERT_TRUE(QFile::copy(testDataPath(QStringLiteral("photos/heic/IMG_5195.HEIC")), path));
    const QByteArray before = FileSha256(path);
    e->SetRotation(1);
    EXPECT_EQ(CountUnrotatable({e}), 1);

    TBatchJobSettings s;
    s.RotateSource = true;
    s.CopyToDestination = true;
    s.RotateDestination = true;
    s.FolderMask = 7;
    EXPECT_FALSE(run(s));
    const QStringList lines = logLines(QStringLiteral("Not rotated by"));
    ASSERT_EQ(lines.size(), 2) << "the source and the copy\n" << log.PlainText().toStdString();
    EXPECT_TRUE(lines.first().contains(
        QStringLiteral("a HEIC file; lossless rotation works on JPEG files only")));
    for (const TProtokollLine &line : log.Lines())
        EXPECT_NE(line.Color, logcolor::Red) << line.Text.toStdString();
    EXPECT_EQ(FileSha256(path), before);
    EXPECT_EQ(FileSha256(dest(QStringLiteral("M/phone.heic"))), before);
    EXPECT_EQ(e->Rotation(), 1) << "the picture still needs its turn";
}

// A JPEG the turn cannot rewrite whole (a stereo camera's MPO with its second view, a
// picture smaller than one block on the side the turn moves) stays as it is, the log says
// why in red, and the entry keeps the rotation it still needs.
TEST_F(EngineRotation, AFileTheTurnWouldDamageStaysUnturnedAndTheLogSaysWhy)
{
    struct Row
    {
        const char *fixture;
        int rotation;
        const char *reason;
    } rows[] = {
        {"photos/mpo/sugarshack.mpo", 1, "the file holds more after its picture"},
        {"photos/jpg/small/s40_420_17x9.jpg", 2, "smaller than one JPEG block"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.fixture);
        startRow();
        const QString name = QString::fromLatin1(row.fixture).section(u'/', -1);
        TDatensatz *e = addMono(name, QStringLiteral("Turned"));
        const QString path = src(name);
        QFile::remove(path);
        ASSERT_TRUE(QFile::copy(testDataPath(QString::fromLatin1(row.fixture)), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        const QByteArray before = FileSha256(path);
        e->SetRotation(row.rotation);

        TBatchJobSettings s;
        s.RotateSource = true;
        EXPECT_TRUE(run(s));
        EXPECT_EQ(FileSha256(path), before);
        const QStringList lines = logLines(QStringLiteral("Error \tRotate by"));
        ASSERT_EQ(lines.size(), 1) << log.PlainText().toStdString();
        EXPECT_TRUE(lines.first().contains(QLatin1String(row.reason)))
            << lines.first().toStdString();
        EXPECT_EQ(redLines(), 1);
        EXPECT_EQ(e->Rotation(), row.rotation);
        EXPECT_EQ(files().size(), 1) << "no .jp_ file left";
    }
}

// "Combinations" made a second pair with the same left picture, and that pair is excluded:
// the file turned for the first pair shows the turn for both entries, so a later job that
// includes the second pair does not turn it again.
TEST_F(EngineRotation, AnExcludedEntryThatSharesATurnedFileSeesTheTurn)
{
    TDatensatz *e = addMono(QStringLiteral("shared.jpg"), QStringLiteral("S"));
    e->SetRotation(1);
    TDatensatz *twin = TDatensatz::CreateCopy(left.AppendRow(), *e, dsLeft, 1);
    LinkBothWays(twin, CreateGap(right));
    twin->SetAttribute(daMono);
    twin->SetRotation(1);
    twin->SetBatch(false);
    TBatchJobSettings s;
    s.RotateSource = true;
    EXPECT_FALSE(run(s));
    EXPECT_EQ(JpegPixelSize(e->SourcePath()), QSize(48, 64));
    EXPECT_EQ(e->Rotation(), 0);
    EXPECT_EQ(twin->Rotation(), 0);
}
