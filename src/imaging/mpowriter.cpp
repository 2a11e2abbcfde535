#include "imaging/mpowriter.h"

#include "imaging/mpformat.h"
#include "imaging/rangecopy.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <limits>

using namespace mpformat;

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MpoWriter", text);
}

// Where a stream's end-of-image marker ends when only padding follows it: the last byte
// that is neither 00 nor FF must be the D9 of an FF D9. Padding beyond this is not looked
// through (no camera pads that much).
constexpr qint64 MaxPadding = 1 << 20;

std::optional<qint64> endBeforePadding(TByteSource &source)
{
    qint64 pos = source.size();
    const qint64 floor = std::max<qint64>(0, pos - MaxPadding);
    char chunk[4096];
    while (pos > floor) {
        const qint64 from = std::max(floor, pos - qint64(sizeof chunk));
        if (source.readAt(from, chunk, pos - from) != pos - from)
            return std::nullopt;
        for (qint64 i = pos - from - 1; i >= 0; --i) {
            const uchar byte = uchar(chunk[i]);
            if (byte == 0x00 || byte == 0xFF)
                continue;
            uchar marker = 0;
            const qint64 at = from + i;
            if (byte != 0xD9 || at < 4 ||
                source.readAt(at - 1, reinterpret_cast<char *>(&marker), 1) != 1 || marker != 0xFF)
                return std::nullopt;
            return at + 1;
        }
        pos = from;
    }
    return std::nullopt;
}

// A stream ready to be joined: its length, and where the new segment goes (after the
// leading APP0 and APP1 segments, as EXIF wants its APP1 first).
struct Prepared
{
    qint64 length = 0;
    qint64 insertAt = 2;
};

std::optional<Prepared> prepare(TByteSource &source, const QString &side, QString *error)
{
    Prepared prepared;
    bool leading = true, multiPicture = false;
    const bool header = WalkHeader(source, 0, source.size(), [&](const Segment &segment) {
        if (segment.code == MarkerApp0 || segment.code == MarkerApp1) {
            if (leading)
                prepared.insertAt = segment.pos + segment.length;
        } else {
            leading = false;
        }
        char signature[SignatureSize];
        if (segment.code == MarkerApp2 && segment.payloadLength() >= SignatureSize &&
            source.readAt(segment.payloadPos(), signature, SignatureSize) == SignatureSize &&
            std::memcmp(signature, "MPF\0", SignatureSize) == 0)
            multiPicture = true;
        return Walk::Continue;
    });
    const std::optional<qint64> end = header ? endBeforePadding(source) : std::nullopt;
    if (!end || multiPicture) {
        if (error)
            *error = multiPicture ? tr("the %1 file holds more than one picture").arg(side)
                                  : tr("the %1 file is not a complete JPEG picture").arg(side);
        return std::nullopt;
    }
    prepared.length = *end;
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

std::optional<TMpoPlan> PlanMpo(TByteSource &left, TByteSource &right, QString *error)
{
    const std::optional<Prepared> first = prepare(left, tr("left"), error);
    const std::optional<Prepared> second =
        first ? prepare(right, tr("right"), error) : std::nullopt;
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
    const qint64 firstSize = first->length + segmentLength;
    const qint64 secondSize = second->length + secondSegment.size();
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

    TMpoPlan plan;
    plan.size = firstSize + secondSize;
    plan.pieces = {{0, 0, first->insertAt, {}},
                   {-1, 0, segmentLength, *MpfSegment(index.bytes())},
                   {0, first->insertAt, first->length - first->insertAt, {}},
                   {1, 0, second->insertAt, {}},
                   {-1, 0, secondSegment.size(), secondSegment},
                   {1, second->insertAt, second->length - second->insertAt, {}}};
    return plan;
}

std::optional<QByteArray> WriteMpo(const QByteArray &left, const QByteArray &right, QString *error)
{
    TMemorySource leftSource(left), rightSource(right);
    const std::optional<TMpoPlan> plan = PlanMpo(leftSource, rightSource, error);
    if (!plan)
        return std::nullopt;
    QByteArray mpo;
    mpo.reserve(plan->size);
    for (const TMpoPlan::Piece &piece : plan->pieces)
        mpo += piece.source < 0 ? QByteArrayView(piece.bytes)
                                : QByteArrayView(piece.source == 0 ? left : right)
                                      .sliced(piece.offset, piece.length);
    return mpo;
}

bool WriteMpoFile(const TMpoPlan &plan, int leftFd, int rightFd, int out, QString *error)
{
    for (const TMpoPlan::Piece &piece : plan.pieces) {
        const bool ok = piece.source < 0 ? WriteAll(out, piece.bytes, error)
                                         : CopyFileRange(piece.source == 0 ? leftFd : rightFd,
                                                         piece.offset, piece.length, out, error);
        if (!ok)
            return false;
    }
    return true;
}
