#pragma once
// Small JPEG files with a chosen capture time for the command line tests: Qt's JPEG writer
// plus a hand-built EXIF block.
#include "imaging/exifbuilder.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>

// image as a JPEG whose EXIF DateTimeOriginal is dateTime ("YYYY:MM:DD HH:MM:SS"); a small
// plain picture without image.
inline QByteArray jpegTakenAt(const QByteArray &dateTime, QImage image = {})
{
    if (image.isNull()) {
        image = QImage(16, 16, QImage::Format_RGB32);
        image.fill(qRgb(90, 120, 150));
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);

    TiffBuilder tiff(false);
    const int main = tiff.addDirectory();
    const int exif = tiff.addDirectory();
    tiff.pointer(main, 0x8769, exif);
    tiff.ascii(exif, 0x9003, dateTime);
    const QByteArray app1 = tiff.exifSection();
    QByteArray segment("\xFF\xE1", 2);
    segment += char((app1.size() + 2) >> 8);
    segment += char((app1.size() + 2) & 0xFF);
    segment += app1;
    return jpeg.left(2) + segment + jpeg.mid(2); // right after the start marker
}
