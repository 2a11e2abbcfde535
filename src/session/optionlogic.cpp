#include "session/optionlogic.h"
#include "entries/entrystore.h"

#include "entries/listoperations.h"
#include "entries/namingsettings.h"
#include "imaging/imagelist.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace {

// The counter fields are 32-bit like the start number; sums that leave the range wrap as
// the counter's own arithmetic does instead of being undefined.
qint32 wrap32(qint64 value)
{
    return static_cast<qint32>(static_cast<quint32>(static_cast<quint64>(value)));
}

constexpr int ThumbnailItemCount = 8;

} // namespace

TCounterRange CounterRange(const TNamingSettings &naming, int leftRows)
{
    const qint64 start = naming.StartNumber;
    return {start, wrap32(qint64(leftRows) + start - 1)};
}

void CounterStartChanged(TNamingSettings &naming, qint64 value)
{
    naming.StartNumber = wrap32(value);
}

void CounterEndChanged(TNamingSettings &naming, qint64 value, int leftRows)
{
    naming.StartNumber = wrap32(value - leftRows + 1);
}

QStringList ThumbnailSizeItems()
{
    QStringList items;
    for (int i = 0; i < ThumbnailItemCount; ++i) {
        const int size = ThumbnailSizeOf(i);
        items << QStringLiteral("%1 x %1").arg(size);
    }
    return items;
}

int ThumbnailSizeOf(int itemIndex)
{
    return 16 * (std::clamp(itemIndex, 0, ThumbnailItemCount - 1) + 1);
}

void ApplyThumbnailSize(TEntryStore &store, TImageList &images, int size)
{
    images.SetSize(size, size);
    ClearThumbnails(store, images);
    RefreshAllEntries(store.Registry);
}

QString DefaultOpenFilter()
{
    return QStringLiteral("All (*.jpg;*.jpeg;*.bmp;)|*.jpg;*.jpeg;*.bmp;*|JPEG-File (*.jpg)|*.jpg|"
                          "JPEG-File (*.jpeg)|*.jpeg|Bitmaps (*.bmp)|*.bmp");
}

QString OpenDialogFilter(bool libraryAvailable, const QString &libraryFilter)
{
    return libraryAvailable && !libraryFilter.isEmpty() ? libraryFilter : DefaultOpenFilter();
}

QStringList DialogNameFilters(const QString &filter)
{
    static const QRegularExpression trailingList(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    QStringList out;
    const QStringList fields = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        QStringList patterns;
        for (const QString &p : fields[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString pattern = p.trimmed();
            if (!pattern.isEmpty() && !patterns.contains(pattern))
                patterns << pattern;
        }
        if (patterns.isEmpty())
            continue;
        QString description = fields[i];
        description.remove(trailingList);
        description = description.trimmed();
        if (description.isEmpty())
            description = patterns.join(QLatin1Char(' '));
        out << QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
    }
    return out;
}

QList<int> ExifListIndexes()
{
    return {0, 1, 2, 3, 4, 5, 6, 7, 10, 11, 12, 13, 14, 15};
}

bool ExifCheckedAtStart(int index)
{
    switch (index) {
    case 2:
    case 4:
    case 5:
    case 6:
    case 7:
    case 12:
        return true;
    default:
        return false;
    }
}

QString QuickHelpText()
{
    return QStringLiteral(
        "<FB><C4>Quick Help:<FN><LF>1.<T2><FB>Drag and Drop<FB> your image files<LF> <T2>onto "
        "each <FB>list area<FB><LF>2.<T2>After loading <FB>push button<FN> labeled<LF><T2><FB>"
        "<c5>Dissolve all assignments and re-assign<FN><LF>3.<T2>Renaming <FB>option<FN> panels "
        "are below<LF><T2>(<FB><c5>EXIF, Numbering, Suffix, ...<FN>)<LF>4.<T2><FB>Sorting<FN> "
        "can be done in tab <c5><FB>Ordering<FN><LF><T2>Remove unwanted images and redo "
        "<LF><T2><FB>Sorting Actions<FN> as required.<LF>5.<T2><FB>Filename pattern<FB> fore "
        "renaming can <LF><T2>be adjusted in tab folder <FB><c5>Rename<FN> <LF><T2>Select 1 or "
        "more images for renaming and<LF><T2>edit the file name pattern Text option "
        "1/2/3.<LF><T2>Push button labeled as <FB><C5>Rename<FN> <LF>6.<T2><FB><c5>Execute "
        "Batch Job<FN> with the button <LF><T2>on the bottom left. You are guided by a "
        "<LF><T2><FB>Wizard<FN> for confirmation of your settings.<LF><T2><FB>We have the the "
        "safety of your <LF><T2>files in mind!<FN><LF>"
        " <LF><FB><C4>Hint:<FN><LF>Select header line on the<LF>left in order to show option "
        "panel");
}
