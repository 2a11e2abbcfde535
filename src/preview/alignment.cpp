#include "preview/alignment.h"

#include "paircheck/paircheck.h"
#include "paircheck/workingpicture.h"

#include <QPainter>

#include <cmath>

TDisplayCorrection CorrectionFromCheck(const TPairCheck &check)
{
    TDisplayCorrection c;
    if (!check.Measured)
        return c;
    c.Active = true;
    c.VerticalOffset = check.VerticalOffset;
    c.Rotation = check.Rotation;
    c.Scale = check.Scale;
    return c;
}

QTransform MisalignmentTransform(const TDisplayCorrection &correction, QSize picture)
{
    // In coordinates centred on the picture, the right view holds a point p of the left
    // view at s R(t) p + (0, offset): scaled and turned about the centre, moved down by the
    // offset (a share of the height). QTransform applies the last operation added first.
    const double cx = picture.width() / 2.0;
    const double cy = picture.height() / 2.0;
    const double s = 1.0 + correction.Scale / 100.0;
    const double offset = correction.VerticalOffset / 100.0 * picture.height();
    QTransform t;
    t.translate(cx, cy + offset);
    t.rotate(correction.Rotation);
    t.scale(s, s);
    t.translate(-cx, -cy);
    return t;
}

QImage AlignPicture(const QImage &picture, const TDisplayCorrection &correction)
{
    if (!correction.Active || picture.isNull())
        return picture;
    // A corrected point p shows the right picture at M p, so the picture is drawn through
    // the inverse of M. A scale of -100 % or less is no picture at all.
    if (1.0 + correction.Scale / 100.0 <= 0.0)
        return picture;
    bool invertible = false;
    const QTransform toCorrected =
        MisalignmentTransform(correction, picture.size()).inverted(&invertible);
    if (!invertible)
        return picture;
    QImage aligned(picture.size(), QImage::Format_RGB32);
    aligned.fill(Qt::black);
    QPainter painter(&aligned);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setTransform(toCorrected);
    painter.drawImage(QPoint(0, 0), picture);
    painter.end();
    return picture.format() == QImage::Format_RGB32 ? aligned
                                                    : aligned.convertToFormat(picture.format());
}

TAlignmentMeasure MeasureAlignment(const TPictureDecoder &decode,
                                   const TAlignmentPicture &leftPicture,
                                   const TAlignmentPicture &rightPicture)
{
    const auto working = [&decode](const TAlignmentPicture &p) {
        if (p.Path.isEmpty() || !decode)
            return QImage();
        const QImage picture =
            decode(p.Path, p.Part, [](int w, int h) { return WorkingScaleDenominator(w, h); });
        return ToWorkingPicture(picture, TViewLook{p.Look.Rotation, p.Look.Mirror});
    };
    const QImage left = working(leftPicture);
    const QImage right = working(rightPicture);
    TAlignmentMeasure measure;
    if (left.isNull() || right.isNull()) {
        measure.Problem = QStringLiteral("a picture of the pair cannot be read");
        return measure;
    }
    const TPairCheck check = CheckPair(left, right);
    measure.Correction = CorrectionFromCheck(check);
    if (!measure.Correction.Active)
        measure.Problem =
            check.Problem.isEmpty() ? QStringLiteral("not the same scene") : check.Problem;
    return measure;
}
