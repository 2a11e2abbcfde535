// The option tables' parser and help, on a table with one option of every kind, and every
// duomira-cli command's --help as the program prints it.
#include "cli/cliparser.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct Parsed
{
    bool flag = false;
    QString value;
    QStringList pair, files, operands;
};

TCliTable<Parsed> table(bool singleDashOptions)
{
    TCliTable<Parsed> t;
    t.command = QStringLiteral("demo");
    t.summary = QStringLiteral("one option of every kind");
    t.options = {
        {{.name = QStringLiteral("--flag"), .help = QStringLiteral("a flag")},
         [](Parsed &p, const QStringList &) { return p.flag = true; }},
        {{.name = QStringLiteral("--value"),
          .values = QStringLiteral("0|1"),
          .help = QStringLiteral("one value"),
          .valueCount = 1,
          .needs = QStringLiteral("--value needs 0 or 1")},
         [](Parsed &p, const QStringList &v) {
             p.value = v[0];
             return v[0] == QLatin1String("0") || v[0] == QLatin1String("1");
         }},
        {{.name = QStringLiteral("--pair"),
          .values = QStringLiteral("A B"),
          .help = QStringLiteral("two values"),
          .valueCount = 2},
         [](Parsed &p, const QStringList &v) {
             p.pair = v;
             return true;
         }},
        {{.name = QStringLiteral("--files"),
          .values = QStringLiteral("FILE..."),
          .help = QStringLiteral("a list"),
          .list = true,
          .required = true},
         [](Parsed &p, const QStringList &v) {
             p.files += v;
             return !v[0].isEmpty();
         }},
    };
    t.operands = QStringLiteral("[OPERAND]");
    t.rules.singleDashOptions = singleDashOptions;
    t.operand = [](Parsed &p, const QString &a) {
        p.operands.append(a);
        return p.operands.size() > 1 ? QStringLiteral("one operand only") : QString();
    };
    t.finish = [](const Parsed &p) {
        return p.files.isEmpty() ? QStringLiteral("no files given") : QString();
    };
    return t;
}

TEST(CliParser, ArgumentsBecomeOptionsOrUsageErrors)
{
    const TCliParseStatus ok = TCliParseStatus::Parsed, help = TCliParseStatus::Help,
                          bad = TCliParseStatus::UsageError;
    struct Case
    {
        QStringList arguments;
        bool singleDash;
        TCliParseStatus status;
        QString error; // or, when parsed, "flag value pair files operands"
    } cases[] = {
        {{"--files", "a", "b", "--flag", "--value", "1", "--files", "c"},
         false,
         ok,
         "1 1 - a,b,c -"},
        // A value is taken as it comes, even when it looks like an option.
        {{"--value", "0", "--pair", "--flag", "x", "--files", "a"}, false, ok, "0 0 --flag,x a -"},
        // An option ends the list; what follows belongs to no option.
        {{"--files", "a", "--flag", "b"}, false, ok, "1  - a b"},
        {{"--files", "a", "-x"}, false, ok, "0  - a,-x -"},
        {{"--files", "a", "-x"}, true, bad, "unknown option '-x'"},
        // After "--" nothing is an option; the list goes on.
        {{"--files", "a", "--", "-x"}, true, ok, "0  - a,-x -"},
        {{"--", "--help", "--files"}, true, bad, "one operand only"},
        {{"--files", "a", "--bogus"}, false, bad, "unknown option '--bogus'"},
        {{"--files", "a", "--value"}, false, bad, "--value needs 0 or 1"},
        {{"--files", "a", "--value", "7"}, false, bad, "--value needs 0 or 1"},
        {{"--files", "a", "--pair", "x"}, false, bad, "--pair needs a value"},
        {{"--files", ""}, false, bad, "--files needs a value"},
        {{"x", "y", "--files", "a"}, false, bad, "one operand only"},
        {{"--flag"}, false, bad, "no files given"},
        {{"--value", "7", "--help"}, false, bad, "--value needs 0 or 1"},
        {{"--bogus", "--help"}, false, bad, "unknown option '--bogus'"},
        {{"--flag", "--help"}, false, help, {}},
        {{"-h"}, false, help, {}},
    };
    for (const Case &c : cases) {
        Parsed p;
        const TCliParseResult r = table(c.singleDash).Parse(c.arguments, p);
        const QString what = c.arguments.join(u' ');
        EXPECT_EQ(r.status, c.status) << qPrintable(what);
        if (c.status != ok) {
            EXPECT_EQ(r.error, c.error) << qPrintable(what);
            continue;
        }
        const auto list = [](const QStringList &l) {
            return l.isEmpty() ? QStringLiteral("-") : l.join(u',');
        };
        const QString got = QStringLiteral("%1 %2 %3 %4 %5")
                                .arg(int(p.flag))
                                .arg(p.value, list(p.pair), list(p.files), list(p.operands));
        EXPECT_EQ(got, c.error) << qPrintable(what);
    }
}

TEST(CliParser, UsageLineAndHelpComeFromTheTable)
{
    const TCliSyntax syntax = table(false).Syntax();
    EXPECT_EQ(CliUsageLine(syntax),
              QStringLiteral("[--flag] [--value 0|1] [--pair A B] --files FILE... [OPERAND]"));
    const QString help = CliHelpText(syntax);
    EXPECT_TRUE(help.startsWith(QStringLiteral("Usage: duomira-cli demo [--flag]")));
    for (const TCliOptionText &o : syntax.options)
        EXPECT_TRUE(help.contains(QStringLiteral("\n  %1").arg(o.name) + u' ' + o.values + u'\n') ||
                    help.contains(QStringLiteral("\n  %1\n").arg(o.name)))
            << qPrintable(o.name);
}

// What each command's table shows, as the program prints it.
TEST(CliParser, EveryCommandAnswersHelp)
{
    const struct
    {
        const char *command;
        QStringList options;
    } commands[] = {
        {"inspect", {"--tags"}},
        {"pair",
         {"--mode", "--method", "--offset-pair", "--start", "--mask", "--rotation-left",
          "--rotation-right", "--left", "--right"}},
        {"run",
         {"--copy", "--move", "--complete-partners", "--spm-list", "--dest-mono", "--suffix-mono",
          "--stereo-suffix", "--log", "--dry-run", "--method", "--offset-pair", "--left"}},
        {"undo", {"--dry-run"}},
    };
    QProcess top;
    top.start(QStringLiteral(DUOMIRA_CLI_PATH), {QStringLiteral("--help")});
    ASSERT_TRUE(top.waitForFinished(30000));
    const QByteArray topHelp = top.readAllStandardOutput();
    for (const auto &c : commands) {
        QProcess p;
        p.start(QStringLiteral(DUOMIRA_CLI_PATH), {QLatin1String(c.command), "--help"});
        ASSERT_TRUE(p.waitForFinished(30000)) << c.command;
        EXPECT_EQ(p.exitCode(), 0) << c.command;
        const QByteArray help = p.readAllStandardOutput();
        EXPECT_TRUE(help.startsWith(QByteArray("Usage: duomira-cli ") + c.command)) << c.command;
        for (const QString &option : c.options) {
            EXPECT_TRUE(help.contains("\n  " + option.toUtf8()))
                << c.command << " " << qPrintable(option);
            EXPECT_TRUE(topHelp.contains(option.toUtf8())) << qPrintable(option);
        }
    }
}

} // namespace
