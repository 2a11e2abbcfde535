#pragma once
// The image entry: one row of the left or right list, an image (a file on disk) or a gap
// (a placeholder opposite an image without partner).
//
// An entry knows its row (Item) and writes the row's caption and column texts itself; the
// row owns the entry. The file's data (paths, metadata, thumbnail) lives in a shared image
// holder (TDsOrgBild) on which the entry holds one counted reference; all gaps share the
// holder of the empty path. Partner links are plain pointers in both directions, kept
// symmetric by the list operations; SetPartner changes one side only. When an entry is
// freed, a partner that still points back to it loses that link, so no live entry keeps a
// pointer to a freed one.
#include "imaging/dsorgbild.h"
#include "imaging/jpegdata.h"

#include <QFlags>
#include <QImage>
#include <QString>
#include <QStringList>

class ListRow;
class ListRowModel;
class TDsOrgBild;
struct TEntryStore;

// Assignment state, shown in the column "Attributes". Values 0..3 are images, 4 and above
// are gaps.
enum TDsAttribute : quint8
{
    daUnassigned = 0, // image whose partner is a gap
    daUnpaired = 1,   // transient during an ordering pass
    daStereoPair = 2, // image paired with an image of the other list
    daMono = 3,       // image marked as single picture; its partner is a gap
    daGapNew = 4,     // gap that has not taken over its partner's time yet
    daObsolete = 5,   // transient: gap that the next ordering pass deletes
    daGap = 6,        // gap
};

// Side of an entry, shown in the column "Type"; 2 and 3 are also the side values of the
// left and the right list.
enum TDsSide : quint8
{
    dsMono = 0,
    dsGap = 1,
    dsLeft = 2,
    dsRight = 3,
};

// What opening a saved session found of an image's file. A changed file (another picture
// under the same name, as after a card was formatted) and a missing one are excluded from the
// batch job; a changed one until the user includes it again, a missing one as long as it is
// missing. The column "Attributes" says so.
enum class TFileCheck : quint8
{
    Unchanged = 0,
    Changed = 1,
    Missing = 2,
};

inline bool IsGapAttribute(int attribute)
{
    return attribute >= daGapNew;
}

// "Unassigned", "", "Stereo Pair", "Monoscopic", "Gap (New)", "", "Gap".
QString AttributeText(TDsAttribute attribute);
// "Monoscopic", "Gap", "Left", "Right".
QString SideText(TDsSide side);

// Options of ReplaceInNewName.
enum class ReplaceFlag
{
    IgnoreCase = 0x1,
    ReplaceAll = 0x2, // every occurrence instead of the first
};
Q_DECLARE_FLAGS(ReplaceFlags, ReplaceFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(ReplaceFlags)

// Answers of the replace question; the numbers are the message box's results for the
// buttons (DlgResult in ui/dlgbox.h).
enum class ReplaceAnswer : int
{
    Cancel = 2,
    Yes = 6,
    No = 7,
};

// The question "Replace \"%s\" with \"%s\"?" asked before a replacement in a new name. The
// window that shows it lives with the widgets; ReplaceInNewName only needs the answer.
class TReplaceQuestion
{
public:
    virtual ~TReplaceQuestion() = default;
    // name: the file name part in which search was found.
    virtual ReplaceAnswer AskReplace(const QString &search, const QString &replace,
                                     ReplaceFlags flags, const QString &name) = 0;
};

// Result of ReplaceInNewName.
enum class ReplaceResult
{
    GoOn, // replaced, declined, or nothing to replace
    Stop, // the user cancelled the question
};

// What the check of a pair's pictures found, as its rows show it.
enum class TPairMark : quint8
{
    None,  // not checked, no verdict, or good
    Check, // a figure beyond its "good" limit: worth a look
    Bad,   // not viewable as it is: far off, swapped sides, not the same scene
};

// Pairs the aligning pass gave a lower probability than this are doubtful.
constexpr double kDoubtfulPairBelow = 0.7;

// How a new entry starts: the flags the "Default settings" presets give a new picture.
struct TEntryOptions
{
    bool Invert = false;
    qint32 Rotation = 0; // quarter turns clockwise (0..3); -1 for a gap
    bool Mirror = false;
    bool Batch = true;      // takes part in the batch job
    TPicturePart Part = {}; // the view of a stereo file the entry shows (by default the whole file)
};

class TDatensatz
{
public:
    // Creates an entry for path in row item (which may be null): finds or creates the
    // holder of path, writes the row (seven empty sub-items, no icon, number, side,
    // "Unassigned"), stores the flags, becomes the row's data, registers in store's
    // registry, takes the file name without extension as new name and tells the registry's
    // entries-changed handler. The entry keeps using store (holders, naming settings) until
    // it is freed.
    TDatensatz(TEntryStore &store, ListRow *item, qint32 number, const QString &path, TDsSide side,
               const TEntryOptions &options = {});
    // Leaves its registry, clears its row's data pointer, drops a partner's link back to
    // it, releases the holder and tells the registry's entries-changed handler.
    ~TDatensatz();
    TDatensatz(const TDatensatz &) = delete;
    TDatensatz &operator=(const TDatensatz &) = delete;

    // An entry for source's file in row item with the given side and number, with source's
    // invert, rotation, mirror and batch values, then source's attribute, new name, sort
    // time, three texts, batch and saved selection copied without side effects. The copy
    // shares source's holder.
    static TDatensatz *CreateCopy(ListRow *item, const TDatensatz &source, TDsSide side,
                                  qint32 number);

    // ---- Fields ----
    // The store of the session this entry belongs to.
    TEntryStore &Store() const { return m_store; }
    TDsOrgBild *OrgBild() const { return m_OrgBild; }
    bool MetaLoaded() const { return m_MetaLoaded; }
    qint32 Number() const { return m_Number; }
    TDsSide Side() const { return m_Side; }
    TDsAttribute Attribute() const { return m_Attribute; }
    ListRow *Item() const { return m_Item; }
    const QString &NewName() const { return m_NewName; }
    double SortTime() const { return m_SortTime; }
    TDatensatz *Partner() const { return m_Partner; }
    bool Mirror() const { return m_Mirror; }
    bool Invert() const { return m_Invert; }
    qint32 Rotation() const { return m_Rotation; }
    qint32 PathIndex() const { return m_PathIndex; }
    bool Batch() const { return m_Batch; }
    bool SavedSelected() const { return m_SavedSelected; }
    const TJPEGData &GapData() const { return m_GapData; }
    // Seconds that put the capture time on the session's common timeline (a camera clock
    // that drifted or was changed). 0 unless the last assigning pass aligned by rhythm;
    // the chronological order counts capture time plus correction.
    double ClockCorrection() const { return m_ClockCorrection; }
    // The probability the aligning pass gave this entry's pair; negative when the pair was
    // not made by it. Any new partner link forgets it.
    double PairConfidence() const { return m_PairConfidence; }
    // A stereo pair that the aligning pass was not sure of.
    bool IsDoubtful() const;
    // What the check of the pair's pictures found and why (for a tooltip); set on both
    // entries of a pair by whoever runs the check.
    TPairMark PairMark() const { return m_PairMark; }
    const QString &PairMarkReason() const { return m_PairMarkReason; }
    // Sets the mark and tells the row's views; nothing happens when it is already so.
    void SetPairMark(TPairMark mark, const QString &reason);
    // What opening a saved session found of the file (Unchanged for a file loaded anew).
    TFileCheck FileCheck() const { return m_FileCheck; }
    void SetFileCheck(TFileCheck check); // rewrites "Attributes"

    // Plain field writes; the row is not rewritten (the caller refreshes).
    void SetMirror(bool on) { m_Mirror = on; }
    void SetInvert(bool on) { m_Invert = on; }
    // Including an image again confirms a changed file.
    void SetBatch(bool on)
    {
        m_Batch = on;
        if (on && m_FileCheck == TFileCheck::Changed)
            SetFileCheck(TFileCheck::Unchanged);
    }
    void SetSavedSelected(bool on) { m_SavedSelected = on; }
    void SetClockCorrection(double seconds) { m_ClockCorrection = seconds; }
    void SetPairConfidence(double p) { m_PairConfidence = p; }

    // ---- Row and state ----
    // The list the entry's row is in, and the row's position there (-1 without a row).
    ListRowModel *List() const;
    int RowIndex() const;

    void AttachItem(ListRow *item); // Item := row, then Refresh
    void SetNumber(qint32 n);       // caption: U+00A0 + "%4d"
    void SetSide(TDsSide side);     // column "Type"
    // Turns an image into a gap when a is a gap value (it gives up its file), then sets
    // the attribute and column "Attributes". A gap never becomes an image here.
    void SetAttribute(TDsAttribute a);
    void SetPartner(TDatensatz *partner); // one side only; rewrites "Attributes"
    void SetNewName(const QString &name); // columns "Target folder" and "New name"
    void RenameTo(const QString &name);   // keeps the folder part of NewName
    void SetRotation(qint32 rotation);    // and refreshes the icon
    void SetSortTime(double time) { m_SortTime = time; }
    void SetGapTime(double time);             // gaps only: capture time of GapData, LoadMetadata
    void SetText(int i, const QString &text); // i = 1..3
    QString GetText(int i) const;
    // The same without a copy (an empty text for i outside 1..3).
    const QString &TextField(int i) const;
    void Refresh(); // rewrites the whole row
    // The row's icon for the current rotation: the icon's index when it is built, else
    // IconOnDemand when the file has a thumbnail (the icon is built when a view draws the
    // row, IconIndex), else -1.
    void RefreshThumbnail();
    // The index of the row's icon in the list's small image list, built now if needed; -1
    // without thumbnail or image list.
    int IconIndex();
    bool IsLoneGap() const;       // a gap without partner
    QString RotationText() const; // "  0°", " 90°", "180°", "270°"
    // Row index plus the start number (row index -1 without a row).
    int CounterValue() const;

    // ---- Kinds, paths and names ----
    // dsMono for attributes 0 and 3, dsGap for 4 and 6, the list's side otherwise.
    TDsSide NameKind() const;
    QString SourcePath() const;
    QString TargetFolder() const;
    QString NewFileName() const;
    // The name of the entry's file in the destination: its new name, or the name it has.
    // The view of a stereo file gets a JPEG file of its own: its stereo file's name with
    // the side's suffix, extension ".jpg".
    QString DestinationFileName(bool renamed) const;
    // The entry shows one view of a stereo file (both views are in the lists, as a pair).
    bool IsStereoView() const;
    QString NewFullPath() const;
    QString RenamedSourcePath() const;
    QString TargetPathOriginalName() const;
    QString TargetPathHolderName() const;
    QString SourcePathHolderName() const;
    void AddPath(const QString &path);
    void ReplacePath(const QString &path);
    // The other files of the entry's shot (a RAW beside its JPEG, sidecars), each as what
    // follows the source's base name (".CR2", ".xmp"; siblings.h), and their paths now.
    const QStringList &Siblings() const { return m_Siblings; }
    void SetSiblings(const QStringList &tails) { m_Siblings = tails; }
    QStringList SiblingPaths() const;
    // Reads Text1..3 from the "-text-" fields of the file name of path.
    void ParseTextFields(const QString &path);
    ReplaceResult ReplaceInNewName(const QString &search, const QString &replace, bool ask,
                                   ReplaceFlags flags, TReplaceQuestion *question);

    // ---- Metadata and picture (through the holder) ----
    TJPEGData Metadata() const;
    double CaptureTime() const;
    void LoadMetadata();
    void ReloadMetadata();
    bool LoadBitmap(QImage &bitmap, QString &errorText);
    QImage Thumbnail() const; // decoded from the holder's compressed thumbnail
    quint8 HolderFlags() const;
    void SetHolderFlags(quint8 flags);
    int HolderRefCount() const;

private:
    TEntryStore &m_store;
    void takeHolder(const QString &path, const TPicturePart &part = {});
    void dropHolder();
    QString attributeColumnText() const;
    QString targetFolderColumn() const;
    void writeColumn(int column, const QString &text);

    TDsOrgBild *m_OrgBild = nullptr;
    bool m_MetaLoaded = false;
    qint32 m_Number = 0;
    TDsSide m_Side = dsMono;
    TDsAttribute m_Attribute = daUnassigned;
    ListRow *m_Item = nullptr;
    QString m_NewName;
    double m_SortTime = 0;
    TDatensatz *m_Partner = nullptr;
    bool m_Mirror = false;
    bool m_Invert = false;
    qint32 m_Rotation = 0;
    QString m_Text[3];
    qint32 m_PathIndex = -1;
    bool m_Batch = false;
    bool m_SavedSelected = false;
    TJPEGData m_GapData;
    double m_ClockCorrection = 0;
    double m_PairConfidence = -1;
    TPairMark m_PairMark = TPairMark::None;
    QString m_PairMarkReason;
    TFileCheck m_FileCheck = TFileCheck::Unchanged;
    QStringList m_Siblings;

    friend class TDatensatzList;
    int m_RegistrySlot = -1;
};

// Links a and b with each other (either may be null).
void LinkBothWays(TDatensatz *a, TDatensatz *b);

// File name parts of a path ('/' separates folders): the name after the last separator,
// the folder with its trailing separator, and the extension with its dot (after the last
// separator; empty when the name has none).
QString PathFileName(const QString &path);
QString PathFolder(const QString &path);
QString PathExtension(const QString &path);
// The path without its extension.
QString PathWithoutExtension(const QString &path);
// folder with a trailing separator (also for an empty folder).
QString WithTrailingSeparator(const QString &folder);
