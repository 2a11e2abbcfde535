#pragma once
// Comparison of file paths as the file system compares them: letter case is ignored only
// where the file system ignores it (Windows, macOS); on Linux two names that differ in
// case are two files.
#include <QString>

inline constexpr Qt::CaseSensitivity PathCaseSensitivity =
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    Qt::CaseInsensitive;
#else
    Qt::CaseSensitive;
#endif

inline bool pathsEqual(const QString &a, const QString &b)
{
    return a.compare(b, PathCaseSensitivity) == 0;
}

// A key under which equal paths (pathsEqual) are equal strings, for hashing and sorting.
inline QString pathKey(const QString &path)
{
    return PathCaseSensitivity == Qt::CaseInsensitive ? path.toCaseFolded() : path;
}
