// The picture's way to the screen with Media Foundation: the turn read from an MP4 header,
// the frame turned on the CPU, and only its visible part drawn.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32/mf_frame_sink.h"
#include "platform/win32/mp4_picture.h"

namespace morvel::win32 {
namespace {

std::string Big32(std::uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
            static_cast<char>(value >> 8), static_cast<char>(value)};
}

std::string Box(const std::string& type, const std::string& body) {
    return Big32(static_cast<std::uint32_t>(body.size() + 8)) + type + body;
}

// A version 0 track header with this rotation part of its matrix and this picture size.
std::string Tkhd(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d, int width = 640,
                 int height = 480) {
    std::string body(4 + 20 + 16, '\0');
    for (std::int32_t value : {a, b, 0, c, d, 0, 0, 0, 0x40000000}) {
        body += Big32(static_cast<std::uint32_t>(value));
    }
    body += Big32(static_cast<std::uint32_t>(width << 16)) +
            Big32(static_cast<std::uint32_t>(height << 16));
    return Box("tkhd", body);
}

Mp4Picture PictureOf(const std::string& bytes) {
    std::istringstream file(bytes);
    return ReadMp4Picture(file);
}

int RotationOf(const std::string& bytes) {
    return PictureOf(bytes).rotation;
}

// A video track's sample description with a first entry of this type and these boxes.
std::string SampleTable(const std::string& entryBoxes) {
    const std::string entry = Box("avc1", std::string(78, '\0') + entryBoxes);
    return Box("mdia", Box("minf", Box("stbl", Box("stsd", std::string(8, '\0') + entry))));
}

constexpr std::int32_t kOne = 0x10000;

struct Matrix {
    std::int32_t a, b, c, d;
    int rotation;
};

class TrackRotationTest : public testing::TestWithParam<Matrix> {};

TEST_P(TrackRotationTest, TheVideoTracksMatrixGivesTheTurn) {
    const Matrix m = GetParam();
    // A sound track first (no width), a big media box before the header, as writers put them.
    const std::string file =
        Box("ftyp", "isom") + Box("mdat", std::string(5000, 'x')) +
        Box("moov", Box("mvhd", std::string(100, '\0')) +
                        Box("trak", Tkhd(kOne, 0, 0, kOne, 0, 0) + Box("mdia", "")) +
                        Box("trak", Box("edts", "") + Tkhd(m.a, m.b, m.c, m.d)));
    EXPECT_EQ(RotationOf(file), m.rotation);
}

INSTANTIATE_TEST_SUITE_P(Matrices, TrackRotationTest,
                         testing::Values(Matrix{kOne, 0, 0, kOne, 0}, Matrix{0, kOne, -kOne, 0, 90},
                                         Matrix{-kOne, 0, 0, -kOne, 180},
                                         Matrix{0, -kOne, kOne, 0, 270},
                                         Matrix{-kOne, 0, 0, kOne, 0},  // a mirror: as stored
                                         Matrix{kOne / 2, kOne / 2, -kOne / 2, kOne / 2, 0}));

TEST(TrackRotationTest, AFileThatLiesAboutItsBoxesReadsAsUpright) {
    const std::string turned = Tkhd(0, kOne, -kOne, 0);
    const std::vector<std::string> files = {
        "",
        "not a video at all",
        Box("moov", Box("trak", turned)).substr(0, 30),               // cut off in the header
        Big32(0xFFFFFFF0u) + "moov" + Box("trak", turned),            // longer than the file
        Big32(1) + "moov" + Big32(0xFFFFFFFFu) + Big32(0xFFFFFFFFu),  // a 64-bit length, huge
        Big32(4) + "moov" + Box("trak", turned),                      // shorter than its own header
        Box("moov", Big32(0) + "trak" + Big32(3) + "tkhd"),           // runs to the end, then junk
        Box("moov", Box("trak", Box("tkhd", std::string(20, '\0')))),  // too short a header
        std::string(100000, '\0'),                                     // boxes of no length
    };
    for (const std::string& file : files) {
        EXPECT_EQ(RotationOf(file), 0) << "file of " << file.size() << " bytes";
    }
    // A 64-bit length that is true still reads.
    const std::string body = Box("trak", turned);
    const std::string large =
        Big32(1) + "moov" + Big32(0) + Big32(static_cast<std::uint32_t>(body.size() + 16)) + body;
    EXPECT_EQ(RotationOf(large), 90);
}

TEST(Mp4PictureTest, ThePixelShapeComesFromTheVideoTracksSampleDescription) {
    const std::string pasp = Box("pasp", Big32(16) + Big32(11));
    const std::string track =
        Box("trak", Tkhd(kOne, 0, 0, kOne) + SampleTable(Box("avcC", "xyz") + pasp));
    const Mp4Picture picture = PictureOf(Box("moov", track));
    EXPECT_EQ(picture.pixelAspectNum, 16);
    EXPECT_EQ(picture.pixelAspectDen, 11);
    // None, no terms, junk, or one cut off: square.
    for (const std::string& boxes :
         {std::string(), Box("pasp", Big32(0) + Big32(11)), Box("pasp", Big32(16) + Big32(99999)),
          Box("pasp", Big32(16))}) {
        const Mp4Picture square =
            PictureOf(Box("moov", Box("trak", Tkhd(kOne, 0, 0, kOne) + SampleTable(boxes))));
        EXPECT_EQ(square.pixelAspectNum, 1);
        EXPECT_EQ(square.pixelAspectDen, 1);
    }
}

TEST(TurnClockwiseTest, EveryQuarterTurnMovesTheCornersWhereTheyBelong) {
    // 3 x 2:  1 2 3
    //         4 5 6
    const std::vector<std::uint32_t> stored = {1, 2, 3, 4, 5, 6};
    std::vector<std::uint32_t> out;
    TurnClockwise(stored.data(), SIZE{3, 2}, 90, out);
    EXPECT_EQ(out, (std::vector<std::uint32_t>{4, 1, 5, 2, 6, 3}));  // 2 wide, 3 high
    TurnClockwise(stored.data(), SIZE{3, 2}, 180, out);
    EXPECT_EQ(out, (std::vector<std::uint32_t>{6, 5, 4, 3, 2, 1}));
    TurnClockwise(stored.data(), SIZE{3, 2}, 270, out);
    EXPECT_EQ(out, (std::vector<std::uint32_t>{3, 6, 2, 5, 1, 4}));
}

// A memory picture to draw into, read back pixel by pixel.
class Canvas {
  public:
    Canvas(int width, int height) : width_(width) {
        BITMAPINFO format{};
        format.bmiHeader.biSize = sizeof(format.bmiHeader);
        format.bmiHeader.biWidth = width;
        format.bmiHeader.biHeight = -height;
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &format, DIB_RGB_COLORS, &bits_, nullptr, 0);
        SelectObject(dc_, bitmap_);
    }
    ~Canvas() {
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC dc() const { return dc_; }
    std::uint32_t at(int x, int y) const {
        GdiFlush();
        return static_cast<const std::uint32_t*>(bits_)[y * width_ + x] & 0xFFFFFFu;
    }

  private:
    int width_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    void* bits_ = nullptr;
};

TEST(DrawClippedTest, AFillShowsTheMiddleOfThePictureAtItsPlace) {
    // A 4 x 4 picture whose every pixel names its place: 0xXY.
    std::vector<std::uint32_t> picture;
    for (std::uint32_t y = 0; y < 4; ++y) {
        for (std::uint32_t x = 0; x < 4; ++x) {
            picture.push_back(0x10 * x + y + 1);
        }
    }
    // Scaled to 16 x 16 with its corner at (-4, -8) in an 8 x 4 window: what shows are the
    // source columns 1 and 2 and the source row 2.
    Canvas canvas(8, 4);
    DrawClipped(canvas.dc(), SIZE{8, 4}, picture.data(), SIZE{4, 4},
                media::VideoRect{16, 16, -4, -8});
    EXPECT_EQ(canvas.at(0, 0), 0x13u);
    EXPECT_EQ(canvas.at(3, 3), 0x13u);
    EXPECT_EQ(canvas.at(4, 0), 0x23u);
    EXPECT_EQ(canvas.at(7, 3), 0x23u);
    // Wholly in the window at (2, 0), 4 x 4: the picture one to one, black to its left.
    Canvas whole(8, 4);
    DrawClipped(whole.dc(), SIZE{8, 4}, picture.data(), SIZE{4, 4}, media::VideoRect{4, 4, 2, 0});
    EXPECT_EQ(whole.at(1, 0), 0u);
    EXPECT_EQ(whole.at(2, 0), 0x01u);
    EXPECT_EQ(whole.at(5, 3), 0x34u);
    EXPECT_EQ(whole.at(6, 0), 0u);
}

}  // namespace
}  // namespace morvel::win32
