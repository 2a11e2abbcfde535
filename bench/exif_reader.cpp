// Reading the metadata of 200 photo-sized JPEG files: the built-in reader (ReadJpegData)
// against exiv2 (ImageFactory::open + readMetadata) on the same files. The summary line
// gives both times per file and their ratio.
#include "imaging/jpegdata.h"
#include "support/photo_generator.h"
#include "support/run.h"

#include <benchmark/benchmark.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

#include <cstdio>
#include <map>

namespace {

constexpr int photoCount = 200;

const QStringList &photos()
{
    static const QStringList files = [] {
        QString error;
        const QStringList list = benchsupport::generatePhotoSet(
            benchsupport::photoCacheDir(QStringLiteral("exif_reader_4000x3000")), photoCount, 4000,
            3000, {}, &error);
        if (list.isEmpty())
            std::fprintf(stderr, "cannot generate the photo set: %s\n", qPrintable(error));
        return list;
    }();
    return files;
}

void setPerFile(benchmark::State &state, qsizetype files)
{
    state.SetItemsProcessed(state.iterations() * files);
}

void BM_ReadJpegData(benchmark::State &state)
{
    const QStringList &files = photos();
    if (files.isEmpty()) {
        state.SkipWithError("no photo set");
        return;
    }
    int withExif = 0;
    for (auto _ : state) {
        for (const QString &path : files) {
            TJPEGData record;
            ReadJpegData(path, record);
            withExif += record.HasExif;
            benchmark::DoNotOptimize(record.CaptureTime);
        }
    }
    if (withExif != state.iterations() * files.size())
        state.SkipWithError("a generated file had no EXIF");
    setPerFile(state, files.size());
}

void BM_Exiv2ReadMetadata(benchmark::State &state)
{
    const QStringList &files = photos();
    if (files.isEmpty()) {
        state.SkipWithError("no photo set");
        return;
    }
    std::vector<std::string> paths;
    for (const QString &p : files)
        paths.push_back(p.toStdString());
    for (auto _ : state) {
        for (const std::string &path : paths) {
            Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
            image->readMetadata();
            benchmark::DoNotOptimize(image->exifData().count());
        }
    }
    setPerFile(state, files.size());
}

BENCHMARK(BM_ReadJpegData)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Exiv2ReadMetadata)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Console output plus closing lines with the time per file of both readers (CPU time
// and wall-clock time; the benchmark runs with the unit milliseconds) and their ratio.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &r : runs) {
            if (r.error_occurred || r.run_type != Run::RT_Iteration)
                continue;
            const std::string name = r.benchmark_name();
            const double toMicros = 1000.0 / photoCount;
            times[name.substr(0, name.find('/'))] = {r.GetAdjustedCPUTime() * toMicros,
                                                     r.GetAdjustedRealTime() * toMicros};
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const auto ours = times.find("BM_ReadJpegData");
        const auto theirs = times.find("BM_Exiv2ReadMetadata");
        if (ours == times.end() || theirs == times.end())
            return;
        std::printf("\nper file, CPU time:  ReadJpegData %.1f us, exiv2 %.1f us, exiv2/ours %.2f\n",
                    ours->second.first, theirs->second.first,
                    theirs->second.first / ours->second.first);
        std::printf("per file, wall time: ReadJpegData %.1f us, exiv2 %.1f us, exiv2/ours %.2f\n",
                    ours->second.second, theirs->second.second,
                    theirs->second.second / ours->second.second);
    }

private:
    std::map<std::string, std::pair<double, double>> times;
};

} // namespace

int main(int argc, char **argv)
{
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    RatioReporter reporter;
    return benchsupport::runBenchmarks(argc, argv, &reporter);
}
#pragma GCC diagnostic pop
