#include "platform/win32/mp4_picture.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string_view>

#include "common/utf8.h"

namespace morvel::win32 {

namespace {

// A file may hold many boxes (an edit list, fragments); past this many the reader gives up.
constexpr int kBoxBudget = 4096;
constexpr std::int32_t kOne = 0x10000;     // 1.0 in the matrix's 16.16 fixed point
constexpr std::int32_t kSlack = 0x100;     // what rounding in a writer may leave
constexpr std::size_t kTkhdVersion0 = 20;  // times, track id and duration
constexpr std::size_t kTkhdVersion1 = 32;
constexpr std::size_t kBeforeMatrix = 16;  // reserved, layer, group, volume
constexpr std::size_t kMatrixAndSize = 9 * 4 + 2 * 4;
constexpr std::size_t kSampleTable = 8;          // the sample description's version and count
constexpr std::size_t kVisualEntry = 78;         // a visual sample entry's fields before its boxes
constexpr std::uint32_t kMaxAspectTerm = 10000;  // past this a pixel's shape is junk

struct Box {
    std::array<char, 4> type{};
    std::uint64_t body = 0;  // where its contents start
    std::uint64_t end = 0;   // one past its last byte
    bool is(std::string_view name) const { return std::string_view(type.data(), 4) == name; }
};

std::uint32_t Big32(const unsigned char* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | bytes[3];
}

class BoxReader {
  public:
    explicit BoxReader(std::istream& file) : file_(file) {}

    std::uint64_t size() {
        file_.clear();
        file_.seekg(0, std::ios::end);
        const std::streamoff end = file_.tellg();
        return end > 0 ? static_cast<std::uint64_t>(end) : 0;
    }

    bool read(std::uint64_t at, unsigned char* into, std::size_t count) {
        file_.clear();
        file_.seekg(static_cast<std::streamoff>(at));
        file_.read(reinterpret_cast<char*>(into), static_cast<std::streamsize>(count));
        return static_cast<std::size_t>(file_.gcount()) == count;
    }

    // The box at `at` if a whole one lies in [at, limit); false for the end or for junk.
    bool box(std::uint64_t at, std::uint64_t limit, Box& box) {
        if (--budget_ < 0 || at + 8 > limit) {
            return false;
        }
        std::array<unsigned char, 16> header{};
        if (!read(at, header.data(), 8)) {
            return false;
        }
        std::uint64_t length = Big32(header.data());
        std::uint64_t headerLength = 8;
        if (length == 1) {  // a 64-bit length follows the type
            if (at + 16 > limit || !read(at + 8, header.data() + 8, 8)) {
                return false;
            }
            length = (std::uint64_t{Big32(header.data() + 8)} << 32) | Big32(header.data() + 12);
            headerLength = 16;
        } else if (length == 0) {  // the box runs to the end of what holds it
            length = limit - at;
        }
        if (length < headerLength || length > limit - at) {
            return false;
        }
        for (std::size_t i = 0; i < 4; ++i) {
            box.type[i] = static_cast<char>(header[4 + i]);
        }
        box.body = at + headerLength;
        box.end = at + length;
        return true;
    }

  private:
    std::istream& file_;
    int budget_ = kBoxBudget;
};

bool Near(std::int32_t value, std::int32_t target) {
    return std::abs(static_cast<std::int64_t>(value) - target) <= kSlack;
}

// The matrix's rotation part {a b; c d} (x' = a x + c y, y' = b x + d y, y pointing down) as
// a clockwise quarter turn; anything else (a mirror, a skew) is shown as stored.
int QuarterTurn(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
    if (Near(a, kOne) && Near(b, 0) && Near(c, 0) && Near(d, kOne)) {
        return 0;
    }
    if (Near(a, 0) && Near(b, kOne) && Near(c, -kOne) && Near(d, 0)) {
        return 90;
    }
    if (Near(a, -kOne) && Near(b, 0) && Near(c, 0) && Near(d, -kOne)) {
        return 180;
    }
    if (Near(a, 0) && Near(b, -kOne) && Near(c, kOne) && Near(d, 0)) {
        return 270;
    }
    return 0;
}

// A track header's turn, or -1 where the track has no picture (sound has no width).
int HeaderRotation(BoxReader& reader, const Box& tkhd) {
    unsigned char version = 0;
    if (!reader.read(tkhd.body, &version, 1)) {
        return -1;
    }
    const std::uint64_t matrixAt =
        tkhd.body + 4 + (version == 1 ? kTkhdVersion1 : kTkhdVersion0) + kBeforeMatrix;
    std::array<unsigned char, kMatrixAndSize> fields{};
    if (matrixAt + fields.size() > tkhd.end ||
        !reader.read(matrixAt, fields.data(), fields.size())) {
        return -1;
    }
    const auto field = [&](std::size_t index) {
        return static_cast<std::int32_t>(Big32(fields.data() + 4 * index));
    };
    if (field(9) == 0 || field(10) == 0) {
        return -1;
    }
    return QuarterTurn(field(0), field(1), field(3), field(4));
}

// The first box named `name` among those in [from, to), as `found`.
bool FindBox(BoxReader& reader, std::uint64_t from, std::uint64_t to, std::string_view name,
             Box& found) {
    for (Box box; reader.box(from, to, box); from = box.end) {
        if (box.is(name)) {
            found = box;
            return true;
        }
    }
    return false;
}

// The pixel shape in the video track's sample description (mdia/minf/stbl/stsd, its first
// entry's pasp box); square where it has none.
void PixelShape(BoxReader& reader, const Box& trak, Mp4Picture& picture) {
    Box box = trak;
    for (const char* name : {"mdia", "minf", "stbl", "stsd"}) {
        if (!FindBox(reader, box.body, box.end, name, box)) {
            return;
        }
    }
    Box entry;
    Box pasp;
    std::array<unsigned char, 8> spacing{};
    if (!reader.box(box.body + kSampleTable, box.end, entry) ||
        !FindBox(reader, entry.body + kVisualEntry, entry.end, "pasp", pasp) ||
        pasp.body + spacing.size() > pasp.end ||
        !reader.read(pasp.body, spacing.data(), spacing.size())) {
        return;
    }
    const std::uint32_t across = Big32(spacing.data());
    const std::uint32_t down = Big32(spacing.data() + 4);
    if (across > 0 && down > 0 && across <= kMaxAspectTerm && down <= kMaxAspectTerm) {
        picture.pixelAspectNum = static_cast<int>(across);
        picture.pixelAspectDen = static_cast<int>(down);
    }
}

}  // namespace

Mp4Picture ReadMp4Picture(std::istream& file) {
    BoxReader reader(file);
    Mp4Picture picture;
    Box moov;
    if (!FindBox(reader, 0, reader.size(), "moov", moov)) {
        return picture;
    }
    std::uint64_t from = moov.body;
    for (Box trak; FindBox(reader, from, moov.end, "trak", trak); from = trak.end) {
        Box tkhd;
        if (FindBox(reader, trak.body, trak.end, "tkhd", tkhd)) {
            if (const int rotation = HeaderRotation(reader, tkhd); rotation >= 0) {
                picture.rotation = rotation;
                PixelShape(reader, trak, picture);
                return picture;
            }
        }
    }
    return picture;
}

Mp4Picture ReadMp4PictureOfFile(const std::string& path) {
    std::ifstream file(utf8::toPath(path), std::ios::binary);
    return file ? ReadMp4Picture(file) : Mp4Picture{};
}

}  // namespace morvel::win32
