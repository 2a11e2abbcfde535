// Untrusted bytes through the stereo file reader (the MP index, the JPS descriptor), the
// split, the rebuild recipe of a moved file and the MPO writer's plan. What must hold: the
// views lie inside the file; an MPO's view files and its recipe rebuild the file exactly; a
// recipe read from damaged bytes never reads past them; the writer's pieces lie inside its
// pictures and add up to the planned size.
#include "imaging/mpowriter.h"
#include "imaging/stereofile.h"
#include "imaging/stereosplit.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace {

// JPS halves are decoded when off the MCU grid: small pictures only, to keep runs fast.
constexpr qint64 MaxJpsPixels = 1 << 20;

void checkMpo(TByteSource &source, const QByteArray &bytes, const TStereoFile &file)
{
    for (const TStereoView &view : file.views) {
        if (view.offset < 0 || view.length < 4 || view.offset > bytes.size() || view.length > bytes.size() - view.offset)
            __builtin_trap();
    }
    const auto views = SplitStereoFile(source, file);
    const auto remainder = MpoRemainder(source, file);
    if (!views || !remainder)
        __builtin_trap();
    const auto stored = TStereoRemainder::parse(remainder->serialize());
    if (!stored || RebuildStereoFile((*views)[0].jpeg, (*views)[1].jpeg, *stored) != bytes)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    TMemorySource source(bytes);
    const TStereoFile mpo = ReadStereoFile(source, false);
    if (mpo.format == TStereoFormat::Mpo)
        checkMpo(source, bytes, mpo);
    const TStereoFile jps = ReadStereoFile(source, true);
    if (jps.format == TStereoFormat::Jps) {
        for (const TStereoView &view : jps.views) {
            if (view.width < 1 || view.height < 1 || view.x + view.width > jps.width || view.y + view.height > jps.height)
                __builtin_trap();
        }
        if (qint64(jps.width) * jps.height <= MaxJpsPixels)
            (void)SplitStereoFile(source, jps);
    }
    if (const auto remainder = TStereoRemainder::parse(bytes))
        (void)RebuildStereoFile(bytes.left(64), bytes.right(64), *remainder);
    // The bytes as both pictures of a new MPO: its pieces lie inside them and add up.
    if (const auto plan = PlanMpo(source, source)) {
        qint64 total = 0;
        for (const TMpoPlan::Piece &piece : plan->pieces) {
            if (piece.source >= 0 && (piece.offset < 0 || piece.length < 0 || piece.offset > bytes.size() ||
                                      piece.length > bytes.size() - piece.offset))
                __builtin_trap();
            total += piece.source < 0 ? piece.bytes.size() : piece.length;
        }
        if (total != plan->size)
            __builtin_trap();
    }
    return 0;
}
