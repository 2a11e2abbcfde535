// Rename mask evaluation over 10,000 list rows (5,000 pairs), as the "Renaming" action
// applies it to every selected row: the default mask and a mask using every token.
#include "naming/renamemask.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr int pairCount = 5000;

struct Rows
{
    std::vector<MaskEntry> entries; // left and right entry of each row, side by side
};

Rows makeRows()
{
    Rows rows;
    rows.entries.resize(2 * pairCount);
    for (int i = 0; i < pairCount; ++i) {
        MaskEntry &l = rows.entries[2 * i];
        MaskEntry &r = rows.entries[2 * i + 1];
        l.SourcePath = QStringLiteral("/home/anna/Fotos/Urlaub 2008/links/IMG_%1.JPG")
                           .arg(i, 4, 10, QLatin1Char('0'));
        r.SourcePath =
            QStringLiteral("/home/anna/Fotos/Urlaub 2008/rechts/DSC%1.JPG").arg(10000 + i);
        l.ListSide = MaskListLeft;
        r.ListSide = MaskListRight;
        l.Attribute = r.Attribute = 2;
        l.CounterValue = r.CounterValue = 1 + i;
        for (MaskEntry *e : {&l, &r}) {
            TJPEGData &m = e->Metadata;
            m.Str[jdManufacturer] = QStringLiteral("Canon");
            m.Str[jdModel] = QStringLiteral("Canon EOS 40D");
            m.Str[jdShutterSpeed] = QStringLiteral("1/250 sec");
            m.Str[jdAperture] = QStringLiteral("F7.1");
            m.Str[jdIsoSpeed] = QStringLiteral("100");
            m.Str[jdFocalLength] = QStringLiteral("135.00 mm");
            m.Str[jdFocalLength35mm] = QStringLiteral("216.00 mm");
            m.Str[jdFlash] = QStringLiteral("Off, surpressed");
            m.Str[jdExposureCompensation] = QStringLiteral("0/1");
            m.Str[jdMeteringMode] = QStringLiteral("MultiSegment");
            m.Str[jdSize] = QStringLiteral("68 x 100");
            m.Str[jdCompression] = QStringLiteral("Fine");
            m.Str[jdColorSpace] = QStringLiteral("sRGB");
            m.Str[jdHorizontalResolution] = QStringLiteral("68");
            m.Str[jdVerticalResolution] = QStringLiteral("100");
            m.CaptureTime = 39806.5 + i / 86400.0;
            m.FileTime = m.CaptureTime + 0.01;
            m.FileSize = 2500000 + i;
        }
        l.Partner = &r;
        r.Partner = &l;
    }
    return rows;
}

const QString defaultMask =
    QStringLiteral("Pict_###<Textfield 1><Textfield 2><Textfield 3>_L<FileName_L>+R<FileName_R>");

const QString everyTokenMask = QStringLiteral(
    "P###_<Filename Number_L>_<Filename Number_R[R]>_<Filename_L>_<Filename_R>_"
    "<Directory_L>_<Folder name_R>_<Creation Date_L[Y-m-d_H.M]>_<Creation Date_R>_"
    "<Size auto_L>_<Size_R>_<Size KB_L>_<Size MB_R>_<Textfield 1><Textfield 2><Textfield 3>_"
    "<Current Date>_<Current Date[A d B Y]>_<Marke_L>_<Model_R>_<Date Taken_L[ymd-HMS]>_"
    "<Date Taken_R>_<Exposure Time_L>_<F-Number_R>_<ISO Value_L>_<Focal Length_R>_"
    "<Focal Length 35mm_L>_<Flash_R>_<Exposure Bias_L>_<Metering Mode_R>_<Image Size_L>_"
    "<Compression_R>_<Colour space_L>_<X-Res_R>_<Y-Res_L>");

void evaluateRows(benchmark::State &state, const QString &mask)
{
    const Rows rows = makeRows();
    MaskContext context;
    context.Now = [] { return QDateTime(QDate(2009, 5, 12), QTime(14, 30, 0)); };
    context.Locale = QLocale(QLocale::German, QLocale::Germany);
    TRenameTextFields base;
    base[0] = {rtmReplace, QString(), QStringLiteral("Venedig")};
    base[1] = {rtmDontModify, QStringLiteral("Nacht"), QString()};
    qsizetype total = 0;
    for (auto _ : state) {
        for (const MaskEntry &e : rows.entries) {
            TRenameTextFields fields = base;
            const QString name = EvaluateRenameMask(mask, e, fields, context);
            total += name.size();
        }
    }
    benchmark::DoNotOptimize(total);
    const double entries = double(state.iterations()) * double(rows.entries.size());
    state.SetItemsProcessed(int64_t(entries));
    // Seconds per entry, shown with its unit prefix ("3.4u" is 3.4 microseconds).
    state.counters["time_per_entry"] = benchmark::Counter(
        double(rows.entries.size()),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_DefaultMask(benchmark::State &state)
{
    evaluateRows(state, defaultMask);
}
void BM_EveryTokenMask(benchmark::State &state)
{
    evaluateRows(state, everyTokenMask);
}

} // namespace

BENCHMARK(BM_DefaultMask)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EveryTokenMask)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
