#include "preview/bitmapops.h"

#include "imaging/rounding.h"

#include <QColorSpace>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace {

QImage as32Bit(const QImage &picture)
{
    if (picture.format() == QImage::Format_ARGB32 || picture.format() == QImage::Format_RGB32)
        return picture;
    return picture.convertToFormat(picture.hasAlphaChannel() ? QImage::Format_ARGB32
                                                             : QImage::Format_RGB32);
}

bool usable(const QImage &picture)
{
    return !picture.isNull() && picture.width() > 0 && picture.height() > 0;
}

// ---- Lanczos ----

constexpr double LanczosLobes = 3.0;
// Filter weights are fixed-point numbers with this many fraction bits.
constexpr int WeightBits = 14;

double sinc(double x)
{
    if (x == 0.0)
        return 1.0;
    const double px = std::numbers::pi * x;
    return std::sin(px) / px;
}

double lanczos(double x)
{
    return std::abs(x) < LanczosLobes ? sinc(x) * sinc(x / LanczosLobes) : 0.0;
}

// The taps of one output position: the first source index and one weight per tap.
struct Taps
{
    int first = 0;
    int count = 0;
    int offset = 0; // into the weight table
};

struct FilterTable
{
    std::vector<Taps> taps;
    std::vector<int32_t> weights;
};

// Weights for resampling a line of inSize samples to outSize samples. Output sample i sits
// at source position (i + 0.5) / scale - 0.5; when shrinking the kernel is stretched by
// 1 / scale so that it low-passes what is dropped. Weights are normalised to sum to one;
// taps beyond the ends read the edge sample.
FilterTable filterTable(int inSize, int outSize)
{
    FilterTable table;
    table.taps.resize(std::size_t(outSize));
    const double scale = double(outSize) / double(inSize);
    const double stretch = scale < 1.0 ? 1.0 / scale : 1.0;
    const double support = LanczosLobes * stretch;
    std::vector<double> w;
    for (int i = 0; i < outSize; ++i) {
        const double centre = (i + 0.5) / scale - 0.5;
        const int first = int(std::floor(centre - support)) + 1;
        const int last = int(std::ceil(centre + support)) - 1;
        w.clear();
        double sum = 0;
        for (int j = first; j <= last; ++j) {
            const double v = lanczos((j - centre) / stretch);
            w.push_back(v);
            sum += v;
        }
        Taps &t = table.taps[std::size_t(i)];
        t.first = first;
        t.count = int(w.size());
        t.offset = int(table.weights.size());
        // Rounded fixed-point weights; the rounding error goes to the largest weight so
        // that a flat area stays exactly flat.
        int32_t total = 0;
        std::size_t largest = 0;
        for (std::size_t k = 0; k < w.size(); ++k) {
            const auto q = int32_t(std::lround(w[k] / sum * (1 << WeightBits)));
            table.weights.push_back(q);
            total += q;
            if (std::abs(w[k]) > std::abs(w[largest]))
                largest = k;
        }
        table.weights[std::size_t(t.offset) + largest] += (1 << WeightBits) - total;
    }
    return table;
}

inline uint8_t clampByte(int32_t accumulated)
{
    const int32_t v = (accumulated + (1 << (WeightBits - 1))) >> WeightBits;
    return uint8_t(std::clamp(v, 0, 255));
}

// Horizontal pass: every row of in (4 bytes per pixel) resampled to outWidth pixels.
void resampleRows(const QImage &in, QImage &out, const FilterTable &table)
{
    const int inWidth = in.width();
    const int outWidth = out.width();
    for (int y = 0; y < in.height(); ++y) {
        const uint8_t *src = in.constScanLine(y);
        uint8_t *dst = out.scanLine(y);
        for (int x = 0; x < outWidth; ++x) {
            const Taps &t = table.taps[std::size_t(x)];
            const int32_t *w = table.weights.data() + t.offset;
            int32_t acc[4] = {0, 0, 0, 0};
            for (int k = 0; k < t.count; ++k) {
                const int sx = std::clamp(t.first + k, 0, inWidth - 1);
                const uint8_t *p = src + 4 * sx;
                acc[0] += w[k] * p[0];
                acc[1] += w[k] * p[1];
                acc[2] += w[k] * p[2];
                acc[3] += w[k] * p[3];
            }
            for (int c = 0; c < 4; ++c)
                dst[4 * x + c] = clampByte(acc[c]);
        }
    }
}

// Vertical pass: whole rows are accumulated at once, which keeps the reads sequential.
void resampleColumns(const QImage &in, QImage &out, const FilterTable &table)
{
    const int inHeight = in.height();
    const int bytes = 4 * in.width();
    std::vector<int32_t> acc(std::size_t(bytes), 0);
    for (int y = 0; y < out.height(); ++y) {
        const Taps &t = table.taps[std::size_t(y)];
        const int32_t *w = table.weights.data() + t.offset;
        std::fill(acc.begin(), acc.end(), 0);
        for (int k = 0; k < t.count; ++k) {
            const uint8_t *src = in.constScanLine(std::clamp(t.first + k, 0, inHeight - 1));
            const int32_t weight = w[k];
            int32_t *a = acc.data();
            for (int i = 0; i < bytes; ++i)
                a[i] += weight * src[i];
        }
        uint8_t *dst = out.scanLine(y);
        for (int i = 0; i < bytes; ++i)
            dst[i] = clampByte(acc[std::size_t(i)]);
    }
}

} // namespace

QRect FitRect(QSize picture, QSize area)
{
    if (picture.isEmpty() || area.isEmpty())
        return {};
    const double scale =
        std::min(double(area.width()) / picture.width(), double(area.height()) / picture.height());
    const int w = int(std::max<long long>(1, RoundHalfEven(picture.width() * scale)));
    const int h = int(std::max<long long>(1, RoundHalfEven(picture.height() * scale)));
    return {(area.width() - w) / 2, (area.height() - h) / 2, w, h};
}

QImage StretchNearest(const QImage &picture, QSize size)
{
    if (!usable(picture) || size.isEmpty())
        return {};
    const QImage in = as32Bit(picture);
    if (in.size() == size)
        return in;
    QImage out(size, in.format());
    if (out.isNull())
        return {};
    out.setColorSpace(in.colorSpace());
    // Every target pixel takes the source pixel under its centre: source column
    // floor((x + 0.5) * inWidth / outWidth), in integers. (QImage::scaled goes through a
    // general transformation and cost several milliseconds per preview picture.)
    std::vector<int> columns(std::size_t(size.width()));
    for (int x = 0; x < size.width(); ++x)
        columns[std::size_t(x)] = int((2LL * x + 1) * in.width() / (2LL * size.width()));
    for (int y = 0; y < size.height(); ++y) {
        const int sy = int((2LL * y + 1) * in.height() / (2LL * size.height()));
        const auto *src = reinterpret_cast<const QRgb *>(in.constScanLine(sy));
        auto *dst = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            dst[x] = src[columns[std::size_t(x)]];
    }
    return out;
}

QImage ResampleLanczos(const QImage &picture, QSize size)
{
    if (!usable(picture) || size.isEmpty())
        return {};
    const QImage in = as32Bit(picture);
    if (in.size() == size)
        return in;
    // A side that keeps its length needs no pass: the filter's weights are then 1 at the
    // pixel itself and 0 at every other whole pixel (a stereo file's half-width views).
    QImage rows = in;
    if (size.width() != in.width()) {
        rows = QImage(size.width(), in.height(), in.format());
        if (rows.isNull())
            return {};
        resampleRows(in, rows, filterTable(in.width(), size.width()));
    }
    if (size.height() == in.height())
        return rows;
    QImage out(size, in.format());
    if (out.isNull())
        return {};
    resampleColumns(rows, out, filterTable(in.height(), size.height()));
    return out;
}

QImage RotateQuarterTurns(const QImage &picture, int rotation)
{
    if (!usable(picture))
        return {};
    const int turns = ((rotation % 4) + 4) % 4;
    const QImage in = as32Bit(picture);
    if (turns == 0)
        return in;
    const int w = in.width(), h = in.height();
    QImage out(turns == 2 ? w : h, turns == 2 ? h : w, in.format());
    if (out.isNull())
        return {};
    out.setColorSpace(in.colorSpace());
    // Pixel (x, y) goes to (h-1-y, x) for one turn clockwise, to (w-1-x, h-1-y) for two
    // and to (y, w-1-x) for three.
    const auto stride = out.bytesPerLine() / 4;
    QRgb *target = reinterpret_cast<QRgb *>(out.bits());
    for (int y = 0; y < h; ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(in.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            switch (turns) {
            case 1:
                target[x * stride + (h - 1 - y)] = row[x];
                break;
            case 2:
                target[(h - 1 - y) * stride + (w - 1 - x)] = row[x];
                break;
            default:
                target[(w - 1 - x) * stride + y] = row[x];
                break;
            }
        }
    }
    return out;
}

QImage MirrorLeftRight(const QImage &picture)
{
    if (!usable(picture))
        return {};
    return as32Bit(picture).mirrored(true, false);
}

QImage InvertColours(const QImage &picture)
{
    if (!usable(picture))
        return {};
    QImage out = as32Bit(picture);
    out.invertPixels(QImage::InvertRgb);
    return out;
}

QImage ComposeAnaglyph(const QImage &left, const QImage &right)
{
    if (!usable(left) || !usable(right))
        return {};
    // RGB32 (0xffRRGGBB) and ARGB32 share one layout: those are read as they are, without
    // a converted copy of each picture.
    const auto direct = [](const QImage &image) {
        return image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
                   ? image
                   : image.convertToFormat(QImage::Format_ARGB32);
    };
    const QImage l = direct(left);
    const QImage r = direct(right);
    const QSize larger(std::max(l.width(), r.width()), std::max(l.height(), r.height()));
    const int w = std::min(l.width(), r.width());
    const int h = std::min(l.height(), r.height());
    QImage target(larger, QImage::Format_ARGB32);
    if (target.isNull())
        return {};
    // Outside the common part: the left picture where it is the larger one, else nothing.
    const bool leftIsLarger = larger == l.size();
    if (leftIsLarger)
        target.setColorSpace(l.colorSpace());
    else
        target.fill(0);
    for (int y = 0; y < larger.height(); ++y) {
        const QRgb *lp =
            reinterpret_cast<const QRgb *>(l.constScanLine(std::min(y, l.height() - 1)));
        QRgb *tp = reinterpret_cast<QRgb *>(target.scanLine(y));
        if (leftIsLarger && (y >= h || w < larger.width())) {
            const int from = y >= h ? 0 : w;
            std::copy(lp + from, lp + larger.width(), tp + from);
        }
        if (y >= h)
            continue;
        const QRgb *rp = reinterpret_cast<const QRgb *>(r.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            // round(0.299 R + 0.587 G + 0.114 B) in integers: the weights times 1000, and
            // a remainder of exactly one half rounds to the even neighbour. For sums up to
            // 255000 the quotient by 1000 is exactly (sum * 4294968) >> 32, which the
            // compiler can do on several pixels at once.
            const quint32 p = lp[x];
            const quint32 sum =
                299u * ((p >> 16) & 0xFFu) + 587u * ((p >> 8) & 0xFFu) + 114u * (p & 0xFFu);
            quint32 grey = quint32((quint64(sum) * 4294968u) >> 32);
            const quint32 rest = sum - grey * 1000u;
            grey += quint32(rest > 500u) | (quint32(rest == 500u) & grey);
            tp[x] = 0xFF000000u | (grey << 16) | (rp[x] & 0xFFFFu);
        }
    }
    return target;
}

QImage TrimThumbnailBands(const QImage &thumbnail, QRgb background)
{
    if (!usable(thumbnail) || thumbnail.width() != thumbnail.height())
        return thumbnail;
    const QImage in = as32Bit(thumbnail);
    const int size = in.width();
    const QRgb bg = background | 0xFF000000u;
    const auto rowIsBand = [&](int y) {
        const QRgb *p = reinterpret_cast<const QRgb *>(in.constScanLine(y));
        return std::all_of(p, p + size, [bg](QRgb v) { return (v | 0xFF000000u) == bg; });
    };
    const auto columnIsBand = [&](int x) {
        for (int y = 0; y < size; ++y)
            if ((reinterpret_cast<const QRgb *>(in.constScanLine(y))[x] | 0xFF000000u) != bg)
                return false;
        return true;
    };
    const auto count = [size](auto isBand, bool fromEnd) {
        int n = 0;
        while (n < size && isBand(fromEnd ? size - 1 - n : n))
            ++n;
        return n;
    };
    // Bands lie on both sides, equal or one apart; a picture whose own edge happens to
    // have the background colour must not lose more than its band.
    const auto trim = [](int before, int after, int &cutBefore, int &cutAfter) {
        const int band = std::min(before, after);
        cutBefore = std::min(before, band + 1);
        cutAfter = std::min(after, band + 1);
    };
    const int top = count(rowIsBand, false);
    if (top >= size)
        return thumbnail; // all background
    const int bottom = count(rowIsBand, true);
    const int leftCols = count(columnIsBand, false);
    const int rightCols = count(columnIsBand, true);
    int cutA = 0, cutB = 0;
    if (std::min(top, bottom) > std::min(leftCols, rightCols)) {
        trim(top, bottom, cutA, cutB);
        if (cutA + cutB == 0)
            return thumbnail;
        return in.copy(0, cutA, size, size - cutA - cutB);
    }
    trim(leftCols, rightCols, cutA, cutB);
    if (cutA + cutB == 0)
        return thumbnail;
    return in.copy(cutA, 0, size - cutA - cutB, size);
}
