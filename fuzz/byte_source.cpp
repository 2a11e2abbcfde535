// The file byte source and the chunked stream over it, as the EXIF reader walks a file:
// the input is written to a file and read back through TFileSource and TByteStream with a
// chunk size and a sequence of byte reads, block reads and skips taken from its first
// bytes. Every byte the stream hands out must be the file's byte at that position, and
// the position must follow the reads exactly.
#include "imaging/bytesource.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

const std::string &inputPath()
{
    static const std::string path =
        "/tmp/duomira_fuzz_byte_source_" + std::to_string(::getpid()) + ".bin";
    return path;
}

void removeInput()
{
    std::remove(inputPath().c_str());
}

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    std::atexit(removeInput);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    // [chunk size] [operation count] [operations...] [file bytes...]
    const qint64 chunk = 1 + data[0];
    const std::size_t operations = std::min<std::size_t>(data[1], size - 2);
    const std::uint8_t *ops = data + 2;
    const char *file = reinterpret_cast<const char *>(data + 2 + operations);
    const qint64 fileSize = qint64(size - 2 - operations);

    std::FILE *f = std::fopen(inputPath().c_str(), "wb");
    if (!f)
        return 0;
    const bool written = std::fwrite(file, 1, std::size_t(fileSize), f) == std::size_t(fileSize);
    if (std::fclose(f) != 0 || !written)
        return 0;

    TFileSource source;
    check(source.open(QString::fromStdString(inputPath())) == TFileSource::OpenResult::Opened);
    check(source.size() == fileSize);
    TByteStream stream(source, chunk);
    qint64 expected = 0;
    std::vector<char> buffer(512);
    for (std::size_t i = 0; i < operations; ++i) {
        const int amount = ops[i] >> 2;
        switch (ops[i] & 3) {
        case 0: { // one byte
            uchar byte = 0;
            const bool got = stream.getByte(byte);
            check(got == (expected < fileSize));
            if (got) {
                check(byte == uchar(file[expected]));
                ++expected;
            }
            break;
        }
        case 1: { // a block
            const qint64 n = qint64(amount) * 8;
            const qint64 got = stream.read(buffer.data(), n);
            check(got == std::clamp<qint64>(fileSize - expected, 0, n));
            check(std::equal(buffer.data(), buffer.data() + got, file + expected));
            expected += got;
            break;
        }
        case 2: { // a skip, short or long
            const qint64 n = amount < 48 ? amount : qint64(amount) * 4096;
            const bool ok = stream.skip(n);
            check(ok == (n <= fileSize - expected));
            expected = ok ? expected + n : fileSize;
            break;
        }
        default: { // a read straight from the source
            const qint64 at = fileSize ? qint64(amount) * 97 % (fileSize + 1) : 0;
            const qint64 got = source.readAt(at, buffer.data(), 64);
            check(got == std::min<qint64>(64, fileSize - at));
            check(std::equal(buffer.data(), buffer.data() + got, file + at));
            break;
        }
        }
        check(stream.pos() == expected);
    }
    return 0;
}
