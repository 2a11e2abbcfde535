#include "imaging/mpowriter.h"

#include "imaging/jpegstream.h"
#include "imaging/mpformat.h"

#include <QCoreApplication>

#include <limits>

using namespace mpformat;

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MpoWriter", text);
}

// A stream ready to be joined: its bytes without a stale MPF segment, and where the new one
// goes (after the leading APP0 and APP1 segments, as EXIF wants its APP1 first).
struct Prepared
{
    QByteArray bytes;
    qint64 insertAt = 2;
};

std::optional<Prepared> prepare(const QByteArray &jpeg, const QString &side, QString *error)
{
    const auto *data = reinterpret_cast<const std::uint8_t *>(jpeg.constData());
    const std::size_t end = jpegstream::firstStreamEnd(data, std::size_t(jpeg.size()));
    if (end == 0 || jpegstream::hasDataAfterFirstStream(data, std::size_t(jpeg.size()))) {
        if (error)
            *error = end == 0 ? tr("the %1 file is not a complete JPEG picture").arg(side)
                              : tr("the %1 file holds more than one picture").arg(side);
        return std::nullopt;
    }
    Prepared prepared;
    prepared.bytes = jpeg.left(qsizetype(end));
    TMemorySource source(prepared.bytes);
    if (const auto mpf = FindMpfSegment(source, 0, prepared.bytes.size()))
        prepared.bytes.remove(mpf->pos, mpf->length);
    TMemorySource stripped(prepared.bytes);
    WalkHeader(stripped, 0, prepared.bytes.size(), [&](const Segment &segment) {
        if (segment.code != MarkerApp0 && segment.code != MarkerApp1)
            return Walk::Stop;
        prepared.insertAt = segment.pos + segment.length;
        return Walk::Continue;
    });
    return prepared;
}

// The MP Attribute IFD of one picture: version, individual number, base viewpoint.
void attributeIfd(TiffWriter &w, std::uint32_t number)
{
    w.u16(3);
    w.entryBytes(TagVersion, "0100");
    w.entry(TagIndividualNumber, TypeLong, 1, number);
    w.entry(TagBaseViewpoint, TypeLong, 1, 1);
    w.u32(0);
}

} // namespace

std::optional<QByteArray> WriteMpo(const QByteArray &left, const QByteArray &right, QString *error)
{
    const std::optional<Prepared> first = prepare(left, tr("left"), error);
    const std::optional<Prepared> second = first ? prepare(right, tr("right"), error) : std::nullopt;
    if (!first || !second)
        return std::nullopt;

    // The first picture's segment: the index IFD (version, number of pictures, entries),
    // the two 16-byte entries, then the first picture's attribute IFD.
    TiffWriter index;
    index.u16(3);
    index.entryBytes(TagVersion, "0100");
    index.entry(TagNumberOfImages, TypeLong, 1, 2);
    const qint64 entriesField = index.size() + 8;
    index.entry(TagEntries, TypeUndefined, 2 * EntrySize, 0);
    const qint64 nextIfdField = index.size();
    index.u32(0);
    const qint64 entries = index.size();
    index.put32At(entriesField, std::uint32_t(entries));
    index.bytes().append(2 * EntrySize, '\0');
    index.put32At(nextIfdField, std::uint32_t(index.size()));
    attributeIfd(index, 1);

    TiffWriter attributes;
    attributeIfd(attributes, 2);
    const QByteArray secondSegment = *MpfSegment(attributes.bytes());

    // Sizes and offsets: the segment's own length is known before its entries are filled.
    const qint64 segmentLength = MpfSegment(index.bytes())->size();
    const qint64 firstSize = first->bytes.size() + segmentLength;
    const qint64 secondSize = second->bytes.size() + secondSegment.size();
    const qint64 mpHeader = first->insertAt + 4 + SignatureSize;
    if (firstSize + secondSize > qint64(std::numeric_limits<std::uint32_t>::max())) {
        if (error)
            *error = tr("the pictures are too large for one multi-picture file");
        return std::nullopt;
    }
    //  attribute(4) size(4) offset(4, from the MP header; 0 for the first) dependents(2 + 2)
    index.put32At(entries, FlagRepresentative | TypeDisparity);
    index.put32At(entries + 4, std::uint32_t(firstSize));
    index.put32At(entries + EntrySize, TypeDisparity);
    index.put32At(entries + EntrySize + 4, std::uint32_t(secondSize));
    index.put32At(entries + EntrySize + 8, std::uint32_t(firstSize - mpHeader));

    QByteArray mpo;
    mpo.reserve(firstSize + secondSize);
    mpo += QByteArrayView(first->bytes).first(first->insertAt);
    mpo += *MpfSegment(index.bytes());
    mpo += QByteArrayView(first->bytes).sliced(first->insertAt);
    mpo += QByteArrayView(second->bytes).first(second->insertAt);
    mpo += secondSegment;
    mpo += QByteArrayView(second->bytes).sliced(second->insertAt);
    return mpo;
}
