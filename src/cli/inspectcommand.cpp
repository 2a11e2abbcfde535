// duomira-cli inspect: reads each file's metadata record as the window does (the built-in
// EXIF reader, and for formats other than JPEG the imaging library's EXIF list) and prints
// the records as one JSON array (one object per file that could be read). Each record is
// printed as soon as it is read, so that memory stays flat however many files are named.
#include "cli/cliparser.h"
#include "cli/commands.h"
#include "cli/fileproblem.h"
#include "entries/siblings.h"
#include "imaging/dsorgbild.h"
#include "imaging/exifreader.h"
#include "imaging/jpegdata.h"
#include "imaging/libgfl.h"
#include "imaging/stereofile.h"
#include "session/loading.h"

#include <QByteArray>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

// A day number as ISO 8601 local time and as the number itself; the text is null for
// the day number 0 (no time).
QJsonObject timeObject(double days)
{
    QJsonObject o;
    o.insert(QStringLiteral("iso"),
             days == 0 ? QJsonValue() : QJsonValue(DaysToDateTime(days).toString(Qt::ISODate)));
    o.insert(QStringLiteral("days"), days);
    return o;
}

// Every tag the reader found, in reading order, and the reader's status text.
void addTagList(QJsonObject &o, const QString &path)
{
    TimgData image;
    image.readFile(path);
    QJsonArray tags;
    if (image.ExifInfo) {
        o.insert(QStringLiteral("exifStatus"), QString(image.ExifInfo->status()));
        for (const TTagEntry &e : image.ExifInfo->tags()) {
            QJsonObject t;
            t.insert(QStringLiteral("tag"),
                     QStringLiteral("0x%1").arg(e.Tag, 4, 16, QLatin1Char('0')));
            t.insert(QStringLiteral("name"), QString(e.Name));
            t.insert(QStringLiteral("description"), QString(e.Desc));
            t.insert(QStringLiteral("text"), e.Data);
            tags.append(t);
        }
    }
    o.insert(QStringLiteral("tags"), tags);
}

QJsonObject recordObject(const QString &path, const TJPEGData &record, bool withTags)
{
    QJsonObject o;
    o.insert(QStringLiteral("file"), path);
    QJsonArray texts;
    for (int i = 0; i < JpegDataTextCount; ++i) {
        QJsonObject t;
        t.insert(QStringLiteral("index"), i);
        t.insert(QStringLiteral("label"), QString(ExifLabels[i]));
        t.insert(QStringLiteral("text"), record.Str[i]);
        texts.append(t);
    }
    o.insert(QStringLiteral("texts"), texts);
    o.insert(QStringLiteral("captureTime"), timeObject(record.CaptureTime));
    o.insert(QStringLiteral("fileTime"), timeObject(record.FileTime));
    o.insert(QStringLiteral("fileSize"), record.FileSize);
    o.insert(QStringLiteral("orientationCode"), record.OrientationCode);
    o.insert(QStringLiteral("hasExif"), record.HasExif);
    if (withTags)
        addTagList(o, path);
    return o;
}

// A file with a multi-picture index (or named as a side-by-side stereo file) also shows
// that index and, for a stereo file, the record of each view.
QJsonObject withStereo(QJsonObject o, const QString &path, bool withTags)
{
    const TStereoFile stereo = ReadStereoFile(path);
    if (!stereo.isStereo() && !stereo.index.present && !IsJpsFileName(path))
        return o;
    o.insert(QStringLiteral("stereoFile"), StereoFileJson(stereo));
    if (!stereo.isStereo())
        return o;
    QJsonArray views;
    for (int v = 0; v < 2; ++v) {
        TPicturePart part;
        part.view = v + 1;
        part.offset = stereo.format == TStereoFormat::Mpo ? stereo.views[std::size_t(v)].offset : 0;
        part.length = stereo.format == TStereoFormat::Mpo ? stereo.views[std::size_t(v)].length
                                                          : stereo.fileSize;
        QJsonObject view =
            recordObject(path, readImageMetadata(path, TJPEGData{}, &Gfl(), nullptr, nullptr, part),
                         withTags && stereo.format == TStereoFormat::Jps);
        view.insert(QStringLiteral("view"), v + 1);
        views.append(view);
    }
    o.insert(QStringLiteral("views"), views);
    return o;
}

struct InspectOptions
{
    bool withTags = false;
    QStringList files;
};

const TCliTable<InspectOptions> &inspectTable()
{
    static const TCliTable<InspectOptions> table = [] {
        TCliTable<InspectOptions> t;
        t.command = QStringLiteral("inspect");
        t.summary = QStringLiteral("print the metadata record of each file as JSON");
        t.options = {{{.name = QStringLiteral("--tags"),
                       .help = QStringLiteral("add every EXIF tag found, with the reader's "
                                              "status")},
                      [](InspectOptions &o, const QStringList &) {
                          o.withTags = true;
                          return true;
                      }}};
        t.operands = QStringLiteral("FILE...");
        t.notes = QStringLiteral("A file named like an option follows \"--\".");
        t.rules.singleDashOptions = true;
        t.operand = [](InspectOptions &o, const QString &file) {
            o.files.append(file);
            return QString();
        };
        t.finish = [](const InspectOptions &o) {
            return o.files.isEmpty() ? QStringLiteral("no files given") : QString();
        };
        return t;
    }();
    return table;
}

} // namespace

TCliSyntax inspectSyntax()
{
    return inspectTable().Syntax();
}

int runInspectCommand(const QStringList &arguments)
{
    InspectOptions options;
    if (const int status = ParseCliCommand(inspectTable(), arguments, options); status >= 0)
        return status;
    const bool withTags = options.withTags;
    const QStringList &files = options.files;
    const QStringList pictureExtensions = ReadableImageExtensions(GflAvailable(), GflFileFilter());

    int status = 0;
    // The array as QJsonDocument indents it: "[", the objects one level in, "]".
    bool first = true;
    bool written = std::fputs("[\n", stdout) >= 0;
    const auto print = [&](const QJsonObject &record) {
        QByteArray text = QJsonDocument(record).toJson(QJsonDocument::Indented);
        text.chop(1); // its line end
        text.replace("\n", "\n    ");
        text.prepend(first ? "    " : ",\n    ");
        first = false;
        written = written && std::fwrite(text.constData(), 1, size_t(text.size()), stdout) ==
                                 size_t(text.size());
    };
    for (const QString &path : files) {
        if (!written)
            break; // main reports the output that could not be written
        const QFileInfo info(path);
        if (info.isDir()) {
            std::fprintf(stderr, "duomira-cli inspect: %s: is a folder, not a file\n",
                         qPrintable(path));
            status = 1;
            continue;
        }
        JpegReadResult read = JpegReadResult::Read;
        const TJPEGData record = readImageMetadata(path, TJPEGData{}, &Gfl(), nullptr, &read);
        switch (read) {
        case JpegReadResult::FileMissing:
        case JpegReadResult::FileUnreadable: {
            QString problem = FileProblem(path);
            if (problem.isEmpty()) // gone or changed between the two looks
                problem = QStringLiteral("cannot be opened for reading");
            std::fprintf(stderr, "duomira-cli inspect: %s: %s\n", qPrintable(path),
                         qPrintable(problem));
            status = 1;
            break;
        }
        case JpegReadResult::Read: {
            QJsonObject o = withStereo(recordObject(path, record, withTags), path, withTags);
            // The files that go with it when its folder is loaded (a RAW, sidecars).
            if (const QStringList siblings = ShotSiblingsOnDisk(path, pictureExtensions);
                !siblings.isEmpty())
                o.insert(QStringLiteral("siblings"), QJsonArray::fromStringList(siblings));
            print(o);
            break;
        }
        }
    }
    if (written)
        std::fputs(first ? "]\n" : "\n]\n", stdout); // main checks the stream at the end
    return status;
}
