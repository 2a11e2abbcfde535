#pragma once
// What "pair" and "run" share: the pairing options, and the two lists loaded as dropping the
// files would load them, read, ordered and paired, with the new names of a rename mask.
#include "cli/cliparser.h"
#include "entries/datensatz.h"
#include "entries/listrows.h"
#include "pairing/ordering.h"
#include "session/idleprocessor.h"
#include "session/loading.h"
#include "session/mainstate.h"
#include "session/paireditor.h"
#include "session/session.h"

#include <QJsonObject>
#include <QStringList>

#include <optional>

struct PairOptions
{
    OrderingMode mode = OrderingMode::AssignAll; // SortOnly, AssignAll or AssignUnpaired
    PairingMethod method = PairingMethod::RunAndTime;
    std::optional<std::pair<QString, QString>> offsetPair;
    std::optional<int> start;
    std::optional<QString> mask;
    int rotationLeft = 0; // "Default settings" presets, item index 0..3 (0°, 90°, 180°, 270°)
    int rotationRight = 0;
    bool keepShotsTogether = true; // --no-siblings: each picture file an entry of its own
    QStringList left, right;
    std::optional<QString> saveSession; // pair --save-session FILE
};

// The options of `duomira-cli pair`, which `run` takes as well.
const TCliTable<PairOptions> &PairTable();

// Every row's new name from mask, as the window's "Renaming" with every row selected.
void RenameAll(ListRowModel &left, ListRowModel &right, const QString &mask);

// The main window's loading, without a window: nothing to show, events go through.
class HeadlessLoadingView : public TQuietLoadingView
{
public:
    // Each file left out is a line on standard error, and the run fails.
    void ReportLoadingProblem(const QString &message, const QStringList &files) override;
    void ReportOutOfMemory(const QString &message) override;

    bool failed = false;      // files were left out
    bool outOfMemory = false; // the loading stopped for lack of memory
};

struct PairedLists
{
    PairedLists();
    TSession session;
    ListRowModel &left = session.Left();
    ListRowModel &right = session.Right();
    TMainWindowState &state = session.State();
    TOrderingPass pass{left, right};
    TPairEditing editing{pass, state};
    HeadlessLoadingView view;
    TIdleProcessor loading{left, right, view};
};

// Loads, reads, orders and pairs the files of o into lists (folders expand to the pictures
// they hold), then applies the mask. Fills result with "mode", "outcome" and
// "offsetPairUsed". Returns 0, or the exit status after printing why to standard error with
// the command's name.
int LoadAndPair(PairOptions &o, PairedLists &lists, QJsonObject &result, const char *command);
