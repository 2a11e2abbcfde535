// Where the first picture of a JPEG file ends, the walk that lets the lossless turn refuse
// a file with more after it: the end lies right after the first picture's end-of-image
// marker, past every scan of a progressive picture, and padding after it is no picture.
#include "imaging/jpegstream.h"
#include "jpegtestfiles.h"
#include "support/testdata.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

QByteArray photo(const char *relative)
{
    return jpegtest::readFile(testDataPath(QStringLiteral("photos/") + QLatin1String(relative)));
}

TEST(JpegStream, TheFirstPictureEndsAtItsOwnEndOfImageMarker)
{
    const QByteArray camera = photo("jpg/Canon_40D.jpg");
    const QByteArray layered = jpegtest::progressive(camera);
    ASSERT_FALSE(layered.isEmpty());
    struct Row
    {
        const char *name;
        QByteArray bytes;
        std::size_t end; // 0: no complete first picture
        bool dataAfter;
    } rows[] = {
        // A stereo camera's MPO: the second view starts after one byte of padding.
        {"two views", photo("mpo/sugarshack.mpo"), 60007, true},
        {"a phone's two pictures", photo("mpo/frame_size.mpo"), 4226, true},
        {"one picture", camera, std::size_t(camera.size()), false},
        {"zero padding", camera + QByteArray(300, '\0'), std::size_t(camera.size()), false},
        {"progressive, then a second picture", layered + camera, std::size_t(layered.size()), true},
        {"cut inside the scan", camera.left(camera.size() * 2 / 3), 0, false},
        {"not a JPEG", QByteArray("GIF89a not a JPEG file at all"), 0, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const auto *data = reinterpret_cast<const std::uint8_t *>(row.bytes.constData());
        const std::size_t size = std::size_t(row.bytes.size());
        EXPECT_EQ(jpegstream::firstStreamEnd(data, size), row.end);
        EXPECT_EQ(jpegstream::hasDataAfterFirstStream(data, size), row.dataAfter);
    }
}

} // namespace
