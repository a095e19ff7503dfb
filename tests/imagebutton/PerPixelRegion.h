// The region of a picture built one pixel at a time: column by column, each
// pixel whose colour differs from the key becomes a one-pixel rectangle
// joined to the rest with CombineRgn (RGN_OR). Slow, plain and obviously
// right: the reference that ShapeRegion is measured and checked against.
#pragma once

#include <windows.h>

#include "toolkit/Bitmap.h"
#include "toolkit/Handles.h"

inline tk::Region PerPixelRegion(const tk::Bitmap& picture, COLORREF key) {
    tk::Region region;
    for (int x = 0; x < picture.Width(); ++x)
        for (int y = 0; y < picture.Height(); ++y) {
            if (picture.Pixel(x, y) == key) continue;
            if (!region) {
                region.Reset(::CreateRectRgn(x, y, x + 1, y + 1));
                continue;
            }
            tk::Region pixel(::CreateRectRgn(x, y, x + 1, y + 1));
            ::CombineRgn(region.Get(), region.Get(), pixel.Get(), RGN_OR);
        }
    return region;
}
