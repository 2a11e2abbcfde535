// Feeds arbitrary captions to the markup parser, the layout and the drawing plan, and
// checks that every text is drawn inside the measured height.
#include "ui/markup.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {

// Round-number metrics: no font files are needed and results are reproducible.
class FuzzMetrics : public MarkupMetrics
{
public:
    static int size(const QFont &font) { return font.pointSize() > 0 ? font.pointSize() : 1; }
    int textWidth(const QFont &font, const QString &text) const override
    {
        return int(text.size()) * (size(font) + (font.bold() ? 1 : 0));
    }
    int fontHeight(const QFont &font) const override { return 2 * size(font); }
    int fontAscent(const QFont &font) const override { return 3 * size(font) / 2; }
    void setCellHeight(QFont &font, int points) const override { font.setPointSize(points); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // First byte: size factor and client width; the rest: the caption in UTF-8.
    const int control = data[0];
    const QString caption =
        QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    TMarkupBase base;
    base.Font.setPointSize(9);
    base.FontSizeFaktor = 0.25 * (control % 16);
    FuzzMetrics metrics;

    TFormatSegments segments = ParseMarkup(caption);
    const QSize measured = LayoutMarkup(segments, base, metrics);
    const std::vector<TMarkupRun> runs = MarkupRuns(segments, base, metrics, control * 4);
    for (const TMarkupRun &run : runs) {
        if (run.Bottom > measured.height() || run.Top < 0 || run.Text.isEmpty())
            std::abort();
    }
    // A second layout of the same segments gives the same size.
    if (LayoutMarkup(segments, base, metrics) != measured)
        std::abort();
    return 0;
}
