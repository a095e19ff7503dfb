#include "toolkit/Bitmap.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "toolkit/Text.h"

namespace tk {

namespace {

uint16_t Word(std::string_view data, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(data[at]) | static_cast<unsigned char>(data[at + 1]) << 8);
}

uint32_t Dword(std::string_view data, size_t at) {
    return Word(data, at) | static_cast<uint32_t>(Word(data, at + 2)) << 16;
}

[[noreturn]] void NotValid() { throw Error("Bitmap image is not valid"); }

// Beyond this a picture is refused rather than given a DIB section (256 MB).
constexpr int64_t kMaxPixels = int64_t(1) << 26;

}  // namespace

Bitmap::Bitmap(int width, int height) {
    if (width <= 0 || height <= 0) return;
    if (int64_t(width) * height > kMaxPixels) throw Error(Format("Cannot create a %dx%d bitmap", width, height));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.Reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap_) throw Error(Format("Cannot create a %dx%d bitmap", width, height));
    dc_.Reset(::CreateCompatibleDC(nullptr));
    if (!dc_) throw Error("Cannot create a memory DC");
    ::SelectObject(dc_.Get(), bitmap_.Get());
    width_ = width;
    height_ = height;
    bits_ = static_cast<uint32_t*>(bits);
    std::memset(bits_, 0, static_cast<size_t>(width) * height * 4);
}

Bitmap::Bitmap(Bitmap&& other) noexcept
    : width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      bits_(std::exchange(other.bits_, nullptr)),
      bitmap_(std::move(other.bitmap_)),
      dc_(std::move(other.dc_)) {}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
    if (this != &other) {
        dc_ = std::move(other.dc_);
        bitmap_ = std::move(other.bitmap_);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        bits_ = std::exchange(other.bits_, nullptr);
    }
    return *this;
}

Bitmap Bitmap::FromBmp(std::string_view file) {
    // BITMAPFILEHEADER (14 bytes), then the BITMAPINFOHEADER (or a later
    // version of it, which begins the same way), its colour masks and palette,
    // then at bfOffBits the rows. Every size is checked against the data
    // before GDI reads any of it.
    constexpr size_t kFileHeader = 14;
    if (file.size() < kFileHeader + sizeof(BITMAPINFOHEADER) || file[0] != 'B' || file[1] != 'M') NotValid();
    const uint32_t offBits = Dword(file, 10);
    const uint32_t headerSize = Dword(file, 14);
    const int32_t width = static_cast<int32_t>(Dword(file, 18));
    const int32_t height = static_cast<int32_t>(Dword(file, 22));
    const uint16_t planes = Word(file, 26);
    const uint16_t bitCount = Word(file, 28);
    const uint32_t compression = Dword(file, 30);
    const uint32_t coloursUsed = Dword(file, 46);

    // The header versions GDI knows: info, V2, V3, V4, V5.
    if (headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 && headerSize != 124)
        NotValid();
    if (headerSize > file.size() - kFileHeader) NotValid();
    if (width <= 0 || height == 0 || height == INT32_MIN || planes != 1) NotValid();
    const int64_t rows = height < 0 ? -int64_t(height) : int64_t(height);
    if (int64_t(width) * rows > kMaxPixels) NotValid();
    switch (bitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
        if (compression != BI_RGB) NotValid();
        break;
    case 16:
    case 32:
        if (compression != BI_RGB && compression != BI_BITFIELDS) NotValid();
        break;
    default:
        NotValid();
    }
    // A plain info header is followed by the three colour masks of BI_BITFIELDS;
    // the later versions hold them.
    const uint64_t masks = compression == BI_BITFIELDS && headerSize == 40 ? 12 : 0;
    const uint64_t maxColours = bitCount <= 8 ? uint64_t(1) << bitCount : 0;
    if (bitCount <= 8 && coloursUsed > maxColours) NotValid();
    const uint64_t colours = coloursUsed != 0 ? coloursUsed : maxColours;
    const uint64_t infoSize = headerSize + masks + colours * sizeof(RGBQUAD);
    // The rows start after the palette and hold every row, each padded to 4 bytes.
    const uint64_t stride = (uint64_t(width) * bitCount + 31) / 32 * 4;
    const uint64_t pixelBytes = stride * uint64_t(rows);
    if (offBits < kFileHeader + infoSize || offBits > file.size() || pixelBytes > file.size() - offBits) NotValid();

    // GDI wants the header aligned: copy header, masks and palette, and the rows.
    std::vector<uint32_t> info((infoSize + 3) / 4);
    std::memcpy(info.data(), file.data() + kFileHeader, infoSize);
    std::vector<uint32_t> pixels((pixelBytes + 3) / 4);
    std::memcpy(pixels.data(), file.data() + offBits, pixelBytes);

    Bitmap bitmap(width, static_cast<int>(rows));
    const int lines = ::SetDIBitsToDevice(bitmap.Dc(), 0, 0, bitmap.Width(), bitmap.Height(), 0, 0, 0,
                                          bitmap.Height(), pixels.data(),
                                          reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS);
    if (lines == 0) NotValid();
    ::GdiFlush();
    for (int i = 0; i < bitmap.Width() * bitmap.Height(); ++i) bitmap.bits_[i] &= 0x00FFFFFF;
    return bitmap;
}

Bitmap Bitmap::FromFile(std::string_view name, std::string_view bytes) {
    const std::string upper = AsciiUpper(std::string(name));
    auto endsWith = [&](const char* ext) {
        const size_t n = std::strlen(ext);
        return upper.size() >= n && upper.compare(upper.size() - n, n, ext) == 0;
    };
    if (endsWith(".JPG") || endsWith(".JPEG")) return FromJpeg(bytes);
    return FromBmp(bytes);
}

COLORREF Bitmap::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    ::GdiFlush();
    return SwapRedBlue(bits_[static_cast<size_t>(y) * width_ + x] & 0x00FFFFFF);
}

void Bitmap::SetPixel(int x, int y, COLORREF colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    ::GdiFlush();
    bits_[static_cast<size_t>(y) * width_ + x] = SwapRedBlue(colour & 0x00FFFFFF);
}

void Bitmap::Fill(COLORREF colour) {
    ::GdiFlush();
    std::fill(bits_, bits_ + static_cast<size_t>(width_) * height_, SwapRedBlue(colour & 0x00FFFFFF));
}

Bitmap Bitmap::Copy() const {
    Bitmap copy(width_, height_);
    if (!Empty()) {
        ::GdiFlush();
        std::memcpy(copy.bits_, bits_, static_cast<size_t>(width_) * height_ * 4);
    }
    return copy;
}

void Bitmap::Draw(HDC target, int x, int y) const {
    if (Empty()) return;
    ::BitBlt(target, x, y, width_, height_, dc_.Get(), 0, 0, SRCCOPY);
}

void Bitmap::DrawTransparent(HDC target, int x, int y, COLORREF key) const {
    if (Empty()) return;
    ::TransparentBlt(target, x, y, width_, height_, dc_.Get(), 0, 0, width_, height_, key);
}

void Bitmap::StretchDraw(HDC target, const RECT& rect) const {
    if (Empty()) return;
    const int oldMode = ::SetStretchBltMode(target, COLORONCOLOR);
    ::StretchBlt(target, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, dc_.Get(), 0, 0,
                 width_, height_, SRCCOPY);
    ::SetStretchBltMode(target, oldMode);
}

void Bitmap::DrawOn(Bitmap& target, int x, int y) const {
    const uint32_t noKey = 0xFFFFFFFF;
    DrawTransparentOn(target, x, y, noKey);
}

void Bitmap::DrawTransparentOn(Bitmap& target, int x, int y, COLORREF key) const {
    if (Empty() || target.Empty()) return;
    ::GdiFlush();
    const uint32_t keyPixel = key == 0xFFFFFFFF ? key : SwapRedBlue(key & 0x00FFFFFF);
    const int x0 = std::max(0, -x), y0 = std::max(0, -y);
    const int x1 = std::min(width_, target.width_ - x), y1 = std::min(height_, target.height_ - y);
    for (int sy = y0; sy < y1; ++sy) {
        const uint32_t* from = Row(sy);
        uint32_t* to = target.bits_ + static_cast<size_t>(sy + y) * target.width_ + x;
        for (int sx = x0; sx < x1; ++sx)
            if ((from[sx] & 0x00FFFFFF) != keyPixel) to[sx] = from[sx] & 0x00FFFFFF;
    }
}

}  // namespace tk
