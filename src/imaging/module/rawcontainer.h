#pragma once
// What a RAW file is before LibRaw sees it. LibRaw tries dozens of formats on any bytes it
// is given, and the parsers of the rarely used ones, and its model-name rewriting for some
// makers, read and write past their buffers on crafted files. The module hands LibRaw only
// the containers of the formats it names (its file name suffixes) and no file whose names
// claim a maker whose handling in LibRaw is known to overrun.
#include "imaging/bytesource.h"

namespace gflcore {

enum class RawContainer
{
    Unknown,
    Tiff,      // "II*\0" / "MM\0*": CR2, NEF, NRW, ARW, DNG, PEF, SRW
    Olympus,   // "IIRO", "IIRS", "MMOR": ORF
    Panasonic, // "IIU\0": RW2
    Canon3,    // an ISO media file of brand "crx ": CR3
    Fujifilm,  // "FUJIFILMCCD-RAW ": RAF
};

RawContainer rawContainerOf(TByteSource &source);

// True when a TIFF-structured file's directories (the chain from the header, their
// SubIFDs and EXIF directories) name, as its make, model or unique camera model, a maker
// whose model names LibRaw rewrites past the end of its buffers (Hasselblad, Imacon).
// Untrusted input: every offset is checked against the file; loops are bounded.
bool namesOverrunMaker(TByteSource &source, RawContainer container);

} // namespace gflcore
