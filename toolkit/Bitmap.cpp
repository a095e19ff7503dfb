#include "toolkit/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "toolkit/Text.h"

namespace tk {

Bitmap::Bitmap(int width, int height) {
    if (width <= 0 || height <= 0) return;
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
    // BITMAPFILEHEADER (14 bytes), then the BITMAPINFO that GDI reads itself.
    if (file.size() < 14 + sizeof(BITMAPINFOHEADER) || file[0] != 'B' || file[1] != 'M')
        throw Error("Bitmap image is not valid");
    BITMAPFILEHEADER header;
    std::memcpy(&header, file.data(), sizeof header);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(file.data() + 14);
    BITMAPINFOHEADER ih;
    std::memcpy(&ih, info, sizeof ih);
    if (header.bfOffBits >= file.size() || ih.biWidth <= 0 || ih.biHeight == 0)
        throw Error("Bitmap image is not valid");
    // GDI wants the header aligned; copy header and pixels into aligned storage.
    std::string copy(file.substr(14));
    Bitmap bitmap(ih.biWidth, ih.biHeight < 0 ? -ih.biHeight : ih.biHeight);
    const char* pixels = copy.data() + (header.bfOffBits - 14);
    const int lines = ::SetDIBitsToDevice(bitmap.Dc(), 0, 0, bitmap.Width(), bitmap.Height(), 0, 0, 0,
                                          bitmap.Height(), pixels, reinterpret_cast<const BITMAPINFO*>(copy.data()),
                                          DIB_RGB_COLORS);
    if (lines == 0) throw Error("Bitmap image is not valid");
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
