// Fuzz target: the rename mask evaluation over random masks, file names, metadata texts
// and text fields. Every name it returns must be a safe file name of bounded length.
//
// Input layout: one byte of switches, then up to seven UTF-8 fields separated by 0x1F:
// mask, left path, right path, text field 1..3 (New), one metadata text.
#include "naming/renamemask.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <cstdlib>
#include <limits>

namespace {

bool isSafeName(const QString &name)
{
    static const QString forbidden = QStringLiteral("?*</|\\>:\"");
    if (name.size() > MaxRenameTextLength)
        return false;
    if (!name.isEmpty()) {
        for (const QChar end : {name.front(), name.back()}) {
            if (end.unicode() <= 0x20 || end.isSpace())
                return false;
        }
    }
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        if (forbidden.contains(c) || c.category() == QChar::Other_Control)
            return false;
        if (c.isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static const QLocale locales[] = {QLocale::c(), QLocale(QLocale::German, QLocale::Germany),
                                      QLocale(QLocale::Spanish, QLocale::Spain),
                                      QLocale(QLocale::Persian, QLocale::Iran)};
    const uint8_t switches = data[0];
    const QList<QByteArray> fields =
        QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)).split('\x1f');
    const auto field = [&](int i) {
        return i < fields.size() ? QString::fromUtf8(fields[i]) : QString();
    };

    MaskEntry left;
    left.SourcePath = field(1);
    left.ListSide = MaskListLeft;
    left.CounterValue = qint64(switches) * 977 - 5000;
    MaskEntry right;
    right.SourcePath = field(2);
    right.ListSide = (switches & 0x40) ? 0 : MaskListRight;
    right.CounterValue = (switches & 0x20) ? std::numeric_limits<qint64>::max() : 3;
    right.Attribute = (switches & 0x10) ? 6 : 2;
    for (MaskEntry *e : {&left, &right}) {
        for (QString &text : e->Metadata.Str)
            text = field(6);
        e->Metadata.FileTime = 39806.64595;
        e->Metadata.CaptureTime = 39563.5;
        e->Metadata.FileSize = qint64(size) << (switches & 0x3f);
    }
    if (switches & 0x80) {
        left.Partner = &right;
        right.Partner = &left;
    }

    MaskContext context;
    context.Now = [] { return QDateTime(QDate(2008, 4, 26), QTime(15, 30, 10)); };
    context.Locale = locales[switches & 3];

    TRenameTextFields textFields;
    for (int k = 0; k < 3; ++k)
        textFields[k] = {(switches >> (2 + k)) % 3, field(3 + k).left(3), field(3 + k)};

    const QString mask = field(0);
    const QString name =
        EvaluateRenameMask(mask, (switches & 8) ? right : left, textFields, context);
    if (!isSafeName(name))
        std::abort();
    const QString cleaned = CleanFileName(mask, false);
    if (cleaned.isEmpty() || !isSafeName(cleaned))
        std::abort();
    return 0;
}
