#include "cli/cliparser.h"

#include <cstdio>

namespace {

QString optionUsage(const TCliOptionText &o)
{
    return o.values.isEmpty() ? o.name : o.name + QLatin1Char(' ') + o.values;
}

QString needsText(const TCliOptionText &o)
{
    return o.needs.isEmpty() ? QStringLiteral("%1 needs a value").arg(o.name) : o.needs;
}

TCliParseResult usageError(const QString &error)
{
    return {TCliParseStatus::UsageError, error};
}

} // namespace

QString CliUsageLine(const TCliSyntax &syntax)
{
    QStringList parts;
    for (const TCliOptionText &o : syntax.options)
        parts.append(o.required ? optionUsage(o) : QLatin1Char('[') + optionUsage(o) + u']');
    if (!syntax.operands.isEmpty())
        parts.append(syntax.operands);
    return parts.join(QLatin1Char(' '));
}

QString CliHelpText(const TCliSyntax &syntax)
{
    QString text = QStringLiteral("Usage: duomira-cli %1 %2\n%3\n\nOptions:\n")
                       .arg(syntax.command, CliUsageLine(syntax), syntax.summary);
    for (const TCliOptionText &o : syntax.options)
        text += QStringLiteral("  %1\n      %2\n").arg(optionUsage(o), o.help);
    text += QStringLiteral("  --help\n      print this help\n");
    if (!syntax.notes.isEmpty())
        text += u'\n' + syntax.notes + u'\n';
    return text;
}

TCliParseResult ParseCliArguments(const QList<TCliOptionText> &options, const TCliRules &rules,
                                  const QStringList &arguments,
                                  const std::function<bool(int, const QStringList &)> &take,
                                  const std::function<QString(const QString &)> &operand)
{
    int list = -1; // the list option the next operands belong to
    bool optionsEnded = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (!optionsEnded && rules.singleDashOptions && a == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const bool isOption =
            !optionsEnded && (a.startsWith(QLatin1String("--")) ||
                              (rules.singleDashOptions && a.startsWith(u'-') && a.size() > 1));
        if (!optionsEnded && (a == QLatin1String("--help") || a == QLatin1String("-h")))
            return {TCliParseStatus::Help, {}};
        if (!isOption) {
            if (list >= 0) {
                if (!take(list, {a}))
                    return usageError(needsText(options[list]));
            } else if (const QString error = operand(a); !error.isEmpty()) {
                return usageError(error);
            }
            continue;
        }
        int index = 0;
        while (index < options.size() && options[index].name != a)
            ++index;
        if (index == options.size())
            return usageError(rules.unknownOption.arg(a));
        const TCliOptionText &o = options[index];
        if (o.list) {
            list = index;
            continue;
        }
        list = -1;
        // Values are taken as they come, even when they look like options (a mask "--x").
        if (arguments.size() - 1 - i < o.valueCount)
            return usageError(needsText(o));
        const QStringList values = arguments.mid(i + 1, o.valueCount);
        i += o.valueCount;
        if (!take(index, values))
            return usageError(needsText(o));
    }
    return {};
}

int ReportCliParse(const TCliSyntax &syntax, const TCliParseResult &result)
{
    switch (result.status) {
    case TCliParseStatus::Parsed:
        return -1;
    case TCliParseStatus::Help:
        std::fputs(CliHelpText(syntax).toUtf8().constData(), stdout);
        return 0;
    case TCliParseStatus::UsageError:
        break;
    }
    std::fprintf(stderr, "duomira-cli %s: %s\nUsage: duomira-cli %s %s\n",
                 qPrintable(syntax.command), qPrintable(result.error), qPrintable(syntax.command),
                 qPrintable(CliUsageLine(syntax)));
    return 2;
}
