#pragma once
// Between a session and its file's plain data (sessionfile.h): the snapshot of both lists,
// and the lists rebuilt from a snapshot with every file's identity checked.
#include "session/sessionfile.h"

#include <QStringList>

class TGflLibrary;
class TSession;

// Both lists of session row by row, its naming settings and rename mask. Copies texts
// (shared, not duplicated) and numbers only, so that it can be written on another thread.
TSessionSnapshot TakeSessionSnapshot(TSession &session);

struct TSessionOpenReport
{
    QStringList Missing; // files that could not be found: kept, marked and excluded
    QStringList Changed; // files that are no longer what was saved: read again, marked, excluded
    int Rows = 0;        // rows rebuilt in both lists
};

// Rebuilds both (empty) lists of session from snapshot and takes over its naming settings
// and mask. A file whose size and modification time are those saved keeps its saved
// metadata and is not read again; a changed file is read again (gfl: the imaging library,
// null for JPEG only), marked "changed" and excluded from the batch job until the user
// includes it; a missing file keeps its entry and record, marked "missing" and excluded.
// A view of a stereo file is found in its file again (a file that no longer holds it counts
// as changed). Pairs, names, rotations and the other settings of every row are those saved.
// The files are checked on the pool's threads; the rows are made in bulk.
TSessionOpenReport ApplySessionSnapshot(TSession &session, const TSessionSnapshot &snapshot,
                                        const TGflLibrary *gfl);

// The message that names every file that could not be found ("" when none), at most
// maxNamed of them by name.
QString MissingFilesMessage(const QStringList &missing, int maxNamed = 20);
