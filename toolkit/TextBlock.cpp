#include "toolkit/TextBlock.h"

#include <algorithm>
#include <cstdint>

#include "toolkit/Bitmap.h"
#include "toolkit/Handles.h"

namespace tk {

namespace {

void BreakParagraph(const std::wstring& text, int width, const LineMeasure& measure, std::vector<std::wstring>& lines) {
    if (width <= 0) {
        lines.push_back(text);
        return;
    }
    // The end of the word that begins at or after `from` (leading spaces belong to it).
    auto wordEnd = [&](size_t from) {
        const size_t word = text.find_first_not_of(L' ', from);
        if (word == std::wstring::npos) return text.size();
        return std::min(text.find(L' ', word), text.size());
    };
    size_t start = 0;
    for (;;) {
        size_t end = wordEnd(start);
        while (end < text.size()) {
            const size_t next = wordEnd(end);
            if (measure(text.substr(start, next - start)) > width) break;
            end = next;
        }
        lines.push_back(text.substr(start, end - start));
        start = text.find_first_not_of(L' ', end);
        if (start == std::wstring::npos) return;
    }
}

// The width of a line in the DC's font: the text measure's, or more where
// the glyphs as drawn reach further (see the header). The glyphs are drawn
// alone into a scratch picture of the same kind as the DIBs the forms paint
// into, and the rightmost column they touch counts.
int LineWidth(HDC dc, const std::wstring& line) {
    const int count = static_cast<int>(line.size());
    SIZE size{};
    if (count == 0 || !::GetTextExtentPoint32W(dc, line.data(), count, &size)) return 0;
    TEXTMETRICA metrics{};
    ::GetTextMetricsA(dc, &metrics);
    Bitmap scratch(size.cx + 2 * metrics.tmMaxCharWidth + 8, metrics.tmHeight);
    if (scratch.Empty()) return size.cx;
    scratch.Fill(RGB(255, 255, 255));
    {
        ScopedSelect font(scratch.Dc(), ::GetCurrentObject(dc, OBJ_FONT));
        ::SetBkMode(scratch.Dc(), TRANSPARENT);
        ::SetTextColor(scratch.Dc(), RGB(0, 0, 0));
        ::TextOutW(scratch.Dc(), 0, 0, line.data(), count);
        ::GdiFlush();
    }
    int width = size.cx;
    for (int y = 0; y < scratch.Height(); ++y) {
        const uint32_t* row = scratch.Row(y);
        for (int x = scratch.Width() - 1; x >= width; --x)
            if ((row[x] & 0xFFFFFF) != 0xFFFFFF) {
                width = x + 1;
                break;
            }
    }
    return width;
}

int LineHeight(HDC dc) {
    TEXTMETRICA metrics{};
    ::GetTextMetricsA(dc, &metrics);
    return metrics.tmHeight;
}

std::vector<std::wstring> LinesIn(HDC dc, const std::wstring& text, int wrapWidth) {
    return BreakLines(text, wrapWidth, [dc](const std::wstring& line) { return LineWidth(dc, line); });
}

}  // namespace

std::vector<std::wstring> BreakLines(const std::wstring& text, int width, const LineMeasure& measure) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(L'\n', start);
        std::wstring paragraph = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (!paragraph.empty() && paragraph.back() == L'\r') paragraph.pop_back();
        BreakParagraph(paragraph, width, measure, lines);
        if (end == std::wstring::npos) return lines;
        start = end + 1;
    }
}

SIZE MeasureTextBlock(HDC dc, const std::wstring& text, int wrapWidth) {
    const std::vector<std::wstring> lines = LinesIn(dc, text, wrapWidth);
    SIZE size{0, LineHeight(dc) * static_cast<LONG>(lines.size())};
    for (const std::wstring& line : lines) size.cx = std::max<LONG>(size.cx, LineWidth(dc, line));
    return size;
}

void DrawTextBlock(HDC dc, const std::wstring& text, const RECT& bounds, UINT alignment, bool wrap) {
    const int lineHeight = LineHeight(dc);
    int y = bounds.top;
    for (const std::wstring& line : LinesIn(dc, text, wrap ? bounds.right - bounds.left : 0)) {
        int x = bounds.left;
        if (alignment & (DT_RIGHT | DT_CENTER)) {
            const int spare = bounds.right - bounds.left - LineWidth(dc, line);
            x += alignment & DT_RIGHT ? spare : spare / 2;
        }
        ::TextOutW(dc, x, y, line.data(), static_cast<int>(line.size()));
        y += lineHeight;
    }
}

}  // namespace tk
