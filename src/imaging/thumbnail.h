#pragma once
// A thumbnail kept compressed: a holder keeps its thumbnail for as long as its file is in
// the lists, tens of thousands of them, so it stores JPEG bytes (a few KB instead of
// 360 KB) and decodes them whenever the preview or a list icon needs the picture.
//
// A thumbnail has a size (300 x 300 for a JPEG file's square, the picture's own aspect for
// other formats) and a place in it where its picture lies; the rest is bands of background
// colour. Only the picture is compressed, and only at the size it was given: a small
// picture (the 1/8-scale decode of a small file) is not enlarged to its place before it is
// stored, it is enlarged when the thumbnail is drawn. So the bands come back exactly, and
// what finds them (the preview cuts them off) finds the same rows as in the uncompressed
// thumbnail.
#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QRgb>
#include <QSize>

class TThumbnail
{
public:
    TThumbnail() = default;
    // Compresses picture as it is; background is the colour of its bands, found at its
    // edges. A null picture, or one that cannot be compressed (no memory), gives a null
    // thumbnail.
    TThumbnail(const QImage &picture, QRgb background);
    // With the thumbnails' button-face background.
    TThumbnail(const QImage &picture); // NOLINT(google-explicit-constructor)

    // A thumbnail of size whose picture lies at place, with bands of background around it.
    // The picture is kept at its own size when it is not larger than place (no enlarging),
    // else reduced to place's size first. Null for a null picture or an empty place.
    static TThumbnail Placed(const QImage &picture, QSize size, QRect place, QRgb background);
    // The same for a picture that already is JPEG (an embedded EXIF thumbnail): its bytes
    // are kept as they are. Null when jpeg has no readable JPEG header, or states a picture
    // more than eight times as large as place.
    static TThumbnail PlacedJpeg(const QByteArray &jpeg, QSize size, QRect place, QRgb background);

    bool isNull() const { return m_size.isEmpty(); }
    QSize size() const { return m_size; }
    int width() const { return m_size.width(); }
    int height() const { return m_size.height(); }
    // Where the picture lies in the thumbnail (empty: background only).
    QRect place() const { return m_place; }
    // The size of the compressed picture.
    QSize storedSize() const { return m_stored; }
    // The whole thumbnail, decoded (Format_RGB32); null for a null thumbnail or when
    // decoding fails (no memory).
    QImage image() const;
    // The whole thumbnail reduced to the first of 1/8, 1/4, 1/2 of its size that stays at
    // least atLeast in both directions (a list icon needs no more), bands included; the
    // whole thumbnail when no reduction fits.
    QImage image(QSize atLeast) const;
    // The whole thumbnail drawn at size, bands included: the picture is decoded at the
    // smallest DCT reduction that still covers its place there, then fitted to it.
    QImage render(QSize size) const;
    // Bytes this thumbnail keeps.
    qsizetype byteCount() const { return m_jpeg.size(); }

    bool operator==(const TThumbnail &other) const = default;

private:
    QByteArray m_jpeg; // the picture between the bands
    QSize m_size;      // the whole thumbnail
    QRect m_place;     // where the picture lies in it
    QSize m_stored;    // the compressed picture's own size
    QRgb m_background = 0;
};

// The square thumbnail (ThumbnailSize) of a decoded picture (a 1/8-scale decode): the
// picture centred in it with bands of background, kept at its own size when smaller than
// its place.
TThumbnail SquareThumbnail(const QImage &picture);
// The embedded EXIF thumbnail of the JPEG stream whose first bytes are head, as its square
// thumbnail, when it can stand for the picture: at least as large as the picture's
// 1/8-scale decode would be there and of the picture's aspect (no letterbox bands of its
// own). Its bytes are kept as they are. Null otherwise. Untrusted input.
TThumbnail ExifSquareThumbnail(const QByteArray &head);
// The square thumbnail of a JPEG stream: its EXIF thumbnail when that can stand for it,
// else its 1/8-scale decode. Null when neither can be had. Untrusted input.
TThumbnail JpegStreamThumbnail(const QByteArray &stream);
