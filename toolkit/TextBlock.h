// Captions drawn by the toolkit itself (labels): broken into lines, measured
// and drawn with one set of character advances.
//
// Why not DrawText: it places and wraps text by the advances that
// GetTextExtentPoint32 reports, but Wine draws monochrome glyphs (small sizes
// of a hinted TrueType face, such as the one that stands in for "MS Sans
// Serif") with the advances of their monochrome bitmaps, up to a pixel wider
// per character. A label sized or right-aligned by that measure then runs past
// its own bounds and loses its last character to the clip. Here a line's width
// is the wider of the measure and the glyphs as they are really drawn; on
// Windows the two agree.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace tk {

// The width of one line of text, in pixels.
using LineMeasure = std::function<int(const std::wstring& line)>;

// The lines of `text`: a line end ("\n" or "\r\n") always breaks; with a
// positive `width` a line also breaks at the last space before its text grows
// wider than `width` (as DT_WORDBREAK does). The spaces at a break are
// dropped; a word wider than `width` keeps a line of its own. Never empty.
std::vector<std::wstring> BreakLines(const std::wstring& text, int width, const LineMeasure& measure);

// The size that DrawTextBlock needs for `text` in the font selected into `dc`:
// the widest line, one text height per line. `wrapWidth`: as
// BreakLines' width (0: no wrapping).
SIZE MeasureTextBlock(HDC dc, const std::wstring& text, int wrapWidth);

// Draws `text` from the top of `bounds`, each line placed by `alignment`
// (DT_LEFT, DT_CENTER or DT_RIGHT) within the bounds' width, in the DC's
// font, colour and background mode; `wrap` breaks the lines at the bounds'
// width. It does not clip.
void DrawTextBlock(HDC dc, const std::wstring& text, const RECT& bounds, UINT alignment, bool wrap);

}  // namespace tk
