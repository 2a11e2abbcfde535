#pragma once
// The SPM list file: one line per stereo pair of the job, in the format the stereo editor
// reads for its batch jobs and slide shows:
//   21,0,0,0,0,<left path>,<right path>,<n>) <new name>,CR LF
// written at the end of a run into the job log's phase 2.
#include <QByteArray>
#include <QString>
#include <functional>

class ListRowModel;
class TDatensatz;
class TFileOps;
class TProtokoll;
class TRunProgress;

// One line of the list, CR LF included (UTF-8; paths as they are, without quoting).
QByteArray SpmListLine(const QString &leftPath, const QString &rightPath, int number,
                       const QString &newName);

// path made absolute against base when it is relative (empty stays empty).
QString ResolveSpmListPath(const QString &path, const QString &base);

struct TSpmListRequest
{
    const ListRowModel *leftList = nullptr;
    QString listFile;         // absolute path of the list
    bool sourcePaths = false; // the job neither copied nor moved
    bool renameSource = false;
    bool renameDestination = false;
    // The file an entry's picture really ended up in at the destination (empty: unknown,
    // the path is computed from the entry's target folder and names).
    std::function<QString(const TDatensatz *)> destinationPath;
};

struct TSpmListOutcome
{
    bool result = true;       // false only for an empty file name or no entries
    bool writeFailed = false; // the file could not be written (a red line says why)
    int pairs = 0;            // lines written
};

// Writes the list: pairs of the left list whose two images both take part in the job and
// both exist where the job left them. A pair with a missing file is left out with a red
// line. The file is replaced as a whole, through a temporary file beside it.
TSpmListOutcome WriteSpmListFile(const TSpmListRequest &request, TProtokoll &log,
                                 TRunProgress &progress, TFileOps &ops);
