#pragma once
// The option table of a duomira-cli subcommand. One table gives the command its usage line,
// its --help text (and its line in the top-level help) and its parser, so the three cannot
// disagree. To add an option, add a row to the command's table; to add a command, give it a
// table and list it in main.cpp.
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// What the usage line and --help show of one option, and how many arguments it takes.
struct TCliOptionText
{
    QString name = {};   // "--mode"
    QString values = {}; // its values in the usage: "0|1|2", "LEFT RIGHT"; "" for a flag
    QString help = {};   // one line of --help
    int valueCount = 0;  // arguments taken right after it, whatever they look like (0: a flag)
    // The arguments after it that are not options belong to it, up to the next option
    // ("--left FILE|FOLDER...").
    bool list = false;
    bool required = false; // shown without brackets in the usage line
    // The usage error when its values are missing or refused; "" for "NAME needs a value".
    QString needs = {};
};

// A command as the help shows it.
struct TCliSyntax
{
    QString command; // "pair"
    QString summary; // one line, for the top-level help
    QList<TCliOptionText> options;
    QString operands; // the arguments that belong to no option: "FILE...", "JOURNAL"
    QString notes;    // more lines for --help, after the options
};

// "[--mode 0|1|2] ... --left FILE|FOLDER... OPERANDS"
QString CliUsageLine(const TCliSyntax &syntax);
// The usage line, the summary, every option with its help line, the notes.
QString CliHelpText(const TCliSyntax &syntax);

// How a command reads its arguments besides its options.
struct TCliRules
{
    // "-x" is an option too (not only "--x"), and "--" ends the options.
    bool singleDashOptions = false;
    // The usage error of an option the table lacks; %1 is the argument.
    QString unknownOption = QStringLiteral("unknown option '%1'");
};

enum class TCliParseStatus
{
    Parsed,
    Help,       // --help or -h: print the help, exit 0
    UsageError, // print the error and the usage line, exit 2
};

struct TCliParseResult
{
    TCliParseStatus status = TCliParseStatus::Parsed;
    QString error; // for a usage error
};

// The table-independent walk over the arguments: each option's values go to take(index,
// values), which returns false to refuse them; an argument outside every option goes to
// operand, which returns a usage error or "".
TCliParseResult ParseCliArguments(const QList<TCliOptionText> &options, const TCliRules &rules,
                                  const QStringList &arguments,
                                  const std::function<bool(int, const QStringList &)> &take,
                                  const std::function<QString(const QString &)> &operand);

// One option of a command whose parsed options are a T.
template <class T> struct TCliOption
{
    TCliOptionText text;
    // Stores the values (for a list option: one argument at a time); false refuses them.
    std::function<bool(T &, const QStringList &)> take;
};

// A command's table: its options and what it does with the other arguments.
template <class T> struct TCliTable
{
    QString command;
    QString summary;
    QList<TCliOption<T>> options;
    QString operands;
    QString notes;
    TCliRules rules;
    // An argument outside every option: a usage error or "". Null: such an argument is the
    // error strayOperand (%1 the argument).
    std::function<QString(T &, const QString &)> operand;
    QString strayOperand = QStringLiteral("unexpected argument '%1'");
    // The checks after the last argument: a usage error or "".
    std::function<QString(const T &)> finish;

    TCliSyntax Syntax() const
    {
        TCliSyntax s{command, summary, {}, operands, notes};
        for (const TCliOption<T> &o : options)
            s.options.append(o.text);
        return s;
    }

    TCliParseResult Parse(const QStringList &arguments, T &parsed) const
    {
        QList<TCliOptionText> texts;
        for (const TCliOption<T> &o : options)
            texts.append(o.text);
        TCliParseResult r = ParseCliArguments(
            texts, rules, arguments,
            [&](int index, const QStringList &values) {
                return options[index].take(parsed, values);
            },
            [&](const QString &argument) {
                return operand ? operand(parsed, argument) : strayOperand.arg(argument);
            });
        if (r.status == TCliParseStatus::Parsed && finish) {
            r.error = finish(parsed);
            if (!r.error.isEmpty())
                r.status = TCliParseStatus::UsageError;
        }
        return r;
    }
};

// The options of another command's table, taking their values into the member part of U
// (run takes pair's options this way).
template <class U, class T>
QList<TCliOption<U>> CliOptionsOfPart(const QList<TCliOption<T>> &options, T U::*part)
{
    QList<TCliOption<U>> out;
    for (const TCliOption<T> &o : options)
        out.append({o.text, [take = o.take, part](U &u, const QStringList &values) {
                        return take(u.*part, values);
                    }});
    return out;
}

// Prints the help (exit status 0) or the usage error with the usage line (exit status 2) as
// "duomira-cli COMMAND: ..."; returns -1 when the command goes on.
int ReportCliParse(const TCliSyntax &syntax, const TCliParseResult &result);

// Parses arguments into parsed with table and reports as ReportCliParse does.
template <class T>
int ParseCliCommand(const TCliTable<T> &table, const QStringList &arguments, T &parsed)
{
    return ReportCliParse(table.Syntax(), table.Parse(arguments, parsed));
}
