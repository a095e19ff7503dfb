// JPEG decoding: a good picture comes out with its colours; a damaged one is
// refused with libjpeg's own words, and refusing gives back everything that
// the attempt took.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/Bitmap.h"
#include "toolkit/Resources.h"
#include "toolkit/Text.h"

namespace {

// 16 x 16, baseline, no colour subsampling: four solid 8 x 8 blocks, red,
// green (top), blue, white (bottom).
const char kSquares[] =
    "\xff\xd8\xff\xe0\x00\x10\x4a\x46\x49\x46\x00\x01\x01\x00\x00\x01"
    "\x00\x01\x00\x00\xff\xdb\x00\x43\x00\x02\x01\x01\x01\x01\x01\x02"
    "\x01\x01\x01\x02\x02\x02\x02\x02\x04\x03\x02\x02\x02\x02\x05\x04"
    "\x04\x03\x04\x06\x05\x06\x06\x06\x05\x06\x06\x06\x07\x09\x08\x06"
    "\x07\x09\x07\x06\x06\x08\x0b\x08\x09\x0a\x0a\x0a\x0a\x0a\x06\x08"
    "\x0b\x0c\x0b\x0a\x0c\x09\x0a\x0a\x0a\xff\xdb\x00\x43\x01\x02\x02"
    "\x02\x02\x02\x02\x05\x03\x03\x05\x0a\x07\x06\x07\x0a\x0a\x0a\x0a"
    "\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a"
    "\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a"
    "\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\x0a\xff\xc0"
    "\x00\x11\x08\x00\x10\x00\x10\x03\x01\x11\x00\x02\x11\x01\x03\x11"
    "\x01\xff\xc4\x00\x16\x00\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00"
    "\x00\x00\x00\x00\x00\x00\x09\x08\x0a\xff\xc4\x00\x14\x10\x01\x00"
    "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\xff"
    "\xc4\x00\x17\x01\x00\x03\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00"
    "\x00\x00\x00\x00\x08\x09\x0a\x07\xff\xc4\x00\x14\x11\x01\x00\x00"
    "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\xff\xda"
    "\x00\x0c\x03\x01\x00\x02\x11\x03\x11\x00\x3f\x00\x8b\xc2\x99\xfe"
    "\x12\x80\xb6\x85\x70\x36\xb4\xc3\x58\x6e\x20\x80\xda\xa3\xff\xd9";
const std::string kGood(kSquares, sizeof kSquares - 1);

constexpr size_t kFrameHeight = 0xA3;  // the frame's height and width, 16 bits each
constexpr size_t kScanData = 0x11C;    // the entropy-coded data, up to the end marker

std::string WithSize(int width, int height) {
    std::string data = kGood;
    data[kFrameHeight] = static_cast<char>(height >> 8);
    data[kFrameHeight + 1] = static_cast<char>(height & 0xFF);
    data[kFrameHeight + 2] = static_cast<char>(width >> 8);
    data[kFrameHeight + 3] = static_cast<char>(width & 0xFF);
    return data;
}

bool Near(COLORREF a, COLORREF b) {
    auto close = [](int x, int y) { return std::abs(x - y) <= 6; };
    return close(GetRValue(a), GetRValue(b)) && close(GetGValue(a), GetGValue(b)) && close(GetBValue(a), GetBValue(b));
}

TEST(JpegTest, GoodPictureDecodesWithItsColours) {
    const tk::Bitmap picture = tk::Bitmap::FromJpeg(kGood);
    ASSERT_EQ(picture.Width(), 16);
    ASSERT_EQ(picture.Height(), 16);
    const struct {
        RECT block;
        COLORREF colour;
    } blocks[] = {
        {{0, 0, 8, 8}, RGB(255, 0, 0)},
        {{8, 0, 16, 8}, RGB(0, 255, 0)},
        {{0, 8, 8, 16}, RGB(0, 0, 255)},
        {{8, 8, 16, 16}, RGB(255, 255, 255)},
    };
    for (const auto& b : blocks)
        for (int y = b.block.top; y < b.block.bottom; ++y)
            for (int x = b.block.left; x < b.block.right; ++x)
                EXPECT_TRUE(Near(picture.Pixel(x, y), b.colour))
                    << x << "," << y << ": " << std::hex << picture.Pixel(x, y);

    // The program's own JPEG pictures decode as well.
    const tk::Bitmap logo = tk::Bitmap::FromFile("codec_logo.jpg", tk::DataFile("codec_logo.jpg"));
    EXPECT_EQ(logo.Width(), 158);
    EXPECT_EQ(logo.Height(), 44);
}

struct DamagedCase {
    const char* what;
    std::string data;
    const char* message;  // the whole text of the error
};

std::vector<DamagedCase> DamagedCases() {
    std::string markerInScan = kGood;
    markerInScan[kScanData + 4] = '\xFF';
    markerInScan[kScanData + 5] = '\xC4';
    return {
        {"empty", "", "JPEG error: Empty input file"},
        {"not a JPEG", "GIF89a" + kGood.substr(6), "JPEG error: Not a JPEG file: starts with 0x47 0x49"},
        {"cut inside the headers", kGood.substr(0, 0xA8), "JPEG error: Premature end of JPEG file"},
        {"cut before the pixels", kGood.substr(0, kScanData), "JPEG error: Premature end of JPEG file"},
        {"cut inside the pixels", kGood.substr(0, kScanData + 8), "JPEG error: Premature end of JPEG file"},
        {"end marker missing", kGood.substr(0, kGood.size() - 2), "JPEG error: Premature end of JPEG file"},
        {"a marker inside the pixels", markerInScan,
         "JPEG error: Corrupt JPEG data: premature end of data segment"},
        {"no height", WithSize(16, 0), "JPEG error: Empty JPEG image (DNL not supported)"},
        {"beyond what libjpeg takes", WithSize(65535, 65535),
         "JPEG error: Maximum supported image dimension is 65500 pixels"},
        // libjpeg takes this one; the picture would not fit in memory.
        {"too large for memory", WithSize(60000, 60000), "Cannot create a 60000x60000 bitmap"},
    };
}

TEST(JpegTest, DamagedPictureIsRefusedWithLibjpegsMessage) {
    for (const DamagedCase& c : DamagedCases()) {
        SCOPED_TRACE(c.what);
        try {
            tk::Bitmap::FromJpeg(c.data);
            ADD_FAILURE() << "accepted";
        } catch (const tk::Error& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
}

struct Usage {
    size_t privateBytes;
    DWORD handles;
    DWORD gdiObjects;
    DWORD userObjects;
};

// Committed memory of the process's own (heaps, stacks, private mappings),
// counted region by region.
size_t PrivateBytes() {
    size_t total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* at = nullptr; ::VirtualQuery(at, &region, sizeof region) == sizeof region;) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return total;
}

Usage Measure() {
    DWORD handles = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &handles);
    return {PrivateBytes(), handles, ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS),
            ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS)};
}

TEST(JpegTest, RefusingGivesBackWhatTheAttemptTook) {
    const std::vector<DamagedCase> cases = DamagedCases();
    auto attempt = [&](int rounds) {
        for (int i = 0; i < rounds; ++i)
            for (const DamagedCase& c : cases) EXPECT_THROW(tk::Bitmap::FromJpeg(c.data), tk::Error) << c.what;
    };
    attempt(20);  // the heap and the runtime settle first
    const Usage before = Measure();
    ASSERT_GT(before.privateBytes, 0u);
    attempt(200);
    const Usage after = Measure();
    // Every round of the large picture alone takes megabytes of decoder buffers.
    EXPECT_LT(after.privateBytes, before.privateBytes + 4 * 1024 * 1024)
        << "private bytes grew from " << before.privateBytes << " to " << after.privateBytes;
    EXPECT_EQ(after.handles, before.handles);
    EXPECT_EQ(after.gdiObjects, before.gdiObjects);
    EXPECT_EQ(after.userObjects, before.userObjects);
}

}  // namespace
