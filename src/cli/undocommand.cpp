// duomira-cli undo: reverses a batch job from its journal, the last operation first.
// Prints one line per operation it looked at; --dry-run only says what it would do. The
// undo keeps a journal of its own, so that it can be reversed in turn.
#include "batch/undo.h"
#include "cli/commands.h"
#include "imaging/libgfl.h"

#include <QDir>

#include <cstdio>

int runUndoCommand(const QStringList &arguments)
{
    bool dryRun = false;
    QString journalPath;
    for (const QString &a : arguments) {
        if (a == QLatin1String("--dry-run")) {
            dryRun = true;
        } else if (a.startsWith(QLatin1String("--")) || !journalPath.isEmpty()) {
            std::fprintf(stderr, "duomira-cli undo: unexpected argument '%s'\nUsage: duomira-cli undo [--dry-run] JOURNAL\n",
                         qPrintable(a));
            return 2;
        } else {
            journalPath = QDir::current().absoluteFilePath(a);
        }
    }
    if (journalPath.isEmpty()) {
        std::fprintf(stderr, "Usage: duomira-cli undo [--dry-run] JOURNAL\n");
        return 2;
    }
    // Rotations are turned back through the imaging modules.
    QString messages;
    const bool rotations = GflStartup(messages);

    QString undoJournal;
    QString warning;
    const TUndoReport report = UndoJobJournaled(journalPath, dryRun, undoJournal, warning);
    if (!warning.isEmpty())
        std::fprintf(stderr, "duomira-cli undo: %s\n", qPrintable(warning));
    GflShutdown();
    if (!report.journalRead) {
        std::fprintf(stderr, "duomira-cli undo: %s: %s\n", qPrintable(journalPath), qPrintable(report.error));
        return 2;
    }
    QByteArray out;
    for (const QString &line : report.lines)
        out += line.toUtf8() + '\n';
    if (std::fwrite(out.constData(), 1, size_t(out.size()), stdout) != size_t(out.size()) || std::fflush(stdout) != 0)
        return 1;
    std::fprintf(stderr, "%s%d undone, %d left alone, %d failed\n", dryRun ? "dry run: " : "", report.undone,
                 report.leftAlone, report.failed);
    if (!rotations && !dryRun)
        std::fprintf(stderr, "duomira-cli undo: the imaging modules are missing; rotations cannot be turned back\n");
    if (!undoJournal.isEmpty())
        std::fprintf(stderr, "journal of this undo: %s\n", qPrintable(undoJournal));
    return report.Complete() ? 0 : 1;
}
