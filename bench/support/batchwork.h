#pragma once
// What the batch job benchmarks share: a progress that shows nothing, and a work folder
// beside the build (a disk, not a memory file system) that holds the jobs' journals too.
#include "batch/runprogress.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace benchsupport {

class QuietProgress : public TRunProgress
{
public:
    void BeginPhase(const QString &, int, int) override {}
    void StepProgress(const QString &) override {}
    void ShowStatus(const QString &) override {}
};

// <current folder>/<prefix>-XXXXXX, made at the first call and removed when the program
// ends (the copies take gigabytes); XDG_DATA_HOME points into it, so journals go there.
inline QString batchWorkRoot(const char *prefix)
{
    static QTemporaryDir dir(QDir::currentPath() + u'/' + QLatin1String(prefix) +
                             QStringLiteral("-XXXXXX"));
    static const bool dataHomeSet = [] {
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + QStringLiteral("/data")));
        return true;
    }();
    (void)dataHomeSet;
    return dir.path();
}

} // namespace benchsupport
