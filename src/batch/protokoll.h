#pragma once
// The job log: lines of text, each with one colour and one font style. The checks, the
// wizard's history, the run and the result pages write into it; the log window shows it
// and saves it as Rich Text Format.
#include <QColor>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVector>

namespace logcolor {
inline const QColor Black{0, 0, 0};
inline const QColor Red{255, 0, 0};
inline const QColor Green{0, 128, 0};
inline const QColor Blue{0, 0, 255};
inline const QColor Fuchsia{255, 0, 255};
} // namespace logcolor

enum class LogStyle
{
    Normal,
    Bold,
};

struct TProtokollLine
{
    QString Text;
    QColor Color = logcolor::Black;
    LogStyle Style = LogStyle::Normal;

    bool operator==(const TProtokollLine &) const = default;
};

// Fills a format with "%s" (text), "%d" (integer) and "%4d" (integer padded with blanks
// on the left to four characters) from args, in order; "%%" is a percent sign. A
// directive without an argument stays as it is.
QString FormatLogText(const QString &format, const QVariantList &args);

class TProtokoll : public QObject
{
    Q_OBJECT
public:
    explicit TProtokoll(QObject *parent = nullptr);

    // Appends one line; with withTime, TAB and the current date and time follow the text.
    // Control characters other than TAB in text are shown as symbols (VisibleText).
    void AddLine(const QString &text, const QColor &color = logcolor::Black,
                 LogStyle style = LogStyle::Normal, bool withTime = false);
    void AddFormatted(const QString &format, const QVariantList &args,
                      const QColor &color = logcolor::Black, LogStyle style = LogStyle::Normal,
                      bool withTime = false);
    void Clear();
    void ReplaceContents(const QVector<TProtokollLine> &lines);

    const QVector<TProtokollLine> &Lines() const { return m_lines; }
    // The lines as plain text, one per line ("\n" after each).
    QString PlainText() const;

Q_SIGNALS:
    void lineAdded(int index);
    void contentsReset(); // after Clear and ReplaceContents

private:
    QVector<TProtokollLine> m_lines;
};

// The current date and time in the system's date-time format, as the log shows it.
QString LogDateTimeText();
