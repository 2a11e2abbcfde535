// duomira-cli: headless access to the engine. The first argument names a subcommand; to
// add one, implement it in its own file and list it in the table below.
#include "cli/commands.h"
#include "cli/fileproblem.h"
#include "imaging/libgfl.h"
#include "ui/appinfo.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QUtf8StringView>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr TCliCommand commands[] = {
    {"inspect", inspectSyntax, runInspectCommand}, {"pair", pairSyntax, runPairCommand},
    {"check", checkSyntax, runCheckCommand},       {"run", runSyntax, runRunCommand},
    {"undo", undoSyntax, runUndoCommand},
};

void printUsage(FILE *stream)
{
    std::fprintf(stream, "Usage: duomira-cli COMMAND [ARGUMENTS]\n\nCommands:\n");
    for (const TCliCommand &c : commands) {
        const TCliSyntax syntax = c.syntax();
        std::fprintf(stream, "  %s %s\n      %s\n", c.name, qPrintable(CliUsageLine(syntax)),
                     qPrintable(syntax.summary));
    }
    std::fprintf(stream, "\nduomira-cli COMMAND --help describes each option of the command.\n");
    std::fprintf(stream, "\nExit status, the same for every command:\n"
                         "  0  success\n"
                         "  1  an incomplete job or a failed operation\n"
                         "  2  a usage error\n"
                         "  3  a failed check (nothing was touched)\n");
}

} // namespace

int main(int argc, char **argv)
{
    // Names are passed on as Unicode text; a name that is not valid UTF-8 could not be
    // opened again, so it is refused with its bytes instead of becoming "no such file".
    for (int i = 1; i < argc; ++i) {
        if (!QUtf8StringView(argv[i], qsizetype(std::strlen(argv[i]))).isValidUtf8()) {
            std::fprintf(stderr,
                         "duomira-cli: '%s' is not valid UTF-8; files with such names cannot "
                         "be opened, rename them first\n",
                         qPrintable(PrintableBytes(argv[i])));
            return 1;
        }
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("duomira-cli"));
    QCoreApplication::setApplicationVersion(appinfo::versionText());
    // Standard output carries the result and standard error the complaints; the
    // engine's debug messages stay out of both unless QT_LOGGING_RULES asks for them.
    QLoggingCategory::setFilterRules(QStringLiteral("duomira.*.debug=false"));

    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty()) {
        printUsage(stderr);
        return 2;
    }
    const QString name = arguments.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") ||
        name == QLatin1String("help")) {
        printUsage(stdout);
        return 0;
    }
    if (name == QLatin1String("--version")) {
        // The version, and whether the imaging modules of this build are found and load.
        std::printf("duomira-cli %s\n", qPrintable(appinfo::versionText()));
        QString messages;
        if (GflStartup(messages))
            std::printf("imaging library: loaded (core %s, effects %s)\n",
                        qPrintable(Gfl().coreVersion()), qPrintable(Gfl().effectsVersion()));
        else
            std::printf("imaging library: not available:%s\n",
                        qPrintable(messages.replace(QLatin1String("\r\n"), QLatin1String(" "))));
        GflShutdown();
        return 0;
    }
    for (const TCliCommand &c : commands) {
        if (name != QLatin1String(c.name))
            continue;
        // Pictures other than JPEG and their EXIF lists come from the imaging library, as
        // in the window; without it the commands work on JPEG files only (the reason is
        // logged on standard error).
        QString messages;
        GflStartup(messages);
        int status = 1;
        try {
            status = c.run(arguments);
        } catch (const std::bad_alloc &) {
            std::fprintf(stderr, "duomira-cli %s: not enough memory\n", c.name);
        }
        GflShutdown();
        // Output that could not be written is a failure, not a success with nothing printed.
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            std::fprintf(stderr, "duomira-cli: cannot write the output: %s\n",
                         std::strerror(errno));
            if (status == 0)
                status = 1;
        }
        return status;
    }
    std::fprintf(stderr, "duomira-cli: unknown command '%s'\n\n", qPrintable(name));
    printUsage(stderr);
    return 2;
}
