#include "imaging/makernote.h"

#include "imaging/exifreader.h"
#include "imaging/exifvalues.h"

#include <cstring>
#include <span>

namespace {

struct TMakerItem
{
    quint16 tag;
    const char *name;
    const char *valueList = nullptr;
};

// --- Canon ------------------------------------------------------------------------------

constexpr quint16 canonCameraSettingsTag = 0x0001;

constexpr TMakerItem canonItems[] = {
    {0x0006, "Image type"}, {0x0007, "Firmware version"},     {0x0008, "Image number"},
    {0x0009, "Owner name"}, {0x000C, "Camera serial number"}, {0x0010, "Model ID"},
};

// The camera-settings array (tag 1) holds 16-bit values; the item index counts from the
// array's first value, which is the array's byte size.
constexpr TMakerItem canonCameraSettings[] = {
    {1, "Macro mode", "1:Macro,2:Normal"},
    {2, "Self-timer"},
    {3, "Compression Rate", "0:SuperFine,1:Fine,2:Normal,3:Basic,5:SuperFine"},
    {4, "Flash mode",
     "0:Off,1:Auto,2:On,3:Red-eye reduction,4:Slow-sync,5:Red-eye reduction (Auto),"
     "6:Red-eye reduction (On),16:External flash"},
    {5, "Drive mode", "0:Single,1:Continuous"},
    {7, "Focus mode",
     "0:One-Shot AF,1:AI Servo AF,2:AI Focus AF,3:Manual Focus,4:Single,5:Continuous,"
     "6:Manual Focus"},
    {10, "Image size", "0:Large,1:Medium,2:Small"},
    {11, "Easy shooting mode",
     "0:Full auto,1:Manual,2:Landscape,3:Fast shutter,4:Slow shutter,5:Night,6:Gray Scale,"
     "7:Sepia,8:Portrait,9:Sports,10:Macro,11:Black & White,12:Pan focus,13:Vivid,"
     "14:Neutral"},
    {12, "Digital zoom", "0:None,1:2x,2:4x"},
    {13, "Contrast", "-1:Low,0:Normal,1:High"},
    {14, "Saturation", "-1:Low,0:Normal,1:High"},
    {15, "Sharpness", "-1:Low,0:Normal,1:High"},
    {16, "ISO speed", "0:Not set,15:Auto,16:50,17:100,18:200,19:400"},
    {17, "Metering mode", "0:Default,1:Spot,2:Average,3:Evaluative,4:Partial,5:Center-weighted"},
    {18, "Focus type", "0:Manual,1:Auto,3:Close-up (macro),8:Locked (pan mode)"},
    {20, "Exposure mode",
     "0:Easy shooting,1:Program AE,2:Shutter speed priority AE,3:Aperture-priority AE,"
     "4:Manual,5:Depth-of-field AE"},
};

// --- Nikon ------------------------------------------------------------------------------

// Old Coolpix notes ("Nikon", 0, 1, 0).
constexpr TMakerItem nikon1Items[] = {
    {0x0003, "Quality",
     "1:VGA Basic,2:VGA Normal,3:VGA Fine,4:SXGA Basic,5:SXGA Normal,6:SXGA Fine"},
    {0x0004, "Color mode", "1:Color,2:Monochrome"},
    {0x0005, "Image adjustment", "0:Normal,1:Bright+,2:Bright-,3:Contrast+,4:Contrast-"},
    {0x0006, "CCD sensitivity", "0:ISO80,2:ISO160,4:ISO320,5:ISO100"},
    {0x0007, "White balance",
     "0:Auto,1:Preset,2:Daylight,3:Incandescence,4:Fluorescence,5:Cloudy,6:SpeedLight"},
    {0x0008, "Focus"},
    {0x000A, "Digital zoom"},
    {0x000B, "Converter", "0:None,1:Fisheye"},
};

// Later notes, with or without their own TIFF header.
constexpr TMakerItem nikon3Items[] = {
    {0x0001, "Maker note version"},
    {0x0002, "ISO setting"},
    {0x0003, "Color mode"},
    {0x0004, "Quality"},
    {0x0005, "White balance"},
    {0x0006, "Image sharpening"},
    {0x0007, "Focus mode"},
    {0x0008, "Flash setting"},
    {0x0009, "Flash mode"},
    {0x000B, "White balance fine tune"},
    {0x000F, "ISO selection"},
    {0x0080, "Image adjustment"},
    {0x0081, "Tone compensation"},
    {0x0082, "Auxiliary lens"},
    {0x0084, "Lens"},
    {0x0085, "Manual focus distance"},
    {0x0086, "Digital zoom"},
    {0x0088, "AF focus position"},
    {0x0095, "Noise reduction"},
    {0x00A7, "Shutter count"},
};

// --- Olympus and Seiko Epson ------------------------------------------------------------

constexpr TMakerItem olympusItems[] = {
    {0x0200, "Special mode"},
    {0x0201, "JPEG quality", "1:SQ,2:HQ,3:SHQ,4:RAW"},
    {0x0202, "Macro", "0:Normal,1:Macro,2:Super Macro"},
    {0x0204, "Digital zoom"},
    {0x0207, "Firmware version"},
    {0x0208, "Picture info"},
    {0x0209, "Camera ID"},
};

// --- Fujifilm ---------------------------------------------------------------------------

constexpr TMakerItem fujifilmItems[] = {
    {0x0000, "Version"},
    {0x1000, "Quality"},
    {0x1001, "Sharpness", "1:Soft,2:Soft,3:Normal,4:Hard,5:Hard"},
    {0x1002, "White balance",
     "0:Auto,256:Daylight,512:Cloudy,768:Daylight fluorescent,769:Day white fluorescent,"
     "770:White fluorescent,1024:Incandescent,3840:Custom"},
    {0x1003, "Color saturation", "0:Normal,256:High,512:Low"},
    {0x1004, "Tone", "0:Normal,256:High,512:Low"},
    {0x1010, "Flash mode", "0:Auto,1:On,2:Off,3:Red-eye reduction"},
    {0x1011, "Flash strength"},
    {0x1020, "Macro", "0:Off,1:On"},
    {0x1021, "Focus mode", "0:Auto,1:Manual"},
    {0x1030, "Slow sync", "0:Off,1:On"},
    {0x1031, "Picture mode",
     "0:Auto,1:Portrait,2:Landscape,4:Sports,5:Night,6:Program AE,256:Aperture priority AE,"
     "512:Shutter priority AE,768:Manual exposure"},
    {0x1100, "Continuous/bracketing", "0:Off,1:On"},
    {0x1300, "Blur warning", "0:No,1:Yes"},
    {0x1301, "Focus warning", "0:No,1:Yes"},
    {0x1302, "AE warning", "0:No,1:Yes"},
};

// --- Casio ------------------------------------------------------------------------------

constexpr TMakerItem casio1Items[] = {
    {0x0001, "Recording mode", "1:Single shutter,2:Panorama,3:Night scene,4:Portrait,5:Landscape"},
    {0x0002, "Quality", "1:Economy,2:Normal,3:Fine"},
    {0x0003, "Focusing mode", "2:Macro,3:Auto focus,4:Manual focus,5:Infinity"},
    {0x0004, "Flash mode", "1:Auto,2:On,3:Off,4:Red-eye reduction"},
    {0x0005, "Flash intensity", "11:Weak,13:Normal,15:Strong"},
    {0x0006, "Object distance"},
    {0x0007, "White balance", "1:Auto,2:Tungsten,3:Daylight,4:Fluorescent,5:Shade,129:Manual"},
    {0x000A, "Digital zoom", "65536:Off,65537:2X"},
    {0x000B, "Sharpness", "0:Normal,1:Soft,2:Hard"},
    {0x000C, "Contrast", "0:Normal,1:Low,2:High"},
    {0x000D, "Saturation", "0:Normal,1:Low,2:High"},
    {0x0014, "CCD sensitivity"},
};

// Notes that start with "QVC".
constexpr TMakerItem casio2Items[] = {
    {0x0002, "Preview thumbnail dimensions"},
    {0x0008, "Quality mode"},
    {0x0009, "Image size"},
    {0x000D, "Focus mode"},
    {0x0014, "ISO sensitivity"},
    {0x0019, "White balance"},
    {0x001D, "Focal length"},
    {0x001F, "Saturation"},
    {0x0020, "Contrast"},
    {0x0021, "Sharpness"},
    {0x3000, "Record mode"},
    {0x3002, "Quality", "1:Economy,2:Normal,3:Fine"},
};

// --- Minolta ----------------------------------------------------------------------------

constexpr TMakerItem minoltaItems[] = {
    {0x0000, "Maker note version"},
    {0x0040, "Compressed image size"},
    {0x0100, "Scene mode"},
    {0x0101, "Color mode"},
    {0x0102, "Image quality", "0:Raw,1:Super Fine,2:Fine,3:Standard,4:Economy,5:Extra Fine"},
    {0x0104, "Flash exposure compensation"},
    {0x0107, "Image stabilization", "1:Off,5:On"},
    {0x010A, "Zone matching", "0:ISO Setting Used,1:High Key,2:Low Key"},
    {0x010B, "Color temperature"},
    {0x010C, "Lens ID"},
};

// --- Sanyo ------------------------------------------------------------------------------

constexpr TMakerItem sanyoItems[] = {
    {0x0200, "Special mode"},
    {0x0201, "JPEG quality"},
    {0x0202, "Macro"},
    {0x0204, "Digital zoom"},
    {0x0207, "Software version"},
    {0x0208, "Picture info"},
    {0x0209, "Camera ID"},
    {0x020E, "Sequential shot method"},
    {0x0210, "Wide range"},
    {0x0211, "Color adjustment mode"},
    {0x0213, "Quick shot"},
    {0x0214, "Self-timer"},
    {0x0216, "Voice memo"},
    {0x0217, "Record shutter release"},
    {0x0218, "Flicker reduce"},
    {0x0219, "Optical zoom"},
    {0x021B, "Digital zoom"},
    {0x021D, "Light source special"},
    {0x021E, "Resaved"},
    {0x021F, "Scene select"},
    {0x0223, "Manual focus distance"},
    {0x0224, "Sequence shot interval"},
};

// -----------------------------------------------------------------------------------------

constexpr int maxItems = 1000;

// Where a maker note's directory lies and how its offsets are counted.
struct TNoteLayout
{
    TExifBytes view;       // offsets in the note's entries are relative to view.data()
    quint32 directory = 0; // the directory's offset in view
    std::span<const TMakerItem> items;
    const char *maker = "";
    bool canonSettings = false;
};

// True when the note (available bytes at offset) starts with the given signature, whose
// length is that of the array (zero bytes inside count, the final terminator does not).
template <std::size_t N>
bool startsWith(const TExifBytes &bytes, quint32 offset, quint32 available, const char (&text)[N])
{
    constexpr quint32 n = N - 1;
    return n <= available && bytes.contains(offset, n) &&
           std::memcmp(bytes.data() + offset, text, n) == 0;
}

// A view of the block from base to its end, in the given byte order.
TExifBytes subView(const TExifBytes &bytes, quint32 base, bool bigEndian)
{
    if (base > bytes.size())
        return {};
    return TExifBytes(bytes.data() + base, bytes.size() - base, bigEndian);
}

// Finds the layout of a note by the maker key and the note's signature. False when the
// maker is not one the decoder knows or the note does not look like its maker's.
bool findLayout(const QByteArray &key, const TExifBytes &tiff, quint32 at, quint32 size,
                TNoteLayout &layout)
{
    if (key == "CANON") {
        layout = {tiff, at, canonItems, "Canon", true};
        return true;
    }
    if (key == "NIKON") {
        if (startsWith(tiff, at, size, "Nikon\0\x02") && size >= 18) {
            // "Nikon", 0, version (2 bytes), 2 pad bytes, then a TIFF header of its own
            // whose offsets count from that header.
            const quint32 header = at + 10;
            if (startsWith(tiff, header, size - 10, "II") ||
                startsWith(tiff, header, size - 10, "MM")) {
                const TExifBytes view = subView(tiff, header, tiff.data()[header] == 'M');
                quint32 first = 0;
                if (!view.u32(4, first))
                    return false;
                layout = {view, first, nikon3Items, "Nikon"};
                return true;
            }
            return false;
        }
        if (startsWith(tiff, at, size, "Nikon\0\x01")) {
            layout = {tiff, at + 8, nikon1Items, "Nikon"};
            return true;
        }
        layout = {tiff, at, nikon3Items, "Nikon"};
        return true;
    }
    if (key == "OLYMP") {
        if (startsWith(tiff, at, size, "OLYMPUS\0II") ||
            startsWith(tiff, at, size, "OLYMPUS\0MM")) {
            // Newer notes: 12-byte header with its own byte order, offsets from the note.
            layout = {subView(tiff, at, tiff.data()[at + 8] == 'M'), 12, olympusItems, "Olympus"};
            return true;
        }
        if (startsWith(tiff, at, size, "OLYMP\0")) {
            layout = {tiff, at + 8, olympusItems, "Olympus"};
            return true;
        }
        return false;
    }
    if (key == "SEIKO") {
        if (!startsWith(tiff, at, size, "EPSON\0"))
            return false;
        layout = {tiff, at + 8, olympusItems, "Epson"};
        return true;
    }
    if (key == "FUJIF") {
        // "FUJIFILM", then the directory's offset (32 bits); the note is always
        // little-endian and counts its offsets from its own start.
        if (!startsWith(tiff, at, size, "FUJIFILM") || size < 12)
            return false;
        const TExifBytes view = subView(tiff, at, false);
        quint32 first = 0;
        if (!view.u32(8, first))
            return false;
        layout = {view, first, fujifilmItems, "Fujifilm"};
        return true;
    }
    if (key == "CASIO") {
        if (startsWith(tiff, at, size, "QVC\0")) {
            layout = {tiff, at + 6, casio2Items, "Casio"};
            return true;
        }
        layout = {tiff, at, casio1Items, "Casio"};
        return true;
    }
    if (key == "MINOL") {
        layout = {tiff, at, minoltaItems, "Minolta"};
        return true;
    }
    if (key == "SANYO") {
        if (!startsWith(tiff, at, size, "SANYO\0"))
            return false;
        layout = {tiff, at + 8, sanyoItems, "Sanyo"};
        return true;
    }
    return false;
}

const TMakerItem *findItem(std::span<const TMakerItem> items, quint16 tag)
{
    for (const TMakerItem &item : items) {
        if (item.tag == tag)
            return &item;
    }
    return nullptr;
}

} // namespace

int TmsInfo::decode(TImageInfo &info, quint32 noteOffset, quint32 noteSize)
{
    if (info.m_tiffStart > quint32(info.m_block.size()))
        return 0;
    const TExifBytes tiff(
        reinterpret_cast<const uchar *>(info.m_block.constData()) + info.m_tiffStart,
        quint32(info.m_block.size()) - info.m_tiffStart, info.m_byteOrder == TByteOrder::BigEndian);
    if (!tiff.contains(noteOffset, noteSize))
        return 0;

    const QByteArray key = info.CameraMake.toUpper().left(5).toLatin1();
    TNoteLayout layout;
    if (!findLayout(key, tiff, noteOffset, noteSize, layout))
        return 0;

    // Directory: entry count (16 bits), then 12-byte entries: tag, format, count, value
    // or offset. Values of up to 4 bytes lie in the entry.
    const TExifBytes &view = layout.view;
    quint16 count = 0;
    if (!view.u16(layout.directory, count) ||
        !view.contains(layout.directory + 2u, quint64(count) * 12))
        return 0;

    const QLatin1String maker(layout.maker);
    int added = 0;
    for (quint32 i = 0; i < count && added < maxItems; ++i) {
        const quint32 entry = layout.directory + 2 + i * 12;
        const uchar *p = view.data() + entry;
        const quint16 tag = view.get16(p);
        const quint16 format = view.get16(p + 2);
        const quint32 valueCount = view.get32(p + 4);
        const int size = exifFormatSize(format);
        if (size == 0)
            continue;
        const quint64 bytes = quint64(valueCount) * size;
        const quint32 valueAt = bytes <= 4 ? entry + 8 : view.get32(p + 8);
        if (!view.contains(valueAt, bytes))
            continue;
        const TExifValueRef value{format, valueCount, valueAt};

        if (layout.canonSettings && tag == canonCameraSettingsTag && (format == 3 || format == 8)) {
            for (const TMakerItem &setting : canonCameraSettings) {
                if (setting.tag >= valueCount)
                    continue;
                // The settings are signed 16-bit values (-1 marks "not set" or "low").
                const TExifValueRef one{8, 1, valueAt + setting.tag * 2u};
                const TExifTextRule rule{setting.valueList};
                TTagEntry item;
                item.Tag = 1;
                item.Name = maker;
                item.Desc = QLatin1String(setting.name);
                item.ValueList = setting.valueList;
                item.Data = exifValueText(view, one, rule);
                item.Format = format;
                item.Count = 1;
                item.Size = 2;
                item.Offset = quint32(view.data() - tiff.data()) + one.offset;
                item.Number = exifFirstNumber(view, one);
                info.m_tags.append(item);
                ++added;
            }
            continue;
        }

        const TMakerItem *known = findItem(layout.items, tag);
        if (!known)
            continue;
        TTagEntry item;
        item.Tag = 1;
        item.Name = maker;
        item.Desc = QLatin1String(known->name);
        item.ValueList = known->valueList;
        item.Data = exifValueText(view, value, TExifTextRule{known->valueList});
        item.Format = format;
        item.Count = valueCount;
        item.Size = quint32(bytes);
        item.Offset = quint32(view.data() - tiff.data()) + valueAt;
        item.Number = exifFirstNumber(view, value);
        info.m_tags.append(item);
        ++added;
    }
    return added;
}
