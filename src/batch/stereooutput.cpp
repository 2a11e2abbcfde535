#include "batch/stereooutput.h"

#include "imaging/jpegcodec.h"
#include "imaging/jpegencode.h"
#include "imaging/mpowriter.h"
#include "paircheck/paircheck.h"
#include "paircheck/workingpicture.h"
#include "preview/alignment.h"
#include "preview/bitmapops.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// The EXIF block lies in a file's first segments; this much of the left file is kept.
constexpr qsizetype HeaderBytes = 256 * 1024;
// Larger files are not read whole into memory (no camera writes them).
constexpr qint64 MaxInputBytes = qint64(1) << 31;

bool isJpeg(const QByteArray &bytes)
{
    return bytes.size() >= 3 && uchar(bytes[0]) == 0xFF && uchar(bytes[1]) == 0xD8 &&
           uchar(bytes[2]) == 0xFF;
}

std::optional<QByteArray> readWhole(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    if (file.size() > MaxInputBytes) {
        *error = QStringLiteral("%1 is too large").arg(path);
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (bytes.size() != file.size()) {
        *error = QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return bytes;
}

QImage decodeFile(const QByteArray &bytes)
{
    if (isJpeg(bytes))
        return DecodeJpeg(reinterpret_cast<const unsigned char *>(bytes.constData()),
                          std::size_t(bytes.size()), 1);
    QImage picture = QImage::fromData(bytes);
    return picture.isNull() ? picture : picture.convertToFormat(QImage::Format_RGB32);
}

// The picture as the preview shows it: turned, mirrored, inverted.
QImage applyLook(QImage picture, const TEntryLook &look)
{
    if (look.Rotation % 4 != 0)
        picture = RotateQuarterTurns(picture, look.Rotation);
    if (look.Mirror)
        picture = MirrorLeftRight(picture);
    if (look.Invert)
        picture = InvertColours(picture);
    return picture.convertToFormat(QImage::Format_RGB32);
}

// picture scaled (keeping its aspect) to cover size and cut to it about its centre.
QImage coverAndCut(const QImage &picture, QSize size)
{
    if (picture.size() == size)
        return picture;
    const double factor =
        std::max(double(size.width()) / picture.width(), double(size.height()) / picture.height());
    const QSize scaled(std::max(size.width(), int(std::lround(picture.width() * factor))),
                       std::max(size.height(), int(std::lround(picture.height() * factor))));
    const QImage resized = ResampleLanczos(picture, scaled);
    return resized
        .copy((scaled.width() - size.width()) / 2, (scaled.height() - size.height()) / 2,
              size.width(), size.height())
        .convertToFormat(QImage::Format_RGB32);
}

// The largest rectangle, in the aligned right view's coordinates, that the corrected
// picture covers completely: centred where the right picture's centre lands, of the
// picture's aspect, within the picture.
QRect coveredRect(const TDisplayCorrection &correction, QSize size)
{
    const QTransform toRight = MisalignmentTransform(correction, size);
    bool invertible = false;
    const QTransform toCorrected = toRight.inverted(&invertible);
    if (!invertible)
        return {};
    const QPointF centre = toCorrected.map(QPointF(size.width() / 2.0, size.height() / 2.0));
    const QRectF bounds(0, 0, size.width(), size.height());
    const auto fits = [&](double k) {
        const double w = k * size.width() / 2.0, h = k * size.height() / 2.0;
        const QRectF r(centre.x() - w, centre.y() - h, 2 * w, 2 * h);
        if (!bounds.contains(r))
            return false;
        for (const QPointF &corner : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()})
            if (!bounds.adjusted(-1e-9, -1e-9, 1e-9, 1e-9).contains(toRight.map(corner)))
                return false;
        return true;
    };
    double low = 0, high = 1;
    for (int i = 0; i < 40; ++i) {
        const double mid = (low + high) / 2;
        (fits(mid) ? low : high) = mid;
    }
    const double w = low * size.width() / 2.0, h = low * size.height() / 2.0;
    // Inward to whole pixels.
    const int x0 = int(std::ceil(centre.x() - w)), y0 = int(std::ceil(centre.y() - h));
    const int x1 = int(std::floor(centre.x() + w)), y1 = int(std::floor(centre.y() + h));
    return x1 > x0 && y1 > y0 ? QRect(x0, y0, x1 - x0, y1 - y0) : QRect();
}

// Aligns the right view to the left one with the pair check's figures, crops both to the
// area both show and moves the right view so that the nearest point lies at the window.
void alignViews(TStereoViews &views)
{
    const TPairCheck check = CheckPair(ToWorkingPicture(views.Left), ToWorkingPicture(views.Right));
    if (!check.Measured) {
        views.Note = QStringLiteral("not aligned: %1")
                         .arg(check.Problem.isEmpty() ? QStringLiteral("not the same scene")
                                                      : check.Problem);
        return;
    }
    const TDisplayCorrection correction = CorrectionFromCheck(check);
    const QRect common = coveredRect(correction, views.Right.size());
    if (common.width() < 16 || common.height() < 16) {
        views.Note = QStringLiteral("not aligned: the views share too little");
        return;
    }
    const QImage right = AlignPicture(views.Right, correction);
    // The nearest point's parallax (right minus left position, negative in front of the
    // window) becomes 0: the right view moves right by its amount, and both are cut to
    // the columns they then share.
    const int shift = int(std::lround(-check.NearParallax / 100.0 * common.width()));
    const int width = common.width() - std::abs(shift);
    if (width < 16) {
        views.Note = QStringLiteral("not aligned: the views share too little");
        return;
    }
    const int leftX = common.x() + std::max(shift, 0);
    const int rightX = common.x() + std::max(-shift, 0);
    views.Left = views.Left.copy(leftX, common.y(), width, common.height());
    views.Right = right.copy(rightX, common.y(), width, common.height());
    views.Aligned = true;
    views.WindowShift = shift;
}

// Both pictures one size: the smaller one's, the larger covering it.
void bringToOneSize(QImage &left, QImage &right)
{
    if (left.size() == right.size())
        return;
    if (qint64(left.width()) * left.height() <= qint64(right.width()) * right.height())
        right = coverAndCut(right, left.size());
    else
        left = coverAndCut(left, right.size());
}

QImage sideBySide(const QImage &first, const QImage &second, bool horizontal)
{
    const QSize size = horizontal ? QSize(first.width() * 2, first.height())
                                  : QSize(first.width(), first.height() * 2);
    QImage out(size, QImage::Format_RGB32);
    QPainter painter(&out);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, first);
    painter.drawImage(horizontal ? first.width() : 0, horizontal ? 0 : first.height(), second);
    painter.end();
    return out;
}

// The least-squares red/cyan projection: each output channel a weighted sum of both
// views' red, green and blue, clamped; the weights in 1/65536.
constexpr float AnaglyphLeft[3][3] = {{0.456100f, 0.500484f, 0.176381f},
                                      {-0.0400822f, -0.0378246f, -0.0157589f},
                                      {-0.0152161f, -0.0205971f, -0.00546856f}};
constexpr float AnaglyphRight[3][3] = {{-0.0434706f, -0.0879388f, -0.00155529f},
                                       {0.378476f, 0.73364f, -0.0184503f},
                                       {-0.0721527f, -0.112961f, 1.2264f}};

struct AnaglyphWeights
{
    int left[3][3], right[3][3];
    AnaglyphWeights()
    {
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k) {
                left[c][k] = int(std::lround(AnaglyphLeft[c][k] * 65536.0f));
                right[c][k] = int(std::lround(AnaglyphRight[c][k] * 65536.0f));
            }
    }
};

int anaglyphChannel(const int (&l)[3], const int (&r)[3], QRgb a, QRgb b)
{
    const int sum = l[0] * qRed(a) + l[1] * qGreen(a) + l[2] * qBlue(a) + r[0] * qRed(b) +
                    r[1] * qGreen(b) + r[2] * qBlue(b);
    return std::clamp((sum + 32768) >> 16, 0, 255);
}

} // namespace

const QList<TStereoOutputInfo> &StereoOutputs()
{
    static const QList<TStereoOutputInfo> outputs = {
        {TStereoOutput::Mpo, "mpo", "", ".mpo", "MPO (lossless)"},
        {TStereoOutput::SideBySide, "sbs", "_SBS", ".jpg", "Side by side"},
        {TStereoOutput::HalfSideBySide, "half-sbs", "_HSBS", ".jpg", "Half side by side (3D TV)"},
        {TStereoOutput::CrossEyed, "cross", "_Cross", ".jpg", "Side by side, cross-eyed"},
        {TStereoOutput::Jps, "jps", "", ".jps", "JPS (cross-eyed)"},
        {TStereoOutput::OverUnder, "over-under", "_OU", ".jpg", "Above/below"},
        {TStereoOutput::HalfOverUnder, "half-over-under", "_HOU", ".jpg",
         "Half above/below (3D TV)"},
        {TStereoOutput::Anaglyph, "anaglyph", "_Anaglyph", ".jpg", "Anaglyph red/cyan"},
        {TStereoOutput::AnaglyphSimple, "anaglyph-simple", "_AnaglyphSimple", ".jpg",
         "Anaglyph red/cyan, simple"},
    };
    return outputs;
}

const TStereoOutputInfo &StereoOutputInfo(TStereoOutput output)
{
    for (const TStereoOutputInfo &info : StereoOutputs())
        if (info.Output == output)
            return info;
    return StereoOutputs().front();
}

std::optional<TStereoOutput> StereoOutputByKey(const QString &key)
{
    for (const TStereoOutputInfo &info : StereoOutputs())
        if (info.Key == key)
            return info.Output;
    return std::nullopt;
}

std::optional<QList<TStereoOutput>> ParseStereoOutputs(const QString &keys, QString *unknown)
{
    QList<TStereoOutput> chosen;
    for (const QString &part : keys.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const auto output = StereoOutputByKey(part.trimmed());
        if (!output) {
            if (unknown)
                *unknown = part.trimmed();
            return std::nullopt;
        }
        chosen.append(*output);
    }
    QList<TStereoOutput> ordered;
    for (const TStereoOutputInfo &info : StereoOutputs())
        if (chosen.contains(info.Output))
            ordered.append(info.Output);
    return ordered;
}

QString StereoOutputKeys(const QList<TStereoOutput> &outputs)
{
    QStringList keys;
    for (TStereoOutput output : outputs)
        keys.append(StereoOutputInfo(output).Key);
    return keys.join(QLatin1Char(','));
}

QString StereoOutputFileName(const QString &baseName, TStereoOutput output)
{
    const TStereoOutputInfo &info = StereoOutputInfo(output);
    return baseName + info.Suffix + info.Extension;
}

std::optional<TStereoViews> PrepareStereoViews(const TStereoSide &left, const TStereoSide &right,
                                               bool align, QString *error)
{
    QString problem;
    const auto leftBytes = readWhole(left.Path, &problem);
    const auto rightBytes = leftBytes ? readWhole(right.Path, &problem) : std::nullopt;
    TStereoViews views;
    if (rightBytes) {
        views.Left = decodeFile(*leftBytes);
        views.Right = decodeFile(*rightBytes);
        if (views.Left.isNull() || views.Right.isNull())
            problem = QStringLiteral("%1 cannot be decoded")
                          .arg(views.Left.isNull() ? left.Path : right.Path);
    }
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return std::nullopt;
    }
    views.LeftHeader = leftBytes->left(HeaderBytes);
    views.Left = applyLook(views.Left, left.Look);
    views.Right = applyLook(views.Right, right.Look);
    bringToOneSize(views.Left, views.Right);
    if (align)
        alignViews(views);
    return views;
}

QImage LeastSquaresAnaglyph(const QImage &left, const QImage &right)
{
    const QImage l = left.convertToFormat(QImage::Format_RGB32);
    const QImage r = right.convertToFormat(QImage::Format_RGB32);
    const QSize size = l.size().boundedTo(r.size());
    static const AnaglyphWeights w;
    QImage out(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        const auto *a = reinterpret_cast<const QRgb *>(l.constScanLine(y));
        const auto *b = reinterpret_cast<const QRgb *>(r.constScanLine(y));
        auto *o = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            o[x] = qRgb(anaglyphChannel(w.left[0], w.right[0], a[x], b[x]),
                        anaglyphChannel(w.left[1], w.right[1], a[x], b[x]),
                        anaglyphChannel(w.left[2], w.right[2], a[x], b[x]));
    }
    return out;
}

QImage ComposeStereoPicture(const TStereoViews &views, TStereoOutput output)
{
    const QImage &l = views.Left;
    const QImage &r = views.Right;
    const QSize halfWidth(std::max(1, l.width() / 2), l.height());
    const QSize halfHeight(l.width(), std::max(1, l.height() / 2));
    switch (output) {
    case TStereoOutput::Mpo:
        return {};
    case TStereoOutput::SideBySide:
        return sideBySide(l, r, true);
    case TStereoOutput::HalfSideBySide:
        return sideBySide(ResampleLanczos(l, halfWidth), ResampleLanczos(r, halfWidth), true);
    case TStereoOutput::CrossEyed:
    case TStereoOutput::Jps:
        return sideBySide(r, l, true);
    case TStereoOutput::OverUnder:
        return sideBySide(l, r, false);
    case TStereoOutput::HalfOverUnder:
        return sideBySide(ResampleLanczos(l, halfHeight), ResampleLanczos(r, halfHeight), false);
    case TStereoOutput::Anaglyph:
        return LeastSquaresAnaglyph(l, r);
    case TStereoOutput::AnaglyphSimple:
        return ComposeAnaglyph(l, r).convertToFormat(QImage::Format_RGB32);
    }
    return {};
}

TStereoFileResult EncodeStereoFile(const TStereoViews &views, TStereoOutput output, int quality)
{
    TStereoFileResult result;
    const QImage picture = ComposeStereoPicture(views, output);
    if (picture.isNull()) {
        result.Error = QStringLiteral("the picture cannot be composed");
        return result;
    }
    result.Bytes =
        EncodeJpeg(picture, quality, ExifSegmentForNewPicture(views.LeftHeader, picture.size()),
                   &result.Error);
    result.Note = views.Note;
    return result;
}

TStereoFileResult MakeMpoFile(const TStereoSide &left, const TStereoSide &right)
{
    TStereoFileResult result;
    const auto leftBytes = readWhole(left.Path, &result.Error);
    const auto rightBytes = leftBytes ? readWhole(right.Path, &result.Error) : std::nullopt;
    if (!rightBytes)
        return result;
    if (!isJpeg(*leftBytes) || !isJpeg(*rightBytes)) {
        result.Error = QStringLiteral("no MPO: %1 is not a JPEG file")
                           .arg(isJpeg(*leftBytes) ? right.Path : left.Path);
        return result;
    }
    const auto mpo = WriteMpo(*leftBytes, *rightBytes, &result.Error);
    if (!mpo)
        return result;
    result.Bytes = *mpo;
    const auto changed = [](const TEntryLook &look) {
        return look.Rotation % 4 != 0 || look.Mirror || look.Invert;
    };
    if (changed(left.Look) || changed(right.Look))
        result.Note = QStringLiteral("the MPO holds the files as they are: the turn, mirror or "
                                     "inversion set for the pair is not applied to it");
    return result;
}

TStereoPairRender::TStereoPairRender(TStereoSide left, TStereoSide right, int quality, bool align)
    : m_left(std::move(left)), m_right(std::move(right)), m_quality(quality), m_align(align)
{
}

TStereoFileResult TStereoPairRender::Make(TStereoOutput output)
{
    if (output == TStereoOutput::Mpo)
        return MakeMpoFile(m_left, m_right);
    const TStereoViews *views = nullptr;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_prepared) {
            m_views = PrepareStereoViews(m_left, m_right, m_align, &m_error);
            m_prepared = true;
        }
        if (m_views)
            views = &*m_views;
    }
    if (!views)
        return {{}, m_error, {}};
    return EncodeStereoFile(*views, output, m_quality);
}

qint64 EstimatedStereoFileSize(TStereoOutput output, qint64 leftBytes, qint64 rightBytes,
                               int quality)
{
    const qint64 both = leftBytes + rightBytes;
    if (output == TStereoOutput::Mpo)
        return both + 1024; // the two MPF segments
    // Encoded again: camera files are about quality 90 to 95; a higher quality and 4:4:4
    // chroma make the same pixels up to about twice as large.
    const double factor = quality >= 90 ? 2.0 : 1.2;
    double share = 1.0; // of both views' pixels
    if (output == TStereoOutput::HalfSideBySide || output == TStereoOutput::HalfOverUnder ||
        output == TStereoOutput::Anaglyph || output == TStereoOutput::AnaglyphSimple)
        share = 0.5;
    return qint64(double(both) * share * factor) + 64 * 1024;
}
