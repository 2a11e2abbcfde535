#include "imaging/stereofile.h"

#include "imaging/jpegstream.h"
#include "imaging/mpformat.h"

#include <QCoreApplication>
#include <QJsonArray>

#include <algorithm>
#include <cstring>
#include <optional>

using namespace mpformat;

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("StereoFile", text);
}

// The JPEG stream at [offset, offset + declared) must start with SOI and reach its EOI
// within the declared size; its length up to that EOI, or nothing.
std::optional<qint64> completeStream(TByteSource &source, qint64 offset, qint64 declared)
{
    const std::optional<QByteArray> bytes = ReadRange(source, offset, declared);
    if (!bytes)
        return std::nullopt;
    const std::size_t end = jpegstream::firstStreamEnd(
        reinterpret_cast<const std::uint8_t *>(bytes->constData()), std::size_t(bytes->size()));
    if (end == 0)
        return std::nullopt;
    return qint64(end);
}

// The MP header block of the segment (everything after "MPF\0").
std::optional<TiffBlock> mpBlock(TByteSource &source, const Segment &segment)
{
    const auto bytes = ReadRange(source, segment.payloadPos() + SignatureSize,
                                 segment.payloadLength() - SignatureSize);
    TiffBlock block;
    if (!bytes || !block.open(*bytes))
        return std::nullopt;
    return block;
}

// The MP Individual Number of an MP Attribute IFD; 0 when it has none.
std::uint32_t individualNumber(const TiffBlock &block, std::uint32_t ifdOffset)
{
    if (ifdOffset == 0)
        return 0;
    const auto ifd = block.ifd(ifdOffset);
    if (!ifd)
        return 0;
    for (const TiffBlock::Entry &entry : ifd->first) {
        if (entry.tag == TagIndividualNumber && entry.type == TypeLong && entry.count == 1)
            return block.u32(entry.valueAt).value_or(0);
    }
    return 0;
}

// Reads the MP index of the first stream into file.index; the reason when it is damaged.
QString readIndex(TByteSource &source, TStereoFile &file, std::uint32_t *firstAttributeIfd,
                  TiffBlock *blockOut)
{
    const std::optional<Segment> segment = FindMpfSegment(source, 0, file.fileSize);
    if (!segment)
        return tr("it has no multi-picture index");
    TMpIndex &index = file.index;
    index.present = true;
    const std::optional<TiffBlock> block = mpBlock(source, *segment);
    if (!block)
        return tr("its multi-picture index has no valid header");
    *blockOut = *block;
    index.bigEndian = block->bigEndian();
    index.headerOffset = segment->payloadPos() + SignatureSize;

    const auto ifd = block->ifd(block->firstIfd());
    if (!ifd)
        return tr("its multi-picture index lies outside its segment");
    *firstAttributeIfd = ifd->second;
    std::optional<std::uint32_t> count;
    std::optional<TiffBlock::Entry> entries;
    bool version = false;
    for (const TiffBlock::Entry &entry : ifd->first) {
        if (entry.tag == TagVersion && entry.count == 4)
            version = block->bytes().mid(entry.valueAt, 4) == "0100";
        else if (entry.tag == TagNumberOfImages && entry.type == TypeLong && entry.count == 1)
            count = block->u32(entry.valueAt);
        else if (entry.tag == TagEntries)
            entries = entry;
    }
    if (!version)
        return tr("its multi-picture index is not of version 0100");
    if (!count || !entries)
        return tr("its multi-picture index lacks the number of pictures or their entries");
    if (*count == 0)
        return tr("its multi-picture index lists no picture");
    //  per picture: attribute(4) size(4) offset(4) dependent entry 1(2) dependent entry 2(2)
    const std::uint64_t bytes = std::uint64_t(*count) * EntrySize;
    const std::optional<std::uint32_t> at = block->u32(entries->valueAt);
    if (entries->count != bytes || !at || !block->contains(*at, bytes))
        return tr("its multi-picture index lists %1 pictures whose entries lie outside its segment")
            .arg(*count);
    for (std::uint32_t i = 0; i < *count; ++i) {
        const std::uint32_t e = *at + i * EntrySize;
        TMpImage image;
        image.attribute = *block->u32(e);
        image.size = *block->u32(e + 4);
        const std::uint32_t offset = *block->u32(e + 8);
        if (i == 0 && offset != 0)
            return tr("its multi-picture index does not start with the first picture");
        image.offset = i == 0 ? 0 : index.headerOffset + offset;
        index.images.append(image);
    }
    return {};
}

// Every picture inside the file, none empty, no two overlapping.
QString checkPlacement(const TStereoFile &file)
{
    QList<TMpImage> images = file.index.images;
    for (int i = 0; i < images.size(); ++i) {
        const TMpImage &image = images[i];
        if (image.size == 0)
            return tr("picture %1 of its multi-picture index is empty").arg(i + 1);
        if (image.offset > file.fileSize || image.size > file.fileSize - image.offset)
            return tr("picture %1 of its multi-picture index lies past the end of the file")
                .arg(i + 1);
    }
    std::sort(images.begin(), images.end(),
              [](const TMpImage &a, const TMpImage &b) { return a.offset < b.offset; });
    for (int i = 1; i < images.size(); ++i) {
        if (images[i - 1].offset + images[i - 1].size > images[i].offset)
            return tr("pictures of its multi-picture index overlap");
    }
    return {};
}

QString readMpo(TByteSource &source, TStereoFile &file)
{
    std::uint32_t firstAttributeIfd = 0;
    TiffBlock firstBlock;
    if (QString problem = readIndex(source, file, &firstAttributeIfd, &firstBlock);
        !problem.isEmpty())
        return problem;
    if (QString problem = checkPlacement(file); !problem.isEmpty())
        return problem;

    // The disparity pictures and their individual numbers (the first picture's attribute
    // IFD follows its index IFD; every other picture has its own MPF segment).
    QList<int> disparity;
    for (int i = 0; i < file.index.images.size(); ++i) {
        TMpImage &image = file.index.images[i];
        if (i == 0) {
            image.individualNumber = individualNumber(firstBlock, firstAttributeIfd);
        } else if (const auto segment =
                       FindMpfSegment(source, image.offset, image.offset + image.size)) {
            if (const auto block = mpBlock(source, *segment))
                image.individualNumber = individualNumber(*block, block->firstIfd());
        }
        if (image.type() == TypeDisparity && (image.attribute & FormatMask) == 0)
            disparity.append(i);
    }
    if (disparity.size() < 2)
        return tr("its pictures are not the two views of a stereo camera");
    const bool numbered = std::all_of(disparity.begin(), disparity.end(), [&](int i) {
        return file.index.images[i].individualNumber != 0;
    });
    if (numbered) {
        std::stable_sort(disparity.begin(), disparity.end(), [&](int a, int b) {
            return file.index.images[a].individualNumber < file.index.images[b].individualNumber;
        });
    }

    for (int v = 0; v < 2; ++v) {
        const TMpImage &image = file.index.images[disparity[v]];
        const std::optional<qint64> length = completeStream(source, image.offset, image.size);
        if (!length)
            return tr("view %1 is not a complete JPEG picture").arg(v + 1);
        TStereoView &view = file.views[v];
        view.indexPosition = disparity[v];
        view.offset = image.offset;
        view.length = *length;
        if (const auto segment = FindMpfSegment(source, view.offset, view.offset + view.length)) {
            view.mpfOffset = segment->pos;
            view.mpfLength = segment->length;
        }
    }
    return {};
}

// The JPS descriptor in an APP3 segment:
//   "_JPSJPS_" | block length(2) | separation(1) flags(1) layout(1) media type(1) | ...
// flags: 01 half height, 02 half width, 04 left view first; layout: 02 side by side,
// 03 over/under; media type: 00 a single picture, 01 stereo.
QString readJpsDescriptor(const QByteArray &payload, TStereoFile &file)
{
    file.descriptor = true;
    if (payload.size() < 14)
        return tr("its stereo descriptor is cut short");
    const auto *d = reinterpret_cast<const uchar *>(payload.constData()) + 8;
    const int blockLength = (d[0] << 8) | d[1];
    const uchar flags = d[3], layout = d[4], media = d[5];
    if (blockLength < 4)
        return tr("its stereo descriptor is cut short");
    if (media != 0x01)
        return tr("its stereo descriptor says it holds a single picture");
    if (layout == 0x02)
        file.layout = TJpsLayout::SideBySide;
    else if (layout == 0x03)
        file.layout = TJpsLayout::OverUnder;
    else
        return tr("its stereo descriptor names a layout other than side by side or over/under");
    file.crossed = !(flags & 0x04);
    file.halfWidth = flags & 0x02;
    file.halfHeight = flags & 0x01;
    return {};
}

QString readJps(TByteSource &source, TStereoFile &file)
{
    QString problem;
    bool haveFrame = false;
    const bool walked = WalkHeader(source, 0, file.fileSize, [&](const Segment &segment) {
        const std::uint8_t c = segment.code;
        if (c == MarkerApp3 && !file.descriptor && segment.payloadLength() >= 8) {
            const auto payload = ReadRange(source, segment.payloadPos(),
                                           std::min<qint64>(segment.payloadLength(), 64));
            if (payload && payload->startsWith("_JPSJPS_"))
                problem = readJpsDescriptor(*payload, file);
        } else if (c >= 0xC0 && c <= 0xCF && c != 0xC4 && c != 0xC8 && c != 0xCC && !haveFrame) {
            //  precision(1) height(2) width(2) components(1) | per component: id(1) HV(1) table(1)
            const auto sof = ReadRange(source, segment.payloadPos(), segment.payloadLength());
            if (!sof || sof->size() < 6)
                return Walk::Stop;
            const auto *p = reinterpret_cast<const uchar *>(sof->constData());
            file.height = (p[1] << 8) | p[2];
            file.width = (p[3] << 8) | p[4];
            const int components = p[5];
            if (components < 1 || sof->size() < 6 + 3 * components)
                return Walk::Stop;
            int h = 1, v = 1;
            for (int i = 0; i < components && components > 1; ++i) {
                h = std::max(h, p[7 + 3 * i] >> 4);
                v = std::max(v, p[7 + 3 * i] & 0x0F);
            }
            file.mcuWidth = 8 * h;
            file.mcuHeight = 8 * v;
            haveFrame = true;
        }
        return problem.isEmpty() ? Walk::Continue : Walk::Stop;
    });
    if (!problem.isEmpty())
        return problem;
    if (!walked || !haveFrame)
        return tr("it is not a JPEG picture");
    if (!completeStream(source, 0, file.fileSize))
        return tr("its picture is cut short");
    const bool across = file.layout == TJpsLayout::SideBySide;
    const int whole = across ? file.width : file.height;
    if (whole < 2 || (across ? file.height : file.width) < 1)
        return tr("its picture is too small to hold two views");
    const int half = whole / 2;
    for (int v = 0; v < 2; ++v) {
        // The first half holds the right view (v = 1) when crossed.
        const bool firstHalf = (v == 0) != file.crossed;
        TStereoView &view = file.views[v];
        view.x = across && !firstHalf ? half : 0;
        view.y = !across && !firstHalf ? half : 0;
        view.width = across ? half : file.width;
        view.height = across ? file.height : half;
    }
    return {};
}

} // namespace

QString MpImageTypeName(std::uint32_t type)
{
    switch (type & TypeMask) {
    case 0x030000:
        return QStringLiteral("Baseline MP Primary Image");
    case 0x010001:
        return QStringLiteral("Large Thumbnail (VGA equivalent)");
    case 0x010002:
        return QStringLiteral("Large Thumbnail (full HD equivalent)");
    case 0x020001:
        return QStringLiteral("Multi-frame Panorama");
    case 0x020002:
        return QStringLiteral("Multi-frame Disparity");
    case 0x020003:
        return QStringLiteral("Multi-angle");
    case 0x000000:
        return QStringLiteral("Undefined");
    default:
        return QStringLiteral("0x%1").arg(type & TypeMask, 6, 16, QLatin1Char('0'));
    }
}

bool IsJpsFileName(const QString &path)
{
    return path.endsWith(QLatin1String(".jps"), Qt::CaseInsensitive);
}

TStereoFile ReadStereoFile(TByteSource &source, bool jps)
{
    TStereoFile file;
    file.fileSize = source.size();
    if (jps) {
        file.problem = readJps(source, file);
        if (file.problem.isEmpty())
            file.format = TStereoFormat::Jps;
        return file;
    }
    file.problem = readMpo(source, file);
    if (file.problem.isEmpty())
        file.format = TStereoFormat::Mpo;
    else if (!file.index.present)
        file.problem.clear(); // a plain JPEG (or no JPEG): nothing to say
    return file;
}

TStereoFile ReadStereoFile(const QString &path)
{
    TFileSource source;
    if (source.open(path) != TFileSource::OpenResult::Opened) {
        TStereoFile file;
        file.problem = tr("it cannot be read");
        return file;
    }
    return ReadStereoFile(source, IsJpsFileName(path));
}

QJsonObject StereoFileJson(const TStereoFile &file)
{
    QJsonObject json;
    json[QStringLiteral("stereo")] = file.format == TStereoFormat::Mpo   ? QStringLiteral("mpo")
                                     : file.format == TStereoFormat::Jps ? QStringLiteral("jps")
                                                                         : QStringLiteral("none");
    if (!file.problem.isEmpty())
        json[QStringLiteral("notStereoBecause")] = file.problem;
    if (file.index.present) {
        QJsonArray images;
        for (const TMpImage &image : file.index.images) {
            QJsonObject entry{{QStringLiteral("type"), MpImageTypeName(image.type())},
                              {QStringLiteral("size"), image.size},
                              {QStringLiteral("offset"), image.offset}};
            if (image.individualNumber)
                entry[QStringLiteral("individualNumber")] = qint64(image.individualNumber);
            if (image.representative())
                entry[QStringLiteral("representative")] = true;
            images.append(entry);
        }
        json[QStringLiteral("mpIndex")] = QJsonObject{
            {QStringLiteral("numberOfImages"), images.size()}, {QStringLiteral("images"), images}};
    }
    if (file.isStereo()) {
        QJsonArray views;
        for (const TStereoView &view : file.views) {
            views.append(file.format == TStereoFormat::Mpo
                             ? QJsonObject{{QStringLiteral("offset"), view.offset},
                                           {QStringLiteral("length"), view.length}}
                             : QJsonObject{{QStringLiteral("x"), view.x},
                                           {QStringLiteral("y"), view.y},
                                           {QStringLiteral("width"), view.width},
                                           {QStringLiteral("height"), view.height}});
        }
        json[QStringLiteral("views")] = views;
    }
    return json;
}
