#pragma once
// The pictures that the pair check's evaluation and benchmark make stereo pairs from: the
// real photos of the test data with a long side of 1,000 pixels or more and enough detail
// to see depth in, and pictures of the photo generator; and the two views of the real
// stereo camera file in the test data.
#include <QImage>
#include <QList>
#include <QString>

namespace benchsupport {

struct StereoSource
{
    QString name;
    QImage picture; // at least about 1,150 pixels on its long side where the file had them
};

// dataDir: the test data folder (tests/data). The real photos come first, then
// generatorCount pictures of the photo generator (cached like the other generated sets).
// Photos that cannot be decoded or hold no detail (a flat grey picture) are left out and
// named in *skipped.
QList<StereoSource> stereoSources(const QString &dataDir, int generatorCount,
                                  QStringList *skipped = nullptr);

// The left and right view of tests/data/photos/mpo/sugarshack.mpo (null when missing).
QImage mpoView(const QString &dataDir, int index);

} // namespace benchsupport
