#pragma once
// Undoing a batch job from its journal (see jobjournal.h): the operations are reversed in
// reverse order, whether the job finished or was interrupted.
//  - renames and moves go back, never overwriting; a renamed file is known by its size and
//    modification time, a file moved across volumes by the digest of its bytes;
//  - copies that still hold exactly the bytes the job wrote (by their digest) are deleted,
//    but only while their source is still there with those bytes: a copy whose source
//    is gone may be the only one left;
//  - the temporary files of operations the job was killed in are removed (a copy's hidden
//    file, a turn's ".jp_" file the job created), and an undo killed half-way is finished
//    by the next one;
//  - rotations are turned back with the inverse lossless turn, and the file gets back its
//    EXIF orientation and modification time (the same pixels, not the same bytes; a turn
//    that trimmed edge blocks cannot bring them back, and the report says so);
//  - folders the job made are removed when they are empty;
//  - anything that changed since the job is left alone and reported.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class TFileOps;

struct TUndoReport
{
    bool journalRead = false; // the journal could be opened and held at least one job line
    QString error;            // why not
    QStringList lines;        // one per operation looked at, in the order they were handled
    int undone = 0;           // operations reversed (or, in a dry run, that would be)
    int leftAlone = 0;        // changed since the job, or not reversible: reported, not touched
    int failed = 0;           // reversing was tried and failed
    // Files renamed or moved back: (where the job had put it, where it is again), so that
    // the lists can point at them again.
    QList<QPair<QString, QString>> restored;

    bool Complete() const { return journalRead && leftAlone == 0 && failed == 0; }
};

// Reverses the job of journalPath with ops. With dryRun nothing is touched; the lines say
// what would be done.
TUndoReport UndoJob(const QString &journalPath, TFileOps &ops, bool dryRun);

// Undoes the job of journalPath as duomira-cli undo does: with real file operations and,
// unless dryRun, a journal of the undo itself in JournalFolder() (its path goes to
// undoJournal; when it cannot be made, warning says why and the undo runs without one).
TUndoReport UndoJobJournaled(const QString &journalPath, bool dryRun, QString &undoJournal,
                             QString &warning);

// The journal of the newest batch job in folder that no undo has reversed yet ("" none).
QString LastUndoableJob(const QString &folder);
