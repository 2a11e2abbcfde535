// Writes the JPEG files of tests/data/photos/jpg/small: pieces smaller than one JPEG block
// in at least one direction, cut losslessly (TurboJPEG's crop: no pixel is re-encoded) out
// of the camera pictures in tests/data/photos/jpg. Run once at development time; the files
// are stored in the repository, the tests never run this program.
//
//   g++ -std=c++20 -O1 scripts/testphotos/make-small-jpegs.cpp -o /tmp/make-small \
//       $(pkg-config --cflags --libs libturbojpeg)
//   /tmp/make-small tests/data/photos/jpg
#include <turbojpeg.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Piece
{
    const char *source;      // in the jpg folder
    const char *target;      // in its small/ folder
    int x, y, width, height; // x and y on whole blocks of the source's sampling
};

// 4:2:0 (blocks of 16 x 16), 4:2:2 (16 x 8), 4:4:4 (8 x 8)
const Piece pieces[] = {
    {"Canon_PowerShot_S40.jpg", "s40_420_17x9.jpg", 224, 176, 17, 9},
    {"Reconyx_HC500_Hyperfire.jpg", "reconyx_422_1001x7.jpg", 512, 760, 1001, 7},
    {"Canon_40D.jpg", "canon40d_444_5x3.jpg", 48, 32, 5, 3},
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s JPG_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    tjhandle tj = tjInitTransform();
    for (const Piece &p : pieces) {
        std::ifstream in(folder + "/" + p.source, std::ios::binary);
        const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                               std::istreambuf_iterator<char>());
        tjtransform crop{};
        crop.r = {p.x, p.y, p.width, p.height};
        crop.op = TJXOP_NONE;
        crop.options = TJXOPT_CROP;
        unsigned char *out = nullptr;
        unsigned long outSize = 0;
        if (bytes.empty() ||
            tjTransform(tj, bytes.data(), bytes.size(), 1, &out, &outSize, &crop, 0) != 0) {
            std::fprintf(stderr, "%s: %s\n", p.source, tjGetErrorStr2(tj));
            return 1;
        }
        std::ofstream(folder + "/small/" + p.target, std::ios::binary)
            .write(reinterpret_cast<const char *>(out), std::streamsize(outSize));
        tjFree(out);
    }
    tjDestroy(tj);
    return 0;
}
