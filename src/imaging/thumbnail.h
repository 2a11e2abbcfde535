#pragma once
// A thumbnail kept compressed: a holder keeps its 300 x 300 picture for as long as its file
// is in the lists, tens of thousands of them, so it stores JPEG bytes (tens of KB instead
// of 360 KB) and decodes them whenever the preview or a list icon needs the picture.
//
// The bands of background colour that a square thumbnail has above and below (or left
// and right of) its picture are not compressed: only the picture between them is, and the
// bands come back exactly, so that what finds them (the preview cuts them off) finds the
// same rows as in the uncompressed thumbnail.
#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QRgb>
#include <QSize>

class TThumbnail
{
public:
    TThumbnail() = default;
    // Compresses picture; background is the colour of its bands. A null picture, or one
    // that cannot be compressed (no memory), gives a null thumbnail.
    TThumbnail(const QImage &picture, QRgb background);
    // With the thumbnails' button-face background.
    TThumbnail(const QImage &picture); // NOLINT(google-explicit-constructor)

    bool isNull() const { return m_size.isEmpty(); }
    QSize size() const { return m_size; }
    int width() const { return m_size.width(); }
    int height() const { return m_size.height(); }
    // The picture, decoded (Format_RGB32); null for a null thumbnail or when decoding
    // fails (no memory).
    QImage image() const;
    // The picture reduced by the decoder's DCT scaling as far as it stays at least
    // atLeast in both directions (a list icon needs no more), bands included; the whole
    // picture when no reduction fits. Quicker to decode than image().
    QImage image(QSize atLeast) const;
    // Bytes this thumbnail keeps.
    qsizetype byteCount() const { return m_jpeg.size(); }

    bool operator==(const TThumbnail &other) const = default;

private:
    QByteArray m_jpeg; // the picture between the bands
    QSize m_size;      // the whole thumbnail
    QRect m_content;   // where the compressed picture lies in it
    QRgb m_background = 0;
};
