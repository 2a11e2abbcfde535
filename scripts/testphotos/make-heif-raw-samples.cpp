// Writes the small HEIF and DNG sample files of tests/data/photos/heic and
// tests/data/photos/raw. Run once at development time; the files are stored in the
// repository, the tests never run this program.
//
//   g++ -std=c++20 -O1 scripts/testphotos/make-heif-raw-samples.cpp -o /tmp/make-samples \
//       $(pkg-config --cflags --libs libheif libturbojpeg)
//   /tmp/make-samples tests/data/photos
//
// Every picture shows four coloured quadrants (red top left, green top right, blue bottom
// left, yellow bottom right when upright), so that a test can tell turns apart. Embedded
// thumbnails use other colours (cyan, magenta, white, black), so that a test can tell which
// picture was decoded.
#include <libheif/heif.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Rgb
{
    uint8_t r, g, b;
};

struct Picture
{
    int width = 0, height = 0;
    std::vector<uint8_t> rgb; // interleaved, top row first
};

Picture quadrants(int width, int height, const Rgb colours[4])
{
    Picture p{width, height, std::vector<uint8_t>(std::size_t(width) * height * 3)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb &c = colours[(y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0)];
            uint8_t *px = &p.rgb[(std::size_t(y) * width + x) * 3];
            px[0] = c.r, px[1] = c.g, px[2] = c.b;
        }
    return p;
}

// The picture turned a quarter counter-clockwise: what a sensor stores when the camera
// was held turned, so that orientation 6 (turn clockwise) shows it upright.
Picture turnedCounterClockwise(const Picture &p)
{
    Picture t{p.height, p.width, std::vector<uint8_t>(p.rgb.size())};
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            std::memcpy(&t.rgb[(std::size_t(p.width - 1 - x) * t.width + y) * 3],
                        &p.rgb[(std::size_t(y) * p.width + x) * 3], 3);
    return t;
}

const Rgb mainColours[4] = {{220, 30, 30}, {30, 220, 30}, {30, 30, 220}, {230, 230, 30}};
const Rgb thumbColours[4] = {{30, 220, 220}, {220, 30, 220}, {240, 240, 240}, {20, 20, 20}};

// A little-endian TIFF structure with directories of entries; values that do not fit
// in an entry go after the directories.
class Tiff
{
public:
    struct Entry
    {
        uint16_t tag, type;
        uint32_t count;
        std::vector<uint8_t> bytes;
        int pointsTo = -1; // directory index whose offset is the value
        int blob = -1;     // blob index whose offset is the value
    };
    struct Directory
    {
        std::vector<Entry> entries;
    };
    std::vector<Directory> dirs;
    std::vector<std::vector<uint8_t>> blobs;

    int add()
    {
        dirs.emplace_back();
        return int(dirs.size()) - 1;
    }
    void ascii(int d, uint16_t tag, const std::string &s)
    {
        std::vector<uint8_t> b(s.begin(), s.end());
        b.push_back(0);
        dirs[d].entries.push_back({tag, 2, uint32_t(b.size()), b});
    }
    void shorts(int d, uint16_t tag, std::vector<uint16_t> v)
    {
        std::vector<uint8_t> b;
        for (uint16_t x : v)
            b.push_back(uint8_t(x)), b.push_back(uint8_t(x >> 8));
        dirs[d].entries.push_back({tag, 3, uint32_t(v.size()), b});
    }
    void longValue(int d, uint16_t tag, uint32_t v)
    {
        dirs[d].entries.push_back({tag, 4, 1, le32(v)});
    }
    void bytes(int d, uint16_t tag, std::vector<uint8_t> v)
    {
        dirs[d].entries.push_back({tag, 1, uint32_t(v.size()), v});
    }
    void rational(int d, uint16_t tag, uint32_t n, uint32_t den)
    {
        std::vector<uint8_t> b = le32(n);
        const std::vector<uint8_t> c = le32(den);
        b.insert(b.end(), c.begin(), c.end());
        dirs[d].entries.push_back({tag, 5, 1, b});
    }
    void pointer(int d, uint16_t tag, int target)
    {
        Entry e{tag, 4, 1, le32(0)};
        e.pointsTo = target;
        dirs[d].entries.push_back(e);
    }
    void blobOffset(int d, uint16_t tag, int blob)
    {
        Entry e{tag, 4, 1, le32(0)};
        e.blob = blob;
        dirs[d].entries.push_back(e);
    }
    int addBlob(std::vector<uint8_t> b)
    {
        blobs.push_back(std::move(b));
        return int(blobs.size()) - 1;
    }

    // Directory 0 is the first one of the header; the others are reached by pointers.
    std::vector<uint8_t> build() const
    {
        std::vector<uint32_t> dirOffset(dirs.size()), blobOffsetOf(blobs.size());
        uint32_t at = 8;
        for (std::size_t i = 0; i < dirs.size(); ++i) {
            dirOffset[i] = at;
            at += 2 + 12 * uint32_t(dirs[i].entries.size()) + 4;
        }
        // Out-of-entry values, then blobs.
        std::vector<std::vector<uint32_t>> valueOffset(dirs.size());
        for (std::size_t i = 0; i < dirs.size(); ++i)
            for (const Entry &e : dirs[i].entries) {
                valueOffset[i].push_back(e.bytes.size() > 4 ? at : 0);
                if (e.bytes.size() > 4)
                    at += uint32_t((e.bytes.size() + 1) & ~std::size_t(1));
            }
        for (std::size_t i = 0; i < blobs.size(); ++i) {
            blobOffsetOf[i] = at;
            at += uint32_t((blobs[i].size() + 1) & ~std::size_t(1));
        }
        std::vector<uint8_t> out = {'I', 'I', 42, 0};
        append(out, le32(dirOffset.empty() ? 0 : dirOffset[0]));
        for (std::size_t i = 0; i < dirs.size(); ++i) {
            std::vector<Entry> sorted = dirs[i].entries;
            out.push_back(uint8_t(sorted.size())), out.push_back(0);
            for (std::size_t k = 0; k < sorted.size(); ++k) {
                const Entry &e = sorted[k];
                append(out, {uint8_t(e.tag), uint8_t(e.tag >> 8), uint8_t(e.type), 0});
                append(out, le32(e.count));
                if (e.pointsTo >= 0)
                    append(out, le32(dirOffset[std::size_t(e.pointsTo)]));
                else if (e.blob >= 0)
                    append(out, le32(blobOffsetOf[std::size_t(e.blob)]));
                else if (e.bytes.size() > 4)
                    append(out, le32(valueOffset[i][k]));
                else {
                    std::vector<uint8_t> v = e.bytes;
                    v.resize(4, 0);
                    append(out, v);
                }
            }
            append(out, le32(0)); // no next directory
        }
        for (std::size_t i = 0; i < dirs.size(); ++i)
            for (const Entry &e : dirs[i].entries)
                if (e.bytes.size() > 4) {
                    append(out, e.bytes);
                    if (e.bytes.size() % 2)
                        out.push_back(0);
                }
        for (const std::vector<uint8_t> &b : blobs) {
            append(out, b);
            if (b.size() % 2)
                out.push_back(0);
        }
        return out;
    }

    static std::vector<uint8_t> le32(uint32_t v)
    {
        return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    }
    static void append(std::vector<uint8_t> &out, const std::vector<uint8_t> &b)
    {
        out.insert(out.end(), b.begin(), b.end());
    }
};

struct Exif
{
    std::string make, model, dateTime; // "YYYY:MM:DD HH:MM:SS"
    uint16_t orientation = 1;
    int width = 0, height = 0;
};

// The camera's texts into directory 0 of tiff and an EXIF directory.
void addExif(Tiff &tiff, int main, const Exif &e)
{
    tiff.ascii(main, 271, e.make);
    tiff.ascii(main, 272, e.model);
    tiff.shorts(main, 274, {e.orientation});
    tiff.ascii(main, 306, e.dateTime);
    const int exif = tiff.add();
    tiff.pointer(main, 34665, exif);
    tiff.rational(exif, 33434, 1, 250);
    tiff.rational(exif, 33437, 28, 10);
    tiff.shorts(exif, 34855, {200});
    tiff.ascii(exif, 36867, e.dateTime);
    tiff.ascii(exif, 36868, e.dateTime);
    tiff.rational(exif, 37386, 63, 10);
    tiff.longValue(exif, 40962, uint32_t(e.width));
    tiff.longValue(exif, 40963, uint32_t(e.height));
}

bool check(heif_error error, const char *what)
{
    if (error.code == heif_error_Ok)
        return true;
    std::fprintf(stderr, "%s: %s\n", what, error.message);
    return false;
}

heif_image *heifImage(const Picture &p)
{
    heif_image *image = nullptr;
    heif_image_create(p.width, p.height, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, p.width, p.height, 8);
    int stride = 0;
    uint8_t *plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < p.height; ++y)
        std::memcpy(plane + std::size_t(y) * stride, &p.rgb[std::size_t(y) * p.width * 3],
                    std::size_t(p.width) * 3);
    return image;
}

// A HEIF file of the stored picture with the given orientation as its transformation
// (and EXIF orientation, as phones write both), optionally with a thumbnail whose longer
// side is thumbnailSize and whose quadrants have the thumbnail colours.
bool writeHeif(const std::string &path, const Picture &stored, const Picture &thumbnailStored,
               uint16_t orientation, int thumbnailSize, const Exif &exif)
{
    heif_context *ctx = heif_context_alloc();
    heif_encoder *encoder = nullptr;
    if (!check(heif_context_get_encoder_for_format(ctx, heif_compression_HEVC, &encoder), "encoder"))
        return false;
    heif_encoder_set_lossy_quality(encoder, 60);
    heif_encoding_options *options = heif_encoding_options_alloc();
    options->image_orientation = heif_orientation(orientation);
    heif_image *image = heifImage(stored);
    heif_image_handle *handle = nullptr;
    bool ok = check(heif_context_encode_image(ctx, image, encoder, options, &handle), "encode");
    if (ok && thumbnailSize > 0) {
        heif_image *thumbImage = heifImage(thumbnailStored);
        heif_image_handle *thumbHandle = nullptr;
        ok = check(heif_context_encode_thumbnail(ctx, thumbImage, handle, encoder, options, thumbnailSize,
                                                 &thumbHandle),
                   "thumbnail");
        if (thumbHandle)
            heif_image_handle_release(thumbHandle);
        heif_image_release(thumbImage);
    }
    if (ok && !exif.make.empty()) {
        Tiff tiff;
        const int main = tiff.add();
        addExif(tiff, main, exif);
        const std::vector<uint8_t> block = tiff.build();
        ok = check(heif_context_add_exif_metadata(ctx, handle, block.data(), int(block.size())), "exif");
    }
    if (ok)
        ok = check(heif_context_write_to_file(ctx, path.c_str()), "write");
    if (handle)
        heif_image_handle_release(handle);
    heif_image_release(image);
    heif_encoding_options_free(options);
    heif_encoder_release(encoder);
    heif_context_free(ctx);
    return ok;
}

std::vector<uint8_t> jpeg(const Picture &p)
{
    tjhandle tj = tjInitCompress();
    unsigned char *out = nullptr;
    unsigned long size = 0;
    tjCompress2(tj, p.rgb.data(), p.width, 0, p.height, TJPF_RGB, &out, &size, TJSAMP_420, 85, 0);
    std::vector<uint8_t> bytes(out, out + size);
    tjFree(out);
    tjDestroy(tj);
    return bytes;
}

// A DNG file: directory 0 holds the JPEG preview of the stored picture and the camera's
// EXIF texts, its sub-directory a small Bayer-pattern raw image (16 bits, uncompressed).
std::vector<uint8_t> dng(const Picture &preview, const Exif &exif)
{
    Tiff tiff;
    const int main = tiff.add();
    const int raw = tiff.add();
    const std::vector<uint8_t> previewJpeg = jpeg(preview);
    const int previewBlob = tiff.addBlob(previewJpeg);
    const int rawWidth = 64, rawHeight = 48;
    std::vector<uint8_t> rawBytes(std::size_t(rawWidth) * rawHeight * 2);
    for (std::size_t i = 0; i < rawBytes.size(); i += 2)
        rawBytes[i + 1] = uint8_t(8 + (i / 2) % 32); // a gentle ramp
    const int rawBlob = tiff.addBlob(rawBytes);

    tiff.longValue(main, 254, 1); // reduced-resolution picture
    tiff.longValue(main, 256, uint32_t(preview.width));
    tiff.longValue(main, 257, uint32_t(preview.height));
    tiff.shorts(main, 258, {8, 8, 8});
    tiff.shorts(main, 259, {7});
    tiff.shorts(main, 262, {6});
    tiff.blobOffset(main, 273, previewBlob);
    tiff.shorts(main, 277, {3});
    tiff.longValue(main, 278, uint32_t(preview.height));
    tiff.longValue(main, 279, uint32_t(previewJpeg.size()));
    tiff.shorts(main, 284, {1});
    tiff.pointer(main, 330, raw);
    tiff.bytes(main, 50706, {1, 4, 0, 0});
    tiff.ascii(main, 50708, exif.make + " " + exif.model);
    addExif(tiff, main, exif);

    tiff.longValue(raw, 254, 0);
    tiff.longValue(raw, 256, rawWidth);
    tiff.longValue(raw, 257, rawHeight);
    tiff.shorts(raw, 258, {16});
    tiff.shorts(raw, 259, {1});
    tiff.shorts(raw, 262, {32803});
    tiff.blobOffset(raw, 273, rawBlob);
    tiff.shorts(raw, 274, {exif.orientation});
    tiff.shorts(raw, 277, {1});
    tiff.longValue(raw, 278, rawHeight);
    tiff.longValue(raw, 279, uint32_t(rawBytes.size()));
    tiff.shorts(raw, 284, {1});
    tiff.shorts(raw, 33421, {2, 2});
    tiff.bytes(raw, 33422, {0, 1, 1, 2});

    // Entries of a TIFF directory go in ascending tag order.
    for (Tiff::Directory &d : tiff.dirs)
        std::stable_sort(d.entries.begin(), d.entries.end(),
                         [](const Tiff::Entry &a, const Tiff::Entry &b) { return a.tag < b.tag; });
    return tiff.build();
}

bool writeFile(const std::string &path, const std::vector<uint8_t> &bytes)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

std::vector<uint8_t> readFile(const std::string &path)
{
    std::vector<uint8_t> bytes;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return bytes;
    int c;
    while ((c = std::fgetc(f)) != EOF)
        bytes.push_back(uint8_t(c));
    std::fclose(f);
    return bytes;
}

} // namespace


int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PHOTOS_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string heic = std::string(argv[1]) + "/heic/";
    const std::string raw = std::string(argv[1]) + "/raw/";
    bool ok = true;

    // Held turned: stored landscape, shown portrait through the file's transformation.
    const Picture portrait = quadrants(480, 640, mainColours);
    const Exif phone{"Duomira Test", "Phone One", "2024:05:01 10:00:00", 6, 480, 640};
    const Picture portraitThumbnail = quadrants(480, 640, thumbColours);
    ok &= writeHeif(heic + "turned_thumb320.heic", turnedCounterClockwise(portrait),
                    turnedCounterClockwise(portraitThumbnail), 6, 320, phone);
    ok &= writeHeif(heic + "turned_thumb160.heic", turnedCounterClockwise(portrait),
                    turnedCounterClockwise(portraitThumbnail), 6, 160, phone);

    // Two phones' sessions: the right phone's clock runs 30 seconds ahead.
    const int seconds[4] = {0, 20, 41, 62};
    const Picture small = quadrants(96, 64, mainColours);
    for (int i = 0; i < 4; ++i) {
        for (int side = 0; side < 2; ++side) {
            const int t = seconds[i] + (side ? 30 : 0);
            char date[32];
            std::snprintf(date, sizeof date, "2024:05:01 11:%02d:%02d", t / 60, t % 60);
            const Exif e{"Duomira Test", side ? "Phone Right" : "Phone Left", date, 1, 96, 64};
            ok &= writeHeif(heic + (side ? "session_R" : "session_L") + std::to_string(i) + ".heic", small,
                            small, 1, 0, e);
        }
    }
    // Damaged: the file cut off inside its picture data.
    const std::vector<uint8_t> whole = readFile(heic + "turned_thumb160.heic");
    ok &= !whole.empty() && writeFile(heic + "damaged_cut.heic",
                                      std::vector<uint8_t>(whole.begin(), whole.begin() + whole.size() * 2 / 3));

    // A RAW file of a camera held turned: sensor-oriented preview, orientation 6.
    const Picture rawPortrait = quadrants(300, 400, mainColours);
    const Exif camera{"Duomira Test", "Raw Camera", "2024:05:01 12:00:00", 6, 64, 48};
    const std::vector<uint8_t> turnedDng = dng(turnedCounterClockwise(rawPortrait), camera);
    ok &= writeFile(raw + "turned.dng", turnedDng);
    // Damaged: the preview's bytes cut off.
    ok &= writeFile(raw + "damaged_cut.dng",
                    std::vector<uint8_t>(turnedDng.begin(), turnedDng.begin() + turnedDng.size() / 3));
    return ok ? 0 : 1;
}
