#pragma once
// Texts that come from outside the program (file and folder names, EXIF texts, messages of
// the system) written so that they show as one line of what they are: control characters
// become visible symbols instead of breaking or shifting lines, and bytes that are not
// UTF-8 are written as escapes instead of all turning into the same replacement character.
#include <QByteArray>
#include <QString>

// text with every control character replaced by a visible stand-in: C0 controls and DEL by
// their symbols of the Control Pictures block (a line feed shows as U+240A, a tab as
// U+2409), the line and paragraph separators and NEL by U+2424, the other C1 controls by
// "\u0080"-style escapes. With keepTabs a tab stays a tab (log lines use it to separate
// columns).
QString VisibleText(const QString &text, bool keepTabs = false);

// A name as the file system holds it, for showing: valid UTF-8 is decoded, every byte that
// is not part of a valid UTF-8 sequence is written as "\xNN" (two lower-case hex digits).
// Control characters stay as they are (VisibleText handles them).
QString NameFromBytes(const QByteArray &bytes);
