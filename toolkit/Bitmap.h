// A picture in memory: a 32-bit top-down DIB section with a memory DC, so it
// can be read per pixel and drawn with GDI. Colours are COLORREF values
// (0x00BBGGRR), like the rest of the program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "toolkit/Handles.h"

namespace tk {

class Bitmap {
public:
    Bitmap() = default;  // empty: no pixels, draws nothing
    Bitmap(int width, int height);
    Bitmap(Bitmap&& other) noexcept;
    Bitmap& operator=(Bitmap&& other) noexcept;
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    // Decoders; both throw tk::Error on data they cannot read.
    static Bitmap FromBmp(std::string_view bmpFile);
    static Bitmap FromJpeg(std::string_view jpegFile);
    // Picks the decoder by the file name's extension (.bmp or .jpg/.jpeg).
    static Bitmap FromFile(std::string_view name, std::string_view bytes);

    bool Empty() const { return width_ == 0 || height_ == 0; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    COLORREF Pixel(int x, int y) const;
    void SetPixel(int x, int y, COLORREF colour);
    void Fill(COLORREF colour);
    Bitmap Copy() const;

    // A DC with this bitmap selected, for drawing into it with GDI.
    HDC Dc() const { return dc_.Get(); }

    // Draws at natural size at (x, y); the destination clips.
    void Draw(HDC target, int x, int y) const;
    // The same, leaving out every pixel equal to the key colour.
    void DrawTransparent(HDC target, int x, int y, COLORREF key) const;
    // Stretches the whole picture over the rectangle.
    void StretchDraw(HDC target, const RECT& rect) const;

    // Pixel-exact versions for drawing into another Bitmap.
    void DrawOn(Bitmap& target, int x, int y) const;
    void DrawTransparentOn(Bitmap& target, int x, int y, COLORREF key) const;

    const uint32_t* Row(int y) const { return bits_ + static_cast<size_t>(y) * width_; }
    // Writable rows (0x00RRGGBB); call GdiFlush before when GDI drew meanwhile.
    uint32_t* Row(int y) { return bits_ + static_cast<size_t>(y) * width_; }

private:
    int width_ = 0;
    int height_ = 0;
    uint32_t* bits_ = nullptr;  // the DIB's pixels, owned by bitmap_
    BitmapHandle bitmap_;
    MemoryDc dc_;  // holds bitmap_ selected; destroyed first
};

// Pixels in the DIB are 0x00RRGGBB; COLORREF is 0x00BBGGRR.
constexpr uint32_t SwapRedBlue(uint32_t c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

}  // namespace tk
