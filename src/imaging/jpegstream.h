#pragma once
// Where the first picture of a JPEG file ends. A stereo camera's MPO file, a phone's
// picture with a gain map and other multi-picture files store further JPEG streams after
// the first one's end-of-image marker; a tool that rewrites only the first stream (the
// lossless turn) would drop them.
//
// Plain C++ without Qt: the effects module compiles this file too.
#include <cstddef>
#include <cstdint>

namespace jpegstream {

// The offset just past the end-of-image marker (FF D9) of the first JPEG stream, found by
// walking its segments and skipping over the entropy-coded data of every scan; 0 when the
// bytes do not start with a start-of-image marker or end before the stream does.
// Untrusted input: every length is checked against the buffer before it is used.
std::size_t firstStreamEnd(const std::uint8_t *data, std::size_t size);

// True when bytes after the first stream's end carry data: anything other than the zero
// or FF padding some cameras write up to a block size. False when the end is not found
// (a cut or damaged stream is the decoder's to refuse).
bool hasDataAfterFirstStream(const std::uint8_t *data, std::size_t size);

} // namespace jpegstream
