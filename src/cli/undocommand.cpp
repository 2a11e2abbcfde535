// duomira-cli undo: reverses a batch job from its journal, the last operation first.
// Prints one line per operation it looked at; --dry-run only says what it would do. The
// undo keeps a journal of its own, so that it can be reversed in turn.
#include "batch/undo.h"
#include "cli/cliparser.h"
#include "cli/commands.h"
#include "imaging/libgfl.h"

#include <QDir>

#include <cstdio>

namespace {

struct UndoOptions
{
    bool dryRun = false;
    QString journalPath;
};

const TCliTable<UndoOptions> &undoTable()
{
    static const TCliTable<UndoOptions> table = [] {
        TCliTable<UndoOptions> t;
        t.command = QStringLiteral("undo");
        t.summary = QStringLiteral("reverse a batch job from its journal");
        t.options = {{{.name = QStringLiteral("--dry-run"),
                       .help = QStringLiteral("only say what would be done")},
                      [](UndoOptions &o, const QStringList &) {
                          o.dryRun = true;
                          return true;
                      }}};
        t.operands = QStringLiteral("JOURNAL");
        t.rules.unknownOption = QStringLiteral("unexpected argument '%1'");
        t.operand = [](UndoOptions &o, const QString &journal) {
            if (!o.journalPath.isEmpty())
                return QStringLiteral("unexpected argument '%1'").arg(journal);
            o.journalPath = QDir::current().absoluteFilePath(journal);
            return QString();
        };
        t.finish = [](const UndoOptions &o) {
            return o.journalPath.isEmpty() ? QStringLiteral("no journal given") : QString();
        };
        return t;
    }();
    return table;
}

} // namespace

TCliSyntax undoSyntax()
{
    return undoTable().Syntax();
}

int runUndoCommand(const QStringList &arguments)
{
    UndoOptions options;
    if (const int status = ParseCliCommand(undoTable(), arguments, options); status >= 0)
        return status;
    const bool dryRun = options.dryRun;
    const QString &journalPath = options.journalPath;
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
        std::fprintf(stderr, "duomira-cli undo: %s: %s\n", qPrintable(journalPath),
                     qPrintable(report.error));
        return 2;
    }
    QByteArray out;
    for (const QString &line : report.lines)
        out += line.toUtf8() + '\n';
    if (std::fwrite(out.constData(), 1, size_t(out.size()), stdout) != size_t(out.size()) ||
        std::fflush(stdout) != 0)
        return 1;
    std::fprintf(stderr, "%s%d undone, %d left alone, %d failed\n", dryRun ? "dry run: " : "",
                 report.undone, report.leftAlone, report.failed);
    if (!rotations && !dryRun)
        std::fprintf(
            stderr,
            "duomira-cli undo: the imaging modules are missing; rotations cannot be turned back\n");
    if (!undoJournal.isEmpty())
        std::fprintf(stderr, "journal of this undo: %s\n", qPrintable(undoJournal));
    return report.Complete() ? 0 : 1;
}
