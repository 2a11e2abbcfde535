#pragma once
// Readable QString values in failure messages: GoogleTest finds this by argument-dependent
// lookup and prints the text in quotes instead of the object's bytes.
#include <QString>

#include <ostream>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
