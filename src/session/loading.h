#pragma once
// What the loading of files into the two lists needs besides the lists themselves: the
// values of the "Default settings" box that new entries take, the texts of the "Status"
// box, the expansion of dropped folders into the image files they hold, and the interface
// through which the loading and the idle processing drive the main window (status line,
// progress bar, actions, lists, previews, and letting pending events through).
#include <QString>
#include <QStringList>
#include <QtGlobal>

// "Default settings": how new pictures are handled. The window fills it from its controls
// when files are added; the entry of each side takes that side's values.
struct NewEntryDefaults
{
    bool Invert = false;  // "Invert" (both sides)
    int RotationLeft = 2; // item index of the left "Rotation" group (0..3: 0°, 90°, 180°, 270°)
    int RotationRight = 0;    // item index of the right "Rotation" group
    bool MirrorLeft = false;  // "Mirror" / "Left"
    bool MirrorRight = false; // "Mirror" / "Right"
    bool ExcludeLeft = false; // "Exclude from Batch Job" / "Left"
    bool ExcludeRight = false;
    // "Keep RAW and JPEG of one shot together": the loaded pictures of one folder with one
    // base name become one entry (GroupShots); off, each picture is an entry of its own.
    bool KeepShotsTogether = true;

    // The values of a side (2 left, 3 right); an item index outside 0..3 counts as 0.
    int RotationOf(int side) const;
    bool MirrorOf(int side) const;
    bool BatchOf(int side) const; // not "Exclude from Batch Job"
};

// Status texts.
inline constexpr char StatusReadingData[] = "Reading data";
inline constexpr char StatusReady[] = "Ready";
inline constexpr char StatusNoData[] = "No data";
// "Reading data 1/3": files are being added.
QString StatusAddingFiles();
// "Reading data 3/3  (index/count)": the idle processing reads the metadata.
QString StatusReadingMetadata(int index, int count);
// The progress bar's maximum while there are no entries.
inline constexpr int NoDataProgressMaximum = 1000;

// The question of "Remove all items from both lists" (Yes / No).
QString RemoveAllQuestion();
// Button numbers of the message boxes that the loading asks.
inline constexpr int DlgAnswerYes = 6;
inline constexpr int DlgAnswerNo = 7;

// Where a batch of files comes from: the open dialogs count the progress bar's maximum one
// lower, and a drop lets pending events through once before the files are added.
enum class LoadSource
{
    Drop,
    OpenDialog,
};

// The extensions (lower case, without dot) of the files taken from a dropped folder: "jpg"
// and "jpeg" always; with the imaging library also every extension of its file filter
// (the "*.ext" patterns of fileFilter, "A|*.a;*.b|B|*.c" form; "*.*" and "*" are ignored).
QStringList ReadableImageExtensions(bool libraryAvailable, const QString &fileFilter);

// Dropped paths as the files to add, in order: a folder stands for the regular files it
// holds directly whose extension (compared ignoring case) is in extensions, sorted by name;
// anything else is passed on unchanged (adding skips what is not a file). No length limit.
// Files whose names are not valid UTF-8 cannot be opened by their names as the program
// holds them; they go to *unaddressable (when given), with their undecodable bytes written
// as "\xNN" (NameFromBytes; a dropped file comes so named from the drop, or with U+FFFD
// where the drop lost its bytes), instead of being left out without a word.
QStringList ExpandDroppedPaths(const QStringList &paths, const QStringList &extensions,
                               QStringList *unaddressable = nullptr);

// Texts of the problems the loading reports (TLoadingView::ReportLoadingProblem).
QString UnaddressableFilesMessage();
QString VanishedFilesMessage();
QString DamagedStereoFilesMessage();
// "Not enough memory to load more pictures: N of M loaded".
QString OutOfMemoryMessage(int loaded, int total);
// The window's message box text (markup) for a problem: a heading, the message, the first
// 20 files one a line (their names shown exactly as they are) and how many more there are.
QString LoadingProblemText(const QString &message, const QStringList &files);

// The main window as the loading and the idle processing see it. All calls come on the
// user interface thread.
class TLoadingView
{
public:
    virtual ~TLoadingView() = default;

    // "Status" box: LabelStatus and ProgressBarStatus.
    virtual void SetStatusText(const QString &text) = 0;
    virtual void SetProgressMaximum(int maximum) = 0;
    virtual void SetProgressPosition(int position) = 0;
    // Position := the bar's current maximum.
    virtual void SetProgressToMaximum() = 0;

    // Lets the window process pending events (QCoreApplication::processEvents). Anything
    // may happen meanwhile: files dropped, rows deleted, both lists cleared.
    virtual void LetEventsThrough() = 0;

    // "Chronological ordering of stereo lists" (ActionSort).
    virtual void SetSortActionEnabled(bool enabled) = 0;
    // The three sorting actions: ActionSortAllMenu, ActionSortMonoMenu, ActionSortAll.
    virtual void SetSortingActionsEnabled(bool enabled) = 0;
    // The radio buttons "All list entries" and "Only entries marked as Unassigned".
    virtual void SetSortingRadioButtonsEnabled(bool enabled) = 0;
    // "Execute Batch Job" (ActionAuftragRun).
    virtual void SetBatchJobEnabled(bool enabled) = 0;
    // "Open Left View Images" and "Open Right View Images".
    virtual void SetOpenActionsEnabled(bool enabled) = 0;
    // Both lists are hidden while files are added.
    virtual void SetListsVisible(bool visible) = 0;

    // Files that could not be loaded, and why (message): the window shows them in a
    // message box, the command line on standard error. The loading goes on.
    virtual void ReportLoadingProblem(const QString &message, const QStringList &files)
    {
        Q_UNUSED(message);
        Q_UNUSED(files);
    }

    // The loading has stopped for lack of memory (OutOfMemoryMessage); what was read stays.
    virtual void ReportOutOfMemory(const QString &message) { ReportLoadingProblem(message, {}); }

    // LeftDirty and RightDirty := true.
    virtual void MarkPreviewsDirty() = 0;
    // The last step of every idle pass: reload dirty previews, rewrite the metadata labels,
    // compose the anaglyph (the stereo preview's part of the idle processing).
    virtual void IdlePreviews() = 0;
};

// A loading view without a window (the command line, benchmarks): nothing to show, and
// letting events through processes them.
class TQuietLoadingView : public TLoadingView
{
public:
    void SetStatusText(const QString &) override {}
    void SetProgressMaximum(int) override {}
    void SetProgressPosition(int) override {}
    void SetProgressToMaximum() override {}
    void LetEventsThrough() override;
    void SetSortActionEnabled(bool) override {}
    void SetSortingActionsEnabled(bool) override {}
    void SetSortingRadioButtonsEnabled(bool) override {}
    void SetBatchJobEnabled(bool) override {}
    void SetOpenActionsEnabled(bool) override {}
    void SetListsVisible(bool) override {}
    void MarkPreviewsDirty() override {}
    void IdlePreviews() override {}
};
