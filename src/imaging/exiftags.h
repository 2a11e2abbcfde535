#pragma once
// Name tables of the tags the EXIF reader knows: the standard TIFF, EXIF and
// interoperability tags, and the GPS tags. A few tags carry a value list (number:text
// pairs), a format text or the flash rule that turn their values into display texts.
#include <QtGlobal>

struct TExifTagInfo
{
    quint16 tag = 0;
    const char *name = "";            // e.g. "ExposureTime"; Latin-1
    const char *description = "";     // e.g. "Exposure Time"; Latin-1
    const char *valueList = nullptr;  // "1:Normal,3:Rotated 180°,..." (UTF-8)
    const char *formatText = nullptr; // "%s sec", "F%0.1f", "%5.2f mm"
    bool flashRule = false;           // the value text is built by the flash rule
};

// The entry of a tag of the main, EXIF, interoperability and sub-directories; nullptr for
// a tag the table does not know.
const TExifTagInfo *findStandardTag(quint16 tag);
// The entry of a tag of the GPS directory; nullptr for an unknown one.
const TExifTagInfo *findGpsTag(quint16 tag);

// The table sizes, for tests.
int standardTagCount();
int gpsTagCount();
