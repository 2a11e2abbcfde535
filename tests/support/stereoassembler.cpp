#include "support/stereoassembler.h"

#include <QBuffer>
#include <QPainter>

namespace stereotest {

namespace {

class Writer
{
public:
    explicit Writer(bool little) : m_little(little) {}
    QByteArray bytes;
    void u16(std::uint32_t v)
    {
        const char b[2] = {char(v >> 8), char(v)};
        bytes.append(m_little ? b[1] : b[0]).append(m_little ? b[0] : b[1]);
    }
    void u32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes.append(char(v >> (m_little ? 8 * i : 24 - 8 * i)));
    }
    void header()
    {
        bytes += m_little ? QByteArray("II\x2A\x00", 4) : QByteArray("MM\x00\x2A", 4);
        u32(8);
    }
    void attributeIfd(std::uint32_t number)
    {
        u16(1);
        u16(0xB101), u16(4), u32(1), u32(number);
        u32(0);
    }

private:
    bool m_little;
};

QByteArray segment(const QByteArray &block)
{
    QByteArray s("\xFF\xE2", 2);
    const int length = 2 + 4 + block.size();
    s.append(char(length >> 8)).append(char(length)).append("MPF\0", 4).append(block);
    return s;
}

QByteArray withSegment(const QByteArray &jpeg, const QByteArray &inserted)
{
    return jpeg.left(2) + inserted + jpeg.mid(2);
}

} // namespace

QByteArray assembleMpo(const QList<MpoPicture> &pictures, const MpoOptions &options)
{
    // The further pictures as they will stand in the file, with their own segments.
    QList<QByteArray> streams;
    for (int i = 1; i < pictures.size(); ++i) {
        QByteArray stream = pictures[i].jpeg;
        if (pictures[i].individualNumber) {
            Writer w(options.littleEndian);
            w.header();
            w.attributeIfd(pictures[i].individualNumber);
            stream = withSegment(stream, segment(w.bytes));
        }
        streams.append(stream);
    }
    // The first picture's segment: index IFD (3 entries), the entries, its attribute IFD.
    const int count = int(pictures.size());
    const std::uint32_t entriesAt = 8 + 2 + 3 * 12 + 4;
    const std::uint32_t attributesAt = entriesAt + 16 * count;
    const bool firstNumbered = count > 0 && pictures[0].individualNumber;
    const qint64 blockSize = attributesAt + (firstNumbered ? 2 + 12 + 4 : 0);
    const qint64 firstSize = pictures.value(0).jpeg.size() + 2 + 2 + 4 + blockSize;
    const qint64 mpHeader = 2 + 4 + 4;

    Writer w(options.littleEndian);
    w.header();
    w.u16(3);
    w.u16(0xB000), w.u16(7), w.u32(4);
    w.bytes += options.version.leftJustified(4, '\0', true);
    w.u16(0xB001), w.u16(4), w.u32(1), w.u32(options.declaredCount.value_or(count));
    w.u16(0xB002), w.u16(7), w.u32(16 * count), w.u32(entriesAt);
    w.u32(firstNumbered ? attributesAt : 0);
    qint64 position = firstSize;
    for (int i = 0; i < count; ++i) {
        const MpoPicture &picture = pictures[i];
        const qint64 size = i == 0 ? firstSize : streams[i - 1].size();
        if (i > 0)
            position += picture.before.size();
        w.u32(picture.attribute);
        w.u32(picture.declaredSize.value_or(std::uint32_t(size)));
        w.u32(picture.declaredOffset.value_or(i == 0 ? 0 : std::uint32_t(position - mpHeader)));
        w.u16(0), w.u16(0);
        if (i > 0)
            position += size;
    }
    if (firstNumbered)
        w.attributeIfd(pictures[0].individualNumber);

    QByteArray file = withSegment(pictures.value(0).jpeg, segment(w.bytes));
    for (int i = 1; i < count; ++i)
        file += pictures[i].before + streams[i - 1];
    return file + options.after;
}

QByteArray assembleJps(const QImage &firstHalf, const QImage &secondHalf, bool overUnder,
                       const std::optional<JpsDescriptor> &descriptor)
{
    const QSize size = overUnder ? QSize(firstHalf.width(), firstHalf.height() * 2)
                                 : QSize(firstHalf.width() * 2, firstHalf.height());
    QImage whole(size, QImage::Format_RGB32);
    QPainter painter(&whole);
    painter.drawImage(0, 0, firstHalf);
    painter.drawImage(overUnder ? 0 : firstHalf.width(), overUnder ? firstHalf.height() : 0,
                      secondHalf);
    painter.end();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    whole.save(&buffer, "JPEG", 95);
    if (!descriptor)
        return jpeg;
    //  "_JPSJPS_" | block length(2) = 4 | separation flags layout media type
    QByteArray payload("_JPSJPS_");
    payload.append('\0').append('\x04');
    payload.append('\0')
        .append(char(descriptor->flags))
        .append(char(descriptor->layout))
        .append(char(descriptor->media));
    QByteArray app3("\xFF\xE3", 2);
    app3.append(char((payload.size() + 2) >> 8)).append(char(payload.size() + 2)).append(payload);
    return jpeg.left(2) + app3 + jpeg.mid(2);
}

} // namespace stereotest
