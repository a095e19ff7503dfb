// BMP decoding: well-formed pictures come out pixel for pixel; a file whose
// headers do not fit its data is refused before anything reads past it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/Bitmap.h"
#include "toolkit/Text.h"

namespace {

void Put16(std::string& data, size_t at, uint32_t value) {
    data[at] = static_cast<char>(value & 0xFF);
    data[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& data, size_t at, uint32_t value) {
    Put16(data, at, value & 0xFFFF);
    Put16(data, at + 2, value >> 16);
}

// The parts of a BMP file that the tests change; Build() writes them out.
struct Bmp {
    uint32_t headerSize = 40;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 1;
    uint16_t bitCount = 24;
    uint32_t compression = BI_RGB;
    uint32_t coloursUsed = 0;
    std::string palette;  // RGBQUADs
    std::string pixels;   // the rows as stored
    int64_t offBits = -1;  // -1: right after the palette

    std::string Build() const {
        std::string data(14 + 40, '\0');
        data[0] = 'B';
        data[1] = 'M';
        Put32(data, 14, headerSize);
        Put32(data, 18, static_cast<uint32_t>(width));
        Put32(data, 22, static_cast<uint32_t>(height));
        Put16(data, 26, planes);
        Put16(data, 28, bitCount);
        Put32(data, 30, compression);
        Put32(data, 34, static_cast<uint32_t>(pixels.size()));
        Put32(data, 46, coloursUsed);
        data += palette;
        Put32(data, 10, offBits < 0 ? static_cast<uint32_t>(data.size()) : static_cast<uint32_t>(offBits));
        data += pixels;
        Put32(data, 2, static_cast<uint32_t>(data.size()));
        return data;
    }
};

std::string Bgr(COLORREF c) {
    return {static_cast<char>(GetBValue(c)), static_cast<char>(GetGValue(c)), static_cast<char>(GetRValue(c))};
}

// 3 x 2, 24 bits, bottom-up: each row is 9 bytes of colour and 3 of padding.
const COLORREF kTop[3] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
const COLORREF kBottom[3] = {RGB(1, 2, 3), RGB(255, 255, 255), RGB(128, 64, 32)};

Bmp TrueColour() {
    Bmp b;
    b.width = 3;
    b.height = 2;
    const std::string pad(3, '\0');
    for (const COLORREF* row : {kBottom, kTop}) b.pixels += Bgr(row[0]) + Bgr(row[1]) + Bgr(row[2]) + pad;
    return b;
}

// 5 x 3, 8 bits with a palette of four colours; rows of 5 bytes padded to 8.
const COLORREF kPalette[4] = {RGB(0, 0, 0), RGB(200, 10, 20), RGB(30, 180, 40), RGB(50, 60, 250)};
const uint8_t kIndexes[3][5] = {{0, 1, 2, 3, 0}, {3, 3, 2, 1, 1}, {2, 0, 0, 0, 3}};  // top row first

Bmp Palette() {
    Bmp b;
    b.width = 5;
    b.height = 3;
    b.bitCount = 8;
    b.coloursUsed = 4;
    for (COLORREF c : kPalette) b.palette += Bgr(c) + std::string(1, '\0');
    for (int y = 2; y >= 0; --y) {
        for (uint8_t i : kIndexes[y]) b.pixels += static_cast<char>(i);
        b.pixels += std::string(3, '\0');
    }
    return b;
}

TEST(BitmapTest, TrueColourBmpDecodesPixelForPixel) {
    for (bool topDown : {false, true}) {
        SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
        Bmp b = TrueColour();
        if (topDown) {
            b.height = -2;
            b.pixels = b.pixels.substr(12) + b.pixels.substr(0, 12);
        }
        const tk::Bitmap picture = tk::Bitmap::FromBmp(b.Build());
        ASSERT_EQ(picture.Width(), 3);
        ASSERT_EQ(picture.Height(), 2);
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(picture.Pixel(x, 0), kTop[x]) << x;
            EXPECT_EQ(picture.Pixel(x, 1), kBottom[x]) << x;
        }
    }
}

TEST(BitmapTest, PaletteBmpDecodesPixelForPixel) {
    const tk::Bitmap picture = tk::Bitmap::FromBmp(Palette().Build());
    ASSERT_EQ(picture.Width(), 5);
    ASSERT_EQ(picture.Height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(picture.Pixel(x, y), kPalette[kIndexes[y][x]]) << x << "," << y;

    // Pixels after a gap behind the palette are found by the offset.
    Bmp gap = Palette();
    gap.palette += "gap!";
    const tk::Bitmap shifted = tk::Bitmap::FromBmp(gap.Build());
    EXPECT_EQ(shifted.Pixel(1, 0), kPalette[1]);
}

struct BadCase {
    const char* what;
    std::string data;
};

std::vector<BadCase> BadCases() {
    std::vector<BadCase> cases;
    auto add = [&](const char* what, Bmp b) { cases.push_back({what, b.Build()}); };
    const std::string good = TrueColour().Build();
    const std::string goodPalette = Palette().Build();

    cases.push_back({"empty", ""});
    cases.push_back({"not a bitmap", "GIF89a" + good.substr(6)});
    cases.push_back({"headers cut short", good.substr(0, 40)});
    cases.push_back({"last pixel byte missing", good.substr(0, good.size() - 1)});
    cases.push_back({"last row missing", good.substr(0, good.size() - 12)});
    {
        Bmp b = TrueColour();
        b.pixels = b.pixels.substr(0, 18);  // both rows without their padding
        add("rows without padding", b);
    }
    {
        Bmp b = TrueColour();
        b.offBits = 20;
        add("offset inside the file header and info header", b);
    }
    {
        Bmp b = TrueColour();
        b.offBits = 14 + 30;
        add("offset inside the info header", b);
    }
    {
        Bmp b = Palette();
        b.offBits = 14 + 40 + 8;
        add("offset inside the palette", b);
    }
    {
        Bmp b = TrueColour();
        b.offBits = static_cast<int64_t>(good.size()) + 1;
        add("offset beyond the file", b);
    }
    {
        Bmp b = TrueColour();
        b.offBits = 0xFFFFFFFF;
        add("offset at the end of the address range", b);
    }
    {
        Bmp b = TrueColour();
        b.width = 0x7FFFFFFF;
        add("huge width", b);
    }
    {
        Bmp b = TrueColour();
        b.height = 0x7FFFFFFF;
        add("huge height", b);
    }
    {
        Bmp b = TrueColour();
        b.height = INT32_MIN;
        add("height that cannot be negated", b);
    }
    {
        Bmp b = TrueColour();
        b.width = 65536;
        b.height = 65536;
        b.bitCount = 32;
        add("width times height beyond 32 bits", b);
    }
    {
        Bmp b = TrueColour();
        b.width = 0;
        add("zero width", b);
    }
    {
        Bmp b = TrueColour();
        b.width = -3;
        add("negative width", b);
    }
    {
        Bmp b = TrueColour();
        b.height = 0;
        add("zero height", b);
    }
    {
        Bmp b = TrueColour();
        b.planes = 0;
        add("zero planes", b);
    }
    for (uint16_t bits : {0, 7, 64}) {
        Bmp b = TrueColour();
        b.bitCount = bits;
        add("unknown bit depth", b);
    }
    {
        Bmp b = TrueColour();
        b.headerSize = 0x10000;
        add("info header larger than the file", b);
    }
    {
        Bmp b = TrueColour();
        b.headerSize = 124;
        add("V5 header larger than what the file holds before the pixels", b);
    }
    {
        Bmp b = TrueColour();
        b.headerSize = 12;
        add("header too small for its fields", b);
    }
    {
        Bmp b = TrueColour();
        b.headerSize = 0;
        add("no header size", b);
    }
    {
        Bmp b = Palette();
        b.coloursUsed = 0;  // 256 colours wanted, 4 there
        add("palette shorter than the bit depth needs", b);
    }
    {
        Bmp b = Palette();
        b.coloursUsed = 257;
        add("more colours than the bit depth has", b);
    }
    {
        Bmp b = Palette();
        b.coloursUsed = 0x40000000;  // times four wraps in 32 bits
        add("colour count that overflows", b);
    }
    {
        Bmp b = Palette();
        b.compression = BI_RLE8;
        add("run-length compression", b);
    }
    {
        Bmp b = TrueColour();
        b.compression = BI_BITFIELDS;
        add("colour masks for 24 bits", b);
    }
    {
        Bmp b = TrueColour();
        b.bitCount = 32;
        b.compression = BI_BITFIELDS;  // masks missing: the pixels would be read as masks
        add("colour masks missing", b);
    }
    cases.push_back({"palette file cut inside the palette", goodPalette.substr(0, 14 + 40 + 6)});
    return cases;
}

TEST(BitmapTest, HeadersThatDoNotFitTheDataAreRefused) {
    for (const BadCase& c : BadCases()) {
        SCOPED_TRACE(c.what);
        try {
            tk::Bitmap::FromBmp(c.data);
            ADD_FAILURE() << "accepted";
        } catch (const tk::Error& e) {
            EXPECT_STREQ(e.what(), "Bitmap image is not valid");
        }
    }
}

TEST(BitmapTest, PictureTooLargeForMemoryIsRefused) {
    EXPECT_THROW(tk::Bitmap(100000, 100000), tk::Error);
    EXPECT_THROW(tk::Bitmap(0x7FFFFFFF, 2), tk::Error);
    EXPECT_EQ(tk::Bitmap(2000, 1000).Width(), 2000);
}

}  // namespace
