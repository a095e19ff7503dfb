#include "toolkit/TextBlock.h"

#include <algorithm>
#include <cstdint>

#include "toolkit/Bitmap.h"
#include "toolkit/Handles.h"

namespace tk {

namespace {

void BreakParagraph(const std::string& text, int width, const LineMeasure& measure, std::vector<std::string>& lines) {
    if (width <= 0) {
        lines.push_back(text);
        return;
    }
    // The end of the word that begins at or after `from` (leading spaces belong to it).
    auto wordEnd = [&](size_t from) {
        const size_t word = text.find_first_not_of(' ', from);
        if (word == std::string::npos) return text.size();
        return std::min(text.find(' ', word), text.size());
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
        start = text.find_first_not_of(' ', end);
        if (start == std::string::npos) return;
    }
}

// The width of a line in the DC's font: the text measure's, or more where
// the glyphs as drawn reach further (see the header). The glyphs are drawn
// alone into a scratch picture of the same kind as the DIBs the forms paint
// into, and the rightmost column they touch counts.
int LineWidth(HDC dc, const std::string& line) {
    const int count = static_cast<int>(line.size());
    SIZE size{};
    if (count == 0 || !::GetTextExtentPoint32A(dc, line.data(), count, &size)) return 0;
    TEXTMETRICA metrics{};
    ::GetTextMetricsA(dc, &metrics);
    Bitmap scratch(size.cx + 2 * metrics.tmMaxCharWidth + 8, metrics.tmHeight);
    if (scratch.Empty()) return size.cx;
    scratch.Fill(RGB(255, 255, 255));
    {
        ScopedSelect font(scratch.Dc(), ::GetCurrentObject(dc, OBJ_FONT));
        ::SetBkMode(scratch.Dc(), TRANSPARENT);
        ::SetTextColor(scratch.Dc(), RGB(0, 0, 0));
        ::TextOutA(scratch.Dc(), 0, 0, line.data(), count);
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

std::vector<std::string> LinesIn(HDC dc, const std::string& text, int wrapWidth) {
    return BreakLines(text, wrapWidth, [dc](const std::string& line) { return LineWidth(dc, line); });
}

}  // namespace

std::vector<std::string> BreakLines(const std::string& text, int width, const LineMeasure& measure) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        std::string paragraph = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!paragraph.empty() && paragraph.back() == '\r') paragraph.pop_back();
        BreakParagraph(paragraph, width, measure, lines);
        if (end == std::string::npos) return lines;
        start = end + 1;
    }
}

SIZE MeasureTextBlock(HDC dc, const std::string& text, int wrapWidth) {
    const std::vector<std::string> lines = LinesIn(dc, text, wrapWidth);
    SIZE size{0, LineHeight(dc) * static_cast<LONG>(lines.size())};
    for (const std::string& line : lines) size.cx = std::max<LONG>(size.cx, LineWidth(dc, line));
    return size;
}

void DrawTextBlock(HDC dc, const std::string& text, const RECT& bounds, UINT alignment, bool wrap) {
    const int lineHeight = LineHeight(dc);
    int y = bounds.top;
    for (const std::string& line : LinesIn(dc, text, wrap ? bounds.right - bounds.left : 0)) {
        int x = bounds.left;
        if (alignment & (DT_RIGHT | DT_CENTER)) {
            const int spare = bounds.right - bounds.left - LineWidth(dc, line);
            x += alignment & DT_RIGHT ? spare : spare / 2;
        }
        ::TextOutA(dc, x, y, line.data(), static_cast<int>(line.size()));
        y += lineHeight;
    }
}

}  // namespace tk
