#include "toolkit/SkinPictures.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "toolkit/Dpi.h"
#include "toolkit/Resources.h"

namespace tk {

namespace {

constexpr int kSets[] = {100, 150, 200};

int SetDpi(int setPercent) { return setPercent * kDesignDpi / 100; }

bool HasDataFile(const std::string& file) {
    return FindResourceData(::GetModuleHandleA(nullptr), ResourceNameForFile(file).c_str(), MAKEINTRESOURCEA(10))
        .has_value();
}

// A size scaled by num/den, rounded, at least 1.
int Rescaled(int size, int num, int den) {
    const long long v = (static_cast<long long>(size) * num + den / 2) / den;
    return v < 1 ? 1 : static_cast<int>(v);
}

// One dimension of the area resampling: for each target pixel, the source
// pixels it covers and how much of each.
struct Tap {
    int source;
    float weight;
};
std::vector<std::vector<Tap>> Taps(int from, int to) {
    std::vector<std::vector<Tap>> taps(to);
    const double step = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
        const double begin = i * step, end = (i + 1) * step;
        for (int s = static_cast<int>(std::floor(begin)); s < end && s < from; ++s) {
            const double overlap = std::min(end, s + 1.0) - std::max(begin, static_cast<double>(s));
            if (overlap > 1e-9) taps[i].push_back({s, static_cast<float>(overlap / step)});
        }
    }
    return taps;
}

}  // namespace

int SkinSetFor(int dpi) {
    for (int set : kSets)
        if (dpi <= SetDpi(set)) return set;
    return kSets[std::size(kSets) - 1];
}

std::string SkinSetFile(const std::string& file, int setPercent) {
    return setPercent == 100 ? file : "skin" + std::to_string(setPercent) + "/" + file;
}

Bitmap DecodePictureFile(const std::string& dataFile) { return Bitmap::FromFile(dataFile, DataFile(dataFile)); }

Bitmap ResamplePicture(const Bitmap& picture, int width, int height, bool keyed) {
    if (picture.Empty() || width <= 0 || height <= 0) return {};
    const int sw = picture.Width(), sh = picture.Height();
    ::GdiFlush();
    const uint32_t key = picture.Row(sh - 1)[0] & 0x00FFFFFF;
    // Premultiplied by coverage: a key pixel adds nothing but its area.
    struct Px {
        float r, g, b, a;
    };
    const auto horizontal = Taps(sw, width);
    std::vector<Px> rows(static_cast<size_t>(sh) * width);
    for (int y = 0; y < sh; ++y) {
        const uint32_t* row = picture.Row(y);
        Px* out = &rows[static_cast<size_t>(y) * width];
        for (int x = 0; x < width; ++x) {
            Px sum{0, 0, 0, 0};
            for (const Tap& t : horizontal[x]) {
                const uint32_t c = row[t.source] & 0x00FFFFFF;
                if (keyed && c == key) continue;
                sum.r += t.weight * ((c >> 16) & 0xFF);
                sum.g += t.weight * ((c >> 8) & 0xFF);
                sum.b += t.weight * (c & 0xFF);
                sum.a += t.weight;
            }
            out[x] = sum;
        }
    }
    const auto vertical = Taps(sh, height);
    Bitmap result(width, height);
    ::GdiFlush();
    for (int y = 0; y < height; ++y) {
        uint32_t* out = result.Row(y);
        for (int x = 0; x < width; ++x) {
            Px sum{0, 0, 0, 0};
            for (const Tap& t : vertical[y]) {
                const Px& p = rows[static_cast<size_t>(t.source) * width + x];
                sum.r += t.weight * p.r;
                sum.g += t.weight * p.g;
                sum.b += t.weight * p.b;
                sum.a += t.weight * p.a;
            }
            if (keyed && sum.a < 0.5f) {
                out[x] = key;
                continue;
            }
            auto channel = [&](float v) {
                const float c = sum.a > 0 ? v / sum.a : 0;
                return static_cast<uint32_t>(std::lround(std::min(255.0f, std::max(0.0f, c))));
            };
            uint32_t c = channel(sum.r) << 16 | channel(sum.g) << 8 | channel(sum.b);
            // A shape pixel never takes the key colour: nudge it by one step.
            if (keyed && c == key) c ^= (c & 0x00FF0000) ? 0x00010000 : 0x00000001;
            out[x] = c;
        }
    }
    return result;
}

Bitmap LoadSkinPicture(const std::string& file, int dpi, const RECT* design, bool keyed, PictureDecoder decode) {
    int set = SkinSetFor(dpi);
    while (set != 100 && !HasDataFile(SkinSetFile(file, set))) set = set == 200 ? 150 : 100;
    Bitmap picture = decode(SkinSetFile(file, set));
    if (picture.Empty()) return picture;
    const int setDpi = SetDpi(set);
    int width = Rescaled(picture.Width(), dpi, setDpi), height = Rescaled(picture.Height(), dpi, setDpi);
    if (design) {
        const int dw = design->right - design->left, dh = design->bottom - design->top;
        const int setWidth = ScaleSpan(design->left, dw, setDpi), setHeight = ScaleSpan(design->top, dh, setDpi);
        if (std::abs(picture.Width() - setWidth) <= 1 && std::abs(picture.Height() - setHeight) <= 1) {
            width = ScaleSpan(design->left, dw, dpi);
            height = ScaleSpan(design->top, dh, dpi);
        }
    }
    if (width == picture.Width() && height == picture.Height()) return picture;
    return ResamplePicture(picture, width, height, keyed);
}

}  // namespace tk
