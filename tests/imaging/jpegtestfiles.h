#pragma once
// Small JPEG files for the imaging tests, made on the fly: Qt's JPEG writer for the
// pixels, and a hand-built EXIF block (main directory with the orientation, EXIF
// directory with the pixel dimensions) inserted after the start marker.
#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QString>

#include <cstdint>

namespace jpegtest {

inline QByteArray encode(const QImage &image, int quality = 95)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", quality);
    return bytes;
}

// A picture whose four quadrants have different colours, to tell turns apart.
inline QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            image.setPixel(x, y,
                           !right && !bottom  ? qRgb(220, 30, 30) // red top left
                           : right && !bottom ? qRgb(30, 220, 30) // green top right
                           : !right           ? qRgb(30, 30, 220) // blue bottom left
                                              : qRgb(230, 230, 30));        // yellow bottom right
        }
    }
    return image;
}

struct ExifBlock
{
    QByteArray segment;        // the whole APP1 segment, FF E1 ...
    int orientationOffset = 0; // of the orientation value, from the segment start
    int pixelXOffset = 0;
    int pixelYOffset = 0;
};

inline ExifBlock exifBlock(bool bigEndian, std::uint16_t orientation, std::uint32_t pixelX,
                           std::uint32_t pixelY, bool longDimensions)
{
    QByteArray tiff;
    auto put16 = [&](std::uint16_t v) {
        if (bigEndian)
            tiff.append(char(v >> 8)).append(char(v));
        else
            tiff.append(char(v)).append(char(v >> 8));
    };
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            tiff.append(char(v >> (bigEndian ? 24 - 8 * i : 8 * i)));
    };
    auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t value) {
        put16(tag);
        put16(type);
        put32(1);
        if (type == 3) {
            put16(std::uint16_t(value));
            put16(0);
        } else {
            put32(value);
        }
    };
    tiff.append(bigEndian ? "MM" : "II");
    put16(42);
    put32(8);
    put16(2); // main directory at 8
    entry(0x0112, 3, orientation);
    entry(0x8769, 4, 38);
    put32(0);
    put16(2); // EXIF directory at 38
    entry(0xA002, longDimensions ? 4 : 3, pixelX);
    entry(0xA003, longDimensions ? 4 : 3, pixelY);
    put32(0);

    ExifBlock block;
    const QByteArray data = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(data.size()) + 2;
    block.segment = QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + data;
    const int tiffStart = 4 + 6;
    block.orientationOffset = tiffStart + 18;
    block.pixelXOffset = tiffStart + 48;
    block.pixelYOffset = tiffStart + 60;
    return block;
}

inline QByteArray withSegment(const QByteArray &jpeg, const QByteArray &segment)
{
    return jpeg.left(2) + segment + jpeg.mid(2);
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The picture coded again as a progressive JPEG: its scans are separated by tables.
inline QByteArray progressive(const QByteArray &jpeg)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.write(QImage::fromData(jpeg));
    return bytes;
}

} // namespace jpegtest
