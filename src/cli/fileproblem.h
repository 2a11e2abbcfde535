#pragma once
// Why a file named on the command line cannot be read, in words for standard error.
#include <QString>

// Empty for a regular file that can be opened for reading; otherwise the reason: "no such
// file", "not a file", "name too long for the file system", "cannot be read (...)", or the
// system's text for any other failure.
QString FileProblem(const QString &path);

// The bytes of a command-line argument that is not valid UTF-8, made printable (other
// bytes as \xNN), for a message naming it.
QString PrintableBytes(const char *argument);
