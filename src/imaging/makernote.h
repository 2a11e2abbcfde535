#pragma once
// Maker-note decoding: the camera maker's own directory inside the EXIF block.
#include <QtGlobal>

class TImageInfo;

class TmsInfo
{
public:
    // Decodes the maker note whose bytes lie at noteOffset (relative to the TIFF header)
    // and appends its items to the found-tag list of info, as entries with tag number 1,
    // the maker as name and the item's name as description. The maker is chosen by the
    // first five letters of the upper-case camera make (CANON, CASIO, FUJIF, MINOL, NIKON,
    // OLYMP, SANYO, SEIKO); a note of another maker, or one whose layout is not
    // recognised, adds nothing. Returns the number of items added.
    static int decode(TImageInfo &info, quint32 noteOffset, quint32 noteSize);
};
