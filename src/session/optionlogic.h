#pragma once
// The logic behind the option boxes of the main window that is not the loading's: the
// counter range of the "Numbering" box, the sizes of "Thumbnail Dimensions", the file
// filter of the open dialogs and the quick help of the "Hints" box.
#include <QList>
#include <QString>
#include <QStringList>

class TImageList;
struct TEntryStore;
struct TNamingSettings;

// ---- "Numbering" ----

// The two fields of the "Numbering" box.
struct TCounterRange
{
    qint64 Start = 1; // "Counter Start"
    qint64 End = 0;   // "Counter End"
};

// The fields that describe the counter range of the current rows: start = StartNumber,
// end = leftRows + StartNumber - 1.
TCounterRange CounterRange(const TNamingSettings &naming, int leftRows);
// "Counter Start" changed to value: StartNumber := value.
void CounterStartChanged(TNamingSettings &naming, qint64 value);
// "Counter End" changed to value: StartNumber := value - leftRows + 1, so that the end
// stays at value.
void CounterEndChanged(TNamingSettings &naming, qint64 value, int leftRows);

// ---- "Thumbnail Dimensions" ----

// "16 x 16", "32 x 32", ..., "128 x 128".
QStringList ThumbnailSizeItems();
// The square size of an item: 16 * (index + 1), index limited to the items.
int ThumbnailSizeOf(int itemIndex);
// Width of the "N°" column for icons of size pixels.
inline int NumberColumnWidth(int size)
{
    return size + 30;
}
// The small image list takes the new size, every holder of store forgets its icons and every entry
// takes its icon again.
void ApplyThumbnailSize(TEntryStore &store, TImageList &images, int size);

// ---- Open dialogs ----

// The filter of the open dialogs without the imaging library, in "description|patterns"
// pairs.
QString DefaultOpenFilter();
// The filter the open dialogs use: the library's when it is available and has one.
QString OpenDialogFilter(bool libraryAvailable, const QString &libraryFilter);
// "description|patterns|..." as the name filters of a Qt file dialog: each pair becomes
// "description (pattern pattern ...)"; a description that ends in its own parenthesised
// pattern list loses that list, so that the dialog finds the patterns it should use.
QStringList DialogNameFilters(const QString &filter);

// ---- "EXIF" ----

// The metadata indexes the "EXIF" check list offers, in list order (0..7 and 10..15).
QList<int> ExifListIndexes();
// The items checked at every start: "Date/Time", "Shutter Speed", "Aperture", "ISO Speed
// Ratings", "Focal Length (35mm)" and "Metering mode".
bool ExifCheckedAtStart(int index);

// ---- "Hints" ----

// The quick help with the hint on the option panels (markup).
QString QuickHelpText();
