// A shot's files: which loaded pictures of a folder become one entry, which sidecars on disk
// go with which picture, and where each sibling goes when its main picture gets a new name.
#include "entries/siblings.h"
#include "support/testdata.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A folder of real files: a JPEG photo, a DNG file, sidecars as text.
void writeFolder(const QString &root, const QStringList &names)
{
    for (const QString &name : names) {
        const QString path = root + u'/' + name;
        QDir().mkpath(QFileInfo(path).path());
        const TShotFileKind kind = ShotFileKindOf(name);
        if (kind == TShotFileKind::Sidecar) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/>\n");
            continue;
        }
        const char *fixture = kind == TShotFileKind::Raw      ? "photos/raw/turned.dng"
                              : kind == TShotFileKind::Stereo ? "photos/mpo/sugarshack.mpo"
                              : kind == TShotFileKind::Heif   ? "photos/heic/IMG_5195.HEIC"
                                                              : "photos/jpg/Canon_40D.jpg";
        const QString source = testDataPath(QString::fromUtf8(fixture));
        ASSERT_TRUE(QFile::copy(source, path)) << qPrintable(path);
    }
}

// "main: tail tail" for each shot, paths relative to root.
QStringList described(const std::vector<TShot> &shots, const QString &root)
{
    QStringList out;
    for (const TShot &shot : shots)
        out << (shot.main.mid(root.size() + 1) + u':' +
                (shot.siblings.isEmpty() ? QString() : u' ' + shot.siblings.join(u' ')));
    return out;
}

TEST(Siblings, LoadedPicturesOfOneNameAreOneShotWithTheirSidecars)
{
    struct Case
    {
        const char *what;
        QStringList onDisk;
        QStringList loaded; // in load order
        bool keepTogether;
        QStringList shots;
    } cases[] = {
        {"both sidecar patterns, any letter case; the JPEG is shown",
         {"IMG_1.dng", "IMG_1.JPG", "IMG_1.xmp", "IMG_1.DNG.XMP", "IMG_1.jpg.pp3", "IMG_1.WAV"},
         {"IMG_1.dng", "IMG_1.JPG"},
         true,
         {"IMG_1.JPG: .dng .DNG.XMP .WAV .jpg.pp3 .xmp"}},
        {"some shots with a RAW, some without, one RAW alone",
         {"A.jpg", "A.dng", "B.jpg", "B.xmp", "C.dng", "C.pp3", "C.dng.dop"},
         {"A.dng", "A.jpg", "B.jpg", "C.dng"},
         true,
         {"A.jpg: .dng", "B.jpg: .xmp", "C.dng: .dng.dop .pp3"}},
        {"grouping off: NAME.xmp goes to the RAW, NAME.EXT.xmp to its picture",
         {"A.jpg", "A.dng", "A.xmp", "A.jpg.xmp", "A.aae", "B.JPG", "B.XMP"},
         {"A.jpg", "A.dng", "B.JPG"},
         false,
         {"A.jpg: .jpg.xmp", "A.dng: .aae .xmp", "B.JPG: .XMP"}},
        {"a picture that was not loaded is neither grouped nor brings its sidecar",
         {"A.jpg", "A.dng", "A.dng.xmp", "A.thm"},
         {"A.jpg"},
         true,
         {"A.jpg: .thm"}},
        {"a stereo file is never a sibling and gets no sidecar",
         {"X.MPO", "X.JPG", "X.xmp", "X.MPO.xmp"},
         {"X.MPO", "X.JPG"},
         true,
         {"X.MPO:", "X.JPG: .xmp"}},
        {"a HEIF is shown before the RAW",
         {"P.dng", "P.HEIC", "P.xmp"},
         {"P.dng", "P.HEIC"},
         true,
         {"P.HEIC: .dng .xmp"}},
        {"other folders, other letter case of the name and a file loaded twice stay apart",
         {"d1/A.jpg", "d2/A.dng", "a.dng", "A.jpg", "A.xmp"},
         {"d1/A.jpg", "d2/A.dng", "A.jpg", "a.dng", "A.jpg"},
         true,
         {"d1/A.jpg:", "d2/A.dng:", "A.jpg: .xmp", "a.dng:", "A.jpg:"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir root;
        writeFolder(root.path(), c.onDisk);
        QStringList loaded;
        for (const QString &name : c.loaded)
            loaded << root.path() + u'/' + name;
        const std::vector<TShot> shots = GroupShots(loaded, c.keepTogether);
        EXPECT_EQ(described(shots, root.path()), c.shots);
        // Every sibling path names a file on disk.
        for (const TShot &shot : shots)
            for (const QString &tail : shot.siblings)
                EXPECT_TRUE(QFile::exists(SiblingPath(shot.main, tail))) << qPrintable(tail);
    }
}

TEST(Siblings, ASiblingTakesItsMainPicturesNewNameAndKeepsItsExtension)
{
    struct Case
    {
        const char *main, *target, *tail, *expected;
    } cases[] = {
        {"/s/IMG_1.JPG", "/d/P1_L.JPG", ".CR2", "/d/P1_L.CR2"},
        {"/s/IMG_1.JPG", "/d/P1_L.JPG", ".CR2.xmp", "/d/P1_L.CR2.xmp"},
        {"/s/IMG_1.JPG", "/d/P1_L.JPG", ".JPG.xmp", "/d/P1_L.JPG.xmp"},
        {"/s/IMG_1.JPG", "/s/IMG_1.JPG", ".xmp", "/s/IMG_1.xmp"}, // copied under its name
        {"/s/a.b.dng", "/d/x.y.dng", ".pp3", "/d/x.y.pp3"},       // dots in the base name
    };
    for (const Case &c : cases)
        EXPECT_EQ(SiblingTarget(QString::fromUtf8(c.main), QString::fromUtf8(c.target),
                                QString::fromUtf8(c.tail)),
                  QString::fromUtf8(c.expected))
            << c.tail;
    EXPECT_EQ(SiblingSummary({".CR2", ".CR2.xmp", ".xmp", ".NEF", ".pp3"}),
              QStringLiteral("+RAW +XMP +PP3"));
}

TEST(Siblings, ASessionFileHoldsOnlyFileNameEndings)
{
    for (const char *good : {".CR2", ".CR2.xmp", ".xmp", ".jpg.pp3"})
        EXPECT_TRUE(IsValidSiblingTail(QString::fromUtf8(good))) << good;
    for (const char *bad : {"", ".", "CR2", "./../x.jpg", ".x/y", ".a\nb", ".MPO"})
        EXPECT_FALSE(IsValidSiblingTail(QString::fromUtf8(bad))) << bad;
    EXPECT_FALSE(IsValidSiblingTail(u'.' + QString(255, u'x')));
}

} // namespace
