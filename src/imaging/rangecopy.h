#pragma once
// Copying byte ranges between open files without passing them through the program's memory
// (copy_file_range, or read and write where the file system cannot): how a stereo file's
// view files and a new MPO file are written from the files they come from.
#include <QByteArray>
#include <QString>

// Appends length bytes of in, from offset, to out at its current end. False, with the
// reason in *error, when fewer could be copied.
bool CopyFileRange(int in, qint64 offset, qint64 length, int out, QString *error = nullptr);

// Appends the bytes to out.
bool WriteAll(int out, const QByteArray &bytes, QString *error = nullptr);
