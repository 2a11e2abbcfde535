#pragma once
// Internals shared by the source files of the core module.
#include <cstdint>
#include <string>
#include <vector>

namespace gflcore {

struct ExifEntry
{
    std::uint32_t flag = 0; // GFL_EXIF_*_IFD
    std::uint32_t tag = 0;
    std::string name;
    std::string value;
};

// What a loaded bitmap carries besides its pixels (GFL_BITMAP::MetaData).
struct BitmapMetaData
{
    std::vector<ExifEntry> exif;
};

// The EXIF entries of the main, EXIF, interoperability and GPS directories of the file,
// in file order, with their values as display texts. Empty when the file has none or
// cannot be read. Thread-safe.
std::vector<ExifEntry> readExifEntries(const std::string &path);

// One-time set-up and release of the metadata library.
void initialiseExif();

} // namespace gflcore
