// Feeds arbitrary bytes to the session file reader. A file it accepts is rebuilt into a
// session (every partner link and value was checked) and written again; the written file
// must read back with the same work in it.
#include "session/session.h"
#include "session/sessionfile.h"
#include "session/sessionopen.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const TSessionReadResult read =
        ReadSessionFile(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!read.Ok) {
        if (read.Error.isEmpty())
            std::abort();
        return 0;
    }
    const TSessionReadResult again = ReadSessionFile(WriteSessionFile(read.Snapshot));
    if (!again.Ok || SessionFingerprint(again.Snapshot) != SessionFingerprint(read.Snapshot))
        std::abort();
    TSession session;
    ApplySessionSnapshot(session, read.Snapshot, nullptr);
    if (session.Left().Count() != int(read.Snapshot.Lists[0].size()))
        std::abort();
    return 0;
}
