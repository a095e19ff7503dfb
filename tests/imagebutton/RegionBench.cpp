// How long one build of an image button's region takes: one pixel at a time
// (CreateRectRgn and CombineRgn RGN_OR per pixel, column by column) against
// one rectangle per horizontal run handed over in one ExtCreateRegion call.
//   RegionBench.exe [repetitions]      (tools/bench_region.sh runs it under Wine)
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "imagebutton/PerPixelRegion.h"
#include "skin/ImageButton3.h"
#include "support/Clock.h"
#include "toolkit/Bitmap.h"
#include "toolkit/Resources.h"

namespace {

using testing_support::Seconds;

// Milliseconds per build, the best of five rounds of `count` builds each.
template <typename Build>
double MillisecondsPerBuild(int count, Build build) {
    double best = 1e30;
    for (int round = 0; round < 5; ++round) {
        const double start = Seconds();
        for (int i = 0; i < count; ++i) build();
        const double each = (Seconds() - start) * 1000.0 / count;
        if (each < best) best = each;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 200;
    const char* pictures[] = {"main_start_none.bmp",         "main_add_none.bmp",
                              "skin150/main_start_none.bmp", "skin150/main_add_none.bmp",
                              "skin200/main_start_none.bmp", "skin200/main_add_none.bmp"};
    std::printf("%-30s %8s %14s %14s %8s\n", "picture", "size", "per pixel ms", "runs ms", "ratio");
    for (const char* file : pictures) {
        const tk::Bitmap picture = tk::Bitmap::FromBmp(tk::DataFile(file));
        const COLORREF key = picture.Pixel(0, picture.Height() - 1);
        {
            const tk::Region a = PerPixelRegion(picture, key), b = ShapeRegion(picture, key);
            if (!::EqualRgn(a.Get(), b.Get())) {
                std::printf("%s: the two regions differ\n", file);
                return 1;
            }
        }
        const double perPixel = MillisecondsPerBuild(count, [&] { PerPixelRegion(picture, key); });
        const double runs = MillisecondsPerBuild(count * 10, [&] { ShapeRegion(picture, key); });
        char size[16];
        std::snprintf(size, sizeof size, "%dx%d", picture.Width(), picture.Height());
        std::printf("%-30s %8s %14.4f %14.4f %7.0fx\n", file, size, perPixel, runs, perPixel / runs);
    }
    return 0;
}
