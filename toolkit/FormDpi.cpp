// A form laid out again when its window moves to a monitor of another DPI.
#include "toolkit/Form.h"

#include <algorithm>

#include "toolkit/Dpi.h"

namespace tk {

void Form::ChangeDpi(int dpi, const RECT* suggested) {
    if (dpi <= 0) return;
    // The old fonts stay alive until every control has taken its new one.
    std::map<FontSpec, tk::Font> oldFonts;
    oldFonts.swap(fonts_);
    dpi_ = dpi;
    for (Control* c : controls_) c->DpiChanged();

    int width = ScaleToDpi(clientWidth_, dpi_), height = ScaleToDpi(clientHeight_, dpi_);
    if (autoSize_) {
        width = height = 0;
        for (Control* c : controls_) {
            if (!c->Visible()) continue;
            width = std::max(width, c->Left() + c->Width());
            height = std::max(height, c->Top() + c->Height());
        }
    }
    const SIZE outer = OuterSize(width, height);
    RECT to = WindowRect();
    if (suggested) {
        to = *suggested;
        // A form that sizes itself to its controls keeps the size it needs.
        if (autoSize_) to = RECT{to.left, to.top, to.left + outer.cx, to.top + outer.cy};
    } else {
        to.right = to.left + outer.cx;
        to.bottom = to.top + outer.cy;
    }
    ::SetWindowPos(hwnd_, nullptr, to.left, to.top, to.right - to.left, to.bottom - to.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    LoadIcons();
    DpiChanged();
    ::InvalidateRect(hwnd_, nullptr, FALSE);
}

}  // namespace tk
