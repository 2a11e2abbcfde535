#pragma once
// Entries, clock and locale pinned for the rename mask tests.
#include "imaging/jpegdata.h"
#include "naming/renamemask.h"
#include "support/qstringprint.h"

#include <QDateTime>
#include <QLocale>

inline MaskEntry maskImage(const QString &path, int listSide, qint64 counter)
{
    MaskEntry e;
    e.SourcePath = path;
    e.ListSide = listSide;
    e.CounterValue = counter;
    return e;
}

inline double maskDays(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return DateTimeToDays(QDateTime(QDate(y, mo, d), QTime(h, mi, s)));
}

// The current time is 12 May 2009, 14:30:00; texts are those of the C locale.
inline MaskContext pinnedContext(const QLocale &locale = QLocale::c())
{
    MaskContext c;
    c.Now = [] { return QDateTime(QDate(2009, 5, 12), QTime(14, 30, 0)); };
    c.Locale = locale;
    return c;
}

// Evaluates with text fields that leave everything as it is.
inline QString evalMask(const QString &mask, const MaskEntry &entry,
                        const MaskContext &context = pinnedContext())
{
    TRenameTextFields fields;
    return EvaluateRenameMask(mask, entry, fields, context);
}
