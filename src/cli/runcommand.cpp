// duomira-cli run: the batch job wizard without a window. The pictures are loaded and paired
// as `pair` does; the job's decisions come as options and become the wizard's answers; the
// wizard's controller then walks its pages exactly as a user pressing Next would, running
// the same checks. A check that finds a problem prints its findings and ends the command
// before anything is touched (exit status 3); otherwise the job runs with a progress line on
// standard error and the job log is printed. With --dry-run the run goes through a file
// layer that only records what it would do, and the plan is printed instead.
#include "batch/assistent.h"
#include "batch/fileops.h"
#include "batch/protokoll.h"
#include "batch/rtfwriter.h"
#include "batch/runengine.h"
#include "batch/runprogress.h"
#include "batch/spmlistsetting.h"
#include "batch/stereooutputjob.h"
#include "cli/commands.h"
#include "cli/pairsetup.h"
#include "entries/datensatzlist.h"
#include "entries/entrystore.h"
#include "entries/listoperations.h"
#include "entries/namingsettings.h"
#include "imaging/libgfl.h"
#include "session/idleprocessor.h"
#include "session/sessionkeeper.h"
#include "ui/markup.h"
#include "ui/termination.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

int fail(int status, const QString &message)
{
    std::fprintf(stderr, "duomira-cli run: %s\n", qPrintable(message));
    return status;
}

struct JobOptions
{
    bool copy = false, move = false;
    bool renameSource = false, renameDestination = false;
    bool rotateSource = false, rotateDestination = false;
    bool completePartners = false, createFolders = false, dryRun = false;
    std::optional<QString> spmList, logFile, session;
    std::optional<QString> dest[3], suffix[3], stereoSuffix;
    // The stereo files of the pairs.
    std::optional<QString> stereoOutput, destStereo, quality;
    bool align = false;
};

struct RunOptions
{
    JobOptions job;
    PairOptions pair;
};

QString absolute(const QString &path)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(ExpandUserPath(path)));
}

TCliOption<RunOptions> jobFlag(const char *name, const char *help, bool JobOptions::*flag)
{
    return {{.name = QLatin1String(name), .help = QLatin1String(help)},
            [flag](RunOptions &o, const QStringList &) {
                o.job.*flag = true;
                return true;
            }};
}

// An option with one value, stored in the job's field that value(job) names.
template <class Field>
TCliOption<RunOptions> jobValue(const char *name, const char *value, const char *help, Field field)
{
    return {{.name = QLatin1String(name),
             .values = QLatin1String(value),
             .help = QLatin1String(help),
             .valueCount = 1},
            [field](RunOptions &o, const QStringList &v) {
                field(o.job) = v[0];
                return true;
            }};
}

// The stereo files' options: known outputs, a quality of 1 to 100, and a job whose steps
// the files can follow.
QString stereoContradictions(const JobOptions &o)
{
    if (!o.stereoOutput)
        return o.destStereo || o.align || o.quality
                   ? QStringLiteral("--dest-stereo, --align and --quality need --stereo-output")
                   : QString();
    QString unknown;
    const auto outputs = ParseStereoOutputs(*o.stereoOutput, &unknown);
    if (!outputs || outputs->isEmpty()) {
        QStringList keys;
        for (const TStereoOutputInfo &info : StereoOutputs())
            keys.append(info.Key);
        return QStringLiteral("--stereo-output: unknown output \"%1\" (one or more of %2)")
            .arg(unknown, keys.join(QStringLiteral(", ")));
    }
    bool ok = false;
    const int quality = o.quality ? o.quality->toInt(&ok) : DefaultStereoQuality;
    if (o.quality && (!ok || quality < 1 || quality > 100))
        return QStringLiteral("--quality takes a number from 1 to 100");
    if (!o.copy && !o.move && !o.renameSource)
        return QStringLiteral("stereo files are written by a job that renames, copies or moves "
                              "the pictures");
    return {};
}

// What the wizard never offers.
QString contradictions(const JobOptions &o)
{
    if (o.copy && o.move)
        return QStringLiteral("--copy and --move exclude each other");
    if (o.move && (o.renameSource || o.rotateSource))
        return QStringLiteral("a move job neither renames nor rotates in the source folder");
    if (o.completePartners && !o.renameSource)
        return QStringLiteral("--complete-partners needs --rename-source");
    const bool destinationOptions = o.renameDestination || o.rotateDestination || o.createFolders ||
                                    o.dest[0] || o.dest[1] || o.dest[2];
    if (destinationOptions && !o.copy && !o.move)
        return QStringLiteral("destination options need --copy or --move");
    return stereoContradictions(o);
}

// The job's options, then those of pair.
TCliTable<RunOptions> makeRunTable()
{
    TCliTable<RunOptions> t;
    t.command = QStringLiteral("run");
    t.summary = QStringLiteral(
        "pair as pair does, then run the batch job: the wizard's checks, then the file "
        "operations; prints the job log");
    using J = JobOptions;
    t.options = {
        jobFlag("--copy", "copy the pictures into the destination folders (originals stay)",
                &J::copy),
        jobFlag("--move", "move the pictures into the destination folders", &J::move),
        jobFlag("--rename-source", "rename the pictures that stay in their source folders",
                &J::renameSource),
        jobFlag("--rename-destination", "give the copied or moved pictures their new names",
                &J::renameDestination),
        jobFlag("--rotate-source", "turn the JPEG files in the source folders (lossless)",
                &J::rotateSource),
        jobFlag("--rotate-destination",
                "turn the JPEG files in the destination folders "
                "(lossless)",
                &J::rotateDestination),
        jobFlag("--complete-partners",
                "where a picture belongs to several pairs, create the missing partners in "
                "the source folder (needs --rename-source)",
                &J::completePartners),
        jobValue(
            "--spm-list", "FILE", "write the pairs into this SPM list file",
            [](J & j) -> auto & { return j.spmList; }),
        jobValue(
            "--dest-left", "DIR", "the destination folder of the left pictures",
            [](J & j) -> auto & { return j.dest[0]; }),
        jobValue(
            "--dest-right", "DIR", "the destination folder of the right pictures",
            [](J & j) -> auto & { return j.dest[1]; }),
        jobValue(
            "--dest-mono", "DIR", "the destination folder of pictures without a partner",
            [](J & j) -> auto & { return j.dest[2]; }),
        jobFlag("--create-folders", "create missing destination folders", &J::createFolders),
        jobValue(
            "--suffix-left", "S", "the suffix of the left pictures' new names",
            [](J & j) -> auto & { return j.suffix[0]; }),
        jobValue(
            "--suffix-right", "S", "the suffix of the right pictures' new names",
            [](J & j) -> auto & { return j.suffix[1]; }),
        jobValue(
            "--suffix-mono", "S",
            "the suffix of the new names of pictures without a "
            "partner",
            [](J & j) -> auto & { return j.suffix[2]; }),
        jobValue(
            "--stereo-suffix", "TEXT",
            "the suffix of a stereo file renamed in its folder under its pair's new name "
            "(none unless given)",
            [](J & j) -> auto & { return j.stereoSuffix; }),
        jobValue(
            "--log", "FILE", "also write the job log as RTF into this new file",
            [](J & j) -> auto & { return j.logFile; }),
        jobValue(
            "--stereo-output", "LIST",
            "also write a stereo file of every pair in each of these formats (comma-separated): "
            "mpo, sbs, half-sbs, cross, jps, over-under, half-over-under, anaglyph, "
            "anaglyph-simple",
            [](J & j) -> auto & { return j.stereoOutput; }),
        jobValue(
            "--dest-stereo", "DIR", "the folder of the stereo files (default ~/Stereos/Stereo)",
            [](J & j) -> auto & { return j.destStereo; }),
        jobFlag("--align",
                "align the views of the re-encoded stereo files with the pair check's "
                "figures and set the stereo window",
                &J::align),
        jobValue(
            "--quality", "1-100", "the JPEG quality of the re-encoded stereo files (default 95)",
            [](J & j) -> auto & { return j.quality; }),
        jobFlag("--dry-run", "print the planned file operations and touch nothing", &J::dryRun),
        jobValue(
            "--session", "FILE",
            "take the lists, pairs, names and settings from this session file instead of "
            "--left and --right; options given override the session's values",
            [](J & j) -> auto & { return j.session; }),
    };
    const TCliTable<PairOptions> &pair = PairTable();
    // A run saves no session: pair's --save-session is not one of its options.
    QList<TCliOption<PairOptions>> pairOptions;
    for (const TCliOption<PairOptions> &o : pair.options)
        if (o.text.name != QLatin1String("--save-session"))
            pairOptions.append(o);
    t.options += CliOptionsOfPart(pairOptions, &RunOptions::pair);
    t.strayOperand = pair.strayOperand;
    t.notes = QStringLiteral("With --session FILE, no --left or --right is given.");
    t.finish = [pairFinish = pair.finish](const RunOptions &o) {
        const QString error = contradictions(o.job);
        if (!error.isEmpty() || !o.job.session)
            return error.isEmpty() ? pairFinish(o.pair) : error;
        if (!o.pair.left.isEmpty() || !o.pair.right.isEmpty())
            return QStringLiteral("--session takes the place of --left and --right");
        return QString();
    };
    return t;
}

const TCliTable<RunOptions> &runTable()
{
    static const TCliTable<RunOptions> table = makeRunTable();
    return table;
}

// The progress line on standard error: the run page's status line as plain text (what the
// markup shows, file names exactly as they are).
class CliProgress : public TRunProgress
{
public:
    void BeginPhase(const QString &text, int maximum, int phase) override
    {
        m_state.Begin(maximum, phase);
        ShowStatus(text);
    }
    void StepProgress(const QString &text) override
    {
        // Between two files: a SIGTERM, SIGINT or SIGHUP that arrived stops the run here.
        if (m_run && termination::Signal() != 0)
            m_run->RequestCancel();
        m_state.Step();
        ShowStatus(text);
    }
    void setRun(TBatchRun *run) { m_run = run; }
    // On a terminal the line is rewritten in place; into a file or pipe goes one line per
    // change of the status text, without the position.
    void ShowStatus(const QString &text) override
    {
        if (m_tty) {
            const QString plain = oneLine(m_state.StatusText(text));
            std::fprintf(stderr, "\r%s\x1b[K", plain.toUtf8().constData());
            m_shown = true;
        } else if (text != m_last) {
            std::fprintf(stderr, "%s\n", oneLine(text).toUtf8().constData());
            m_last = text;
        }
    }
    void finish()
    {
        if (m_shown)
            std::fputc('\n', stderr);
    }

private:
    static QString oneLine(const QString &markup)
    {
        return MarkupPlainText(markup).replace(QLatin1Char('\n'), QLatin1Char(' '));
    }

    TRunStatusState m_state;
    TBatchRun *m_run = nullptr;
    const bool m_tty = ::isatty(STDERR_FILENO) != 0;
    bool m_shown = false;
    QString m_last;
};

class CliHost : public TAssistentHost
{
public:
    CliHost(TBatchContext context, bool dryRun)
        : m_entries(context.Entries), m_log(context.Log), m_spmListFile(context.SpmListFile),
          m_extraFiles(context.ExtraFiles), m_dryRun(dryRun)
    {
    }

    bool RunJob(const TBatchJobSettings &settings) override
    {
        TBatchRun run(m_entries, m_log, m_progress);
        run.SetSpmListFile(m_spmListFile);
        run.SetExtraFiles(m_extraFiles);
        if (m_dryRun) {
            m_plan = std::make_unique<TPlanFileOps>();
            run.SetFileOps(m_plan.get());
        }
        // While the job runs, the signals that ask the program to end stop it between two
        // files instead, with its journal complete; a second signal ends it at once.
        termination::Install();
        m_progress.setRun(&run);
        run.RunBatchJob(settings);
        m_progress.setRun(nullptr);
        termination::Uninstall();
        m_progress.finish();
        stoppedBy = termination::Signal();
        journal = run.JournalPath();
        return run.JobFailed();
    }

    const TPlanFileOps *plan() const { return m_plan.get(); }
    QString journal;
    int stoppedBy = 0; // the signal that stopped the run, or 0

private:
    TEntryStore &m_entries;
    TProtokoll &m_log;
    const QString &m_spmListFile;
    TExtraFileProvider m_extraFiles;
    bool m_dryRun;
    CliProgress m_progress;
    std::unique_ptr<TPlanFileOps> m_plan;
};

bool writeOut(const QByteArray &bytes)
{
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) ==
               size_t(bytes.size()) &&
           std::fflush(stdout) == 0;
}

// Writes a file that must not exist yet (the job log): never replaces anything, and leaves
// no partial file behind when the write fails.
bool writeNewFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    if (file.write(bytes) != bytes.size() || !file.flush() || ::fsync(file.handle()) != 0) {
        file.close();
        file.remove();
        return false;
    }
    file.close();
    return true;
}

// What a check page found, as plain lines: the log lines the checks wrote, and for the
// folder page (which writes none) the missing folders.
QString findings(const TAssistentController &ctrl, const TProtokoll &log, const TNamingSettings &s)
{
    QString out = log.PlainText();
    switch (ctrl.CurrentPage()) {
    case pgChkDirectory: {
        const QString *folders[] = {&s.FolderLeft, &s.FolderRight, &s.FolderMono};
        for (int k = 0; k < 3; ++k) {
            if (ctrl.FolderCheck().MissingFolders & (1 << k))
                out += QStringLiteral("Missing destination folder: %1\n").arg(*folders[k]);
        }
        out += QStringLiteral("Create them, or pass --create-folders.\n");
        break;
    }
    case pg1zuNSource: {
        TProtokoll table;
        ctrl.SharedTable().Report(QStringLiteral("    %s\t\t%s\t%s\t\t\t%s"), &table);
        out += QStringLiteral("Not enough space to complete the shared pictures in the source "
                              "folder:\n Drive\t\tadditional\t\tremaining\n") +
               table.PlainText();
        break;
    }
    default:
        break;
    }
    return out;
}

// The lists as the window left them: pairs, names and settings. Files missing or changed
// since the session was saved are named on standard error; false (reported) when the file
// was refused.
bool openSession(const QString &path, PairedLists &lists)
{
    TSessionKeeper keeper(lists.session);
    const TSessionOpenOutcome opened = keeper.Open(absolute(path), {}, &Gfl());
    if (!opened.Ok) {
        fail(2, opened.Error);
        return false;
    }
    if (const QString missing = MissingFilesMessage(opened.Report.Missing); !missing.isEmpty())
        std::fprintf(stderr, "duomira-cli run: %s\n", qPrintable(missing));
    for (const QString &changed : opened.Report.Changed)
        std::fprintf(stderr, "duomira-cli run: changed since the session was saved, left out: %s\n",
                     qPrintable(changed));
    return true;
}

// The options given override the settings of a first start (or of the session).
void applyJobSettings(const RunOptions &options, PairedLists &lists)
{
    const JobOptions &job = options.job;
    TNamingSettings &naming = lists.session.Naming();
    QString *folders[] = {&naming.FolderLeft, &naming.FolderRight, &naming.FolderMono};
    QString *suffixes[] = {&naming.SuffixLeft, &naming.SuffixRight, &naming.SuffixMono};
    for (int k = 0; k < 3; ++k) {
        if (job.dest[k])
            *folders[k] = absolute(*job.dest[k]);
        if (job.suffix[k])
            *suffixes[k] = *job.suffix[k];
    }
    if (job.stereoSuffix)
        naming.SuffixStereo = *job.stereoSuffix;
    if (job.createFolders || !job.session)
        naming.CreateMissingFolders = job.createFolders;
    if (options.pair.start)
        naming.StartNumber = *options.pair.start;
    lists.session.SpmListFile() = job.spmList ? absolute(*job.spmList) : QString();
    TStereoOutputSettings &stereo = lists.session.StereoOutputs();
    stereo.Outputs =
        ParseStereoOutputs(job.stereoOutput.value_or(QString())).value_or(QList<TStereoOutput>());
    if (job.destStereo)
        stereo.Folder = absolute(*job.destStereo);
    if (job.quality)
        stereo.Quality = job.quality->toInt();
    stereo.Align = job.align;
    stereo.JobCopiesOrMoves = job.copy || job.move;
}

} // namespace

TCliSyntax runSyntax()
{
    return runTable().Syntax();
}

int runRunCommand(const QStringList &arguments)
{
    RunOptions options;
    if (const int status = ParseCliCommand(runTable(), arguments, options); status >= 0)
        return status;
    const JobOptions &job = options.job;
    PairOptions &pair = options.pair;

    // duomira-cli's main started the imaging library for every command.
    const bool gfl = GflAvailable();
    if ((job.rotateSource || job.rotateDestination) && !gfl)
        return fail(3, QStringLiteral("lossless rotation needs the imaging modules, which are "
                                      "not available; nothing was touched"));

    // The settings of a first start (or of the session), then the options; nothing is read
    // from a settings file.
    PairedLists lists;
    if (job.session && !openSession(*job.session, lists))
        return 2;
    applyJobSettings(options, lists);
    TNamingSettings &naming = lists.session.Naming();

    int status = 0;
    {
        QJsonObject outcome;
        if (!job.session) {
            if (const int failed = LoadAndPair(pair, lists, outcome, "run"))
                return failed;
        } else if (pair.mask) {
            RenameAll(lists.left, lists.right, *pair.mask);
        }
        TIdleProcessor::PrepareBatchJob(lists.session.Registry());
        RefreshAllEntries(lists.session.Registry());

        TProtokoll log;
        const TBatchContext context{lists.session.Entries(), log, lists.session.SpmListFile(),
                                    lists.session.BatchContext().ExtraFiles,
                                    &lists.session.StereoOutputs()};
        CliHost host(context, job.dryRun);
        TAssistentController ctrl(context, host);
        ctrl.SetGflAvailable([gfl] { return gfl; });
        ctrl.SetChoice(pgSpeicherort, job.move ? 2 : job.copy ? 3 : 1);
        ctrl.SetChoice(pgRenameSource, job.renameSource ? 2 : 1);
        ctrl.SetChoice(pg1zuNSource, job.completePartners ? 1 : 2);
        ctrl.SetChoice(pgRenameDest, job.renameDestination ? 2 : 1);
        ctrl.SetChoice(pgDrehenScr, job.rotateSource ? 2 : 1);
        ctrl.SetChoice(pgDrehenDst, job.rotateDestination ? 2 : 1);
        ctrl.SetChoice(pgSpmListe, job.spmList ? 1 : 2);
        ctrl.SetChoice(pgChkDirectory, 1);
        if (job.logFile)
            ctrl.SetLogFile(absolute(*job.logFile));

        ctrl.ShowWizard();
        for (int guard = 0; guard < 64 && ctrl.CurrentPage() != pgBestAuftrag; ++guard) {
            const int page = ctrl.CurrentPage();
            if (page == pgChkDirectory || page == pgChkDstSpace || page == pgChkNamen ||
                !ctrl.Buttons().NextEnabled) {
                writeOut(findings(ctrl, log, naming).toUtf8());
                return fail(3, QStringLiteral("the checks found a problem; nothing was touched"));
            }
            ctrl.Next();
        }
        if (ctrl.CurrentPage() != pgBestAuftrag)
            return fail(1, QStringLiteral("the wizard did not reach its confirmation"));
        ctrl.Next(); // Finish: the job runs
        const bool complete = ctrl.CurrentPage() == pgAuftragSucc;

        QByteArray output;
        if (job.dryRun && host.plan()) {
            for (const QString &line : host.plan()->PlanText())
                output += (line + u'\n').toUtf8();
        } else {
            output = log.PlainText().toUtf8();
        }
        if (!writeOut(output))
            return fail(1, QStringLiteral("the output could not be written"));
        if (job.logFile && !writeNewFile(absolute(*job.logFile), ProtokollToRtf(log.Lines())))
            return fail(1, QStringLiteral("%1: the log could not be written").arg(*job.logFile));
        if (host.stoppedBy != 0) {
            std::fprintf(stderr, "duomira-cli run: stopped by %s between two files",
                         qPrintable(termination::SignalName(host.stoppedBy)));
            if (!host.journal.isEmpty())
                std::fprintf(stderr, "; duomira-cli undo %s reverses what was done",
                             QFile::encodeName(host.journal).constData());
            std::fputc('\n', stderr);
        }
        if (!complete)
            status = 1;
    }
    return status;
}
