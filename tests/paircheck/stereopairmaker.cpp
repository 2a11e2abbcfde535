#include "paircheck/stereopairmaker.h"

#include "imaging/jpegcodec.h"
#include "paircheck/workingpicture.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr double Margin = 1.15;

// A smooth field with values from 0 (far) to 1 (near) over the view (coordinates centred,
// in heights; aspect = width / height): a ground that comes nearer towards the bottom, an
// object standing in front, gentle waves; shape picks the mixture, seed the details.
class TDepthField
{
public:
    TDepthField(int shape, std::uint32_t seed, double aspect)
    {
        std::mt19937 random(seed * 7919u + 17u);
        std::uniform_real_distribution<double> u(-0.35, 0.35);
        m_objectX = u(random) * aspect;
        m_objectY = u(random);
        m_waveX = 3.0 + std::abs(u(random)) * 10.0;
        m_waveY = 2.0 + std::abs(u(random)) * 10.0;
        const int s = ((shape % 4) + 4) % 4;
        m_ground = s == 0 ? 1.0 : s == 1 ? 0.0 : s == 2 ? 0.6 : 0.3;
        m_object = s == 1 ? 0.8 : s == 2 ? 0.4 : s == 3 ? 0.4 : 0.0;
        m_wave = 1.0 - m_ground - m_object;
        // The field's extremes over the view, so that it can be stretched to 0 .. 1, and
        // its median.
        std::vector<double> samples;
        for (int y = 0; y <= 40; ++y)
            for (int x = 0; x <= 40; ++x)
                samples.push_back(Raw((x / 40.0 - 0.5) * aspect, y / 40.0 - 0.5));
        std::sort(samples.begin(), samples.end());
        m_low = samples.front();
        m_high = samples.back();
        m_median = Stretch(samples[samples.size() / 2]);
    }

    // The middle value of the field over the view.
    double Median() const { return m_median; }

    double operator()(double x, double y) const { return Stretch(Raw(x, y)); }

private:
    double Stretch(double raw) const
    {
        const double span = m_high - m_low;
        return span > 1e-9 ? std::clamp((raw - m_low) / span, 0.0, 1.0) : 0.5;
    }

    double Raw(double x, double y) const
    {
        const double dx = x - m_objectX, dy = y - m_objectY;
        return m_ground * (y + 0.5) + m_object * std::exp(-(dx * dx + dy * dy) / 0.04) +
               m_wave * 0.5 * (1 + std::sin(m_waveX * x) * std::cos(m_waveY * y));
    }

    double m_objectX, m_objectY, m_waveX, m_waveY;
    double m_ground, m_object, m_wave;
    double m_low = 0, m_high = 1, m_median = 0.5;
};

double Bilinear(const QImage &grey, double x, double y)
{
    x = std::clamp(x, 0.0, grey.width() - 1.001);
    y = std::clamp(y, 0.0, grey.height() - 1.001);
    const int ix = int(x), iy = int(y);
    const double fx = x - ix, fy = y - iy;
    const uchar *r0 = grey.constScanLine(iy) + ix;
    const uchar *r1 = grey.constScanLine(iy + 1) + ix;
    return (r0[0] * (1 - fx) + r0[1] * fx) * (1 - fy) + (r1[0] * (1 - fx) + r1[1] * fx) * fy;
}

void AddNoise(QImage &grey, double sigma, std::mt19937 &random)
{
    if (sigma <= 0)
        return;
    std::normal_distribution<double> n(0.0, sigma);
    for (int y = 0; y < grey.height(); ++y) {
        uchar *row = grey.scanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            row[x] = uchar(std::clamp(int(std::lround(row[x] + n(random))), 0, 255));
    }
}

// Where the JPEG stream that starts at start ends (just past its EOI marker), or -1.
qsizetype JpegStreamEnd(const QByteArray &bytes, qsizetype start)
{
    const auto at = [&](qsizetype i) { return uchar(bytes[i]); };
    const qsizetype size = bytes.size();
    qsizetype pos = start + 2;
    while (pos + 1 < size) {
        if (at(pos) != 0xFF)
            return -1;
        const uchar marker = at(pos + 1);
        if (marker == 0xFF) {
            ++pos;
            continue;
        }
        if (marker == 0xD9)
            return pos + 2;
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            pos += 2;
            continue;
        }
        if (pos + 3 >= size)
            return -1;
        const int length = (at(pos + 2) << 8) | at(pos + 3);
        if (length < 2 || length > size - pos - 2)
            return -1;
        pos += 2 + length;
        if (marker == 0xDA) {
            // Entropy-coded data up to the next marker that is neither a stuffed 0xFF nor a
            // restart marker.
            while (pos + 1 < size && !(at(pos) == 0xFF && at(pos + 1) != 0 &&
                                       (at(pos + 1) < 0xD0 || at(pos + 1) > 0xD7)))
                ++pos;
        }
    }
    return -1;
}

} // namespace

TMadePair MakeStereoPair(const QImage &source, const TPairRecipe &recipe)
{
    QImage base = source.convertToFormat(QImage::Format_Grayscale8);
    const int longSide = std::max(base.width(), base.height());
    const int baseLong = std::min(longSide, int(WorkingLongSide * Margin));
    if (baseLong != longSide)
        base = base.scaled(base.size() * (double(baseLong) / longSide), Qt::KeepAspectRatio,
                           Qt::SmoothTransformation);
    const int w = int(std::lround(base.width() / Margin));
    const int h = int(std::lround(base.height() / Margin));
    // The left view is cut at whole pixels; the right view samples from the same origin.
    const int ox = (base.width() - w) / 2, oy = (base.height() - h) / 2;

    std::mt19937 random(recipe.Seed);
    TMadePair pair;
    pair.Left = base.copy(ox, oy, w, h);

    const double aspect = double(w) / h;
    const TDepthField depth(recipe.DepthShape, recipe.Seed, aspect);
    pair.Near = recipe.Near;
    pair.Far = recipe.Far;
    if (recipe.Converged) {
        const double middle = recipe.Far + (recipe.Near - recipe.Far) * depth.Median();
        pair.Near -= middle;
        pair.Far -= middle;
    }
    const double t = recipe.Rotation * std::numbers::pi / 180.0;
    const double s = 1.0 + recipe.Scale / 100.0;
    const double c = std::cos(t) / s, sn = std::sin(t) / s;
    const double ty = recipe.VerticalOffset / 100.0;
    pair.Right = QImage(w, h, QImage::Format_Grayscale8);
    qint64 inFront = 0;
    for (int v = 0; v < h; ++v) {
        uchar *row = pair.Right.scanLine(v);
        for (int u = 0; u < w; ++u) {
            // Right view position, centred, in heights; the left point that lands there.
            const double xr = (u - w / 2.0) / h, yr = (v - h / 2.0) / h;
            const double parallax =
                (pair.Far + (pair.Near - pair.Far) * depth(xr, yr)) / 100.0 * aspect;
            inFront += parallax < 0;
            const double qx = xr - parallax, qy = yr - ty;
            const double xl = c * qx + sn * qy, yl = -sn * qx + c * qy;
            const double value = Bilinear(base, xl * h + w / 2.0 + ox, yl * h + h / 2.0 + oy);
            row[u] = uchar(std::clamp(int(std::lround(value)), 0, 255));
        }
    }
    pair.InFrontShare = double(inFront) / (double(w) * h);
    AddNoise(pair.Left, recipe.Noise, random);
    AddNoise(pair.Right, recipe.Noise, random);
    return pair;
}

QByteArrayList MpoJpegStreams(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    static const QByteArray soi("\xFF\xD8\xFF", 3);
    QByteArrayList streams;
    qsizetype start = bytes.startsWith(soi) ? 0 : -1;
    while (start >= 0) {
        const qsizetype end = JpegStreamEnd(bytes, start);
        if (end < 0)
            break;
        streams << bytes.mid(start, end - start);
        start = bytes.indexOf(soi, end);
    }
    return streams;
}

QImage PairSourcePhoto(const QString &path)
{
    const QImage photo =
        DecodeJpegFileScaled(path, [](int w, int h) { return std::max(w, h) >= 2300 ? 2 : 1; });
    return photo.width() > 1200 || photo.height() > 1200
               ? photo.scaled(1150, 1150, Qt::KeepAspectRatio, Qt::SmoothTransformation)
               : photo;
}
