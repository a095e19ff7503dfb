// A form laid out again when its window moves to a monitor of another DPI.
#include "toolkit/Form.h"

#include "toolkit/Dpi.h"

namespace tk {

void Form::ChangeDpi(int dpi, const RECT* suggested) {
    if (dpi <= 0) return;
    // The old fonts stay alive until every control has taken its new one.
    std::map<FontSpec, tk::Font> oldFonts;
    oldFonts.swap(fonts_);
    dpi_ = dpi;
    for (Control* c : controls_) c->DpiChanged();

    // The size is the layout's own at the new DPI, as WM_GETDPISCALEDSIZE
    // answers (a form that sizes itself: its controls' extent, now they are
    // laid out); the system's suggestion gives the place on the new monitor.
    // Its size is taken from us where the system asks first; elsewhere it is
    // the old one scaled in proportion, a pixel off now and then.
    const SIZE outer = autoSize_ ? OuterSize(ControlsExtent(), dpi_) : LayoutWindowSize(dpi_);
    const RECT place = suggested ? *suggested : WindowRect();
    ::SetWindowPos(hwnd_, nullptr, place.left, place.top, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    LoadIcons();
    DpiChanged();
    ::InvalidateRect(hwnd_, nullptr, FALSE);
}

}  // namespace tk
