#include "skin/DragMove.h"

#include "toolkit/Form.h"

void DragMouseDown(DragState& drag, tk::MouseButton button, int x, int y) {
    if (button != tk::MouseButton::Left) return;
    drag.Dragging = true;
    drag.DragX = x;
    drag.DragY = y;
}

void DragMouseMove(DragState& drag, tk::Form& window, tk::ShiftState shift, int x, int y) {
    if (!drag.Dragging) return;
    if (!(shift & tk::kLeft)) {
        drag.Dragging = false;
        return;
    }
    // The control moves with the window, so x - DragX is the travel since the
    // last move. Horizontal and vertical steps apply one after the other.
    RECT r = window.WindowRect();
    window.MoveTo(r.left + x - drag.DragX, r.top);
    r = window.WindowRect();
    window.MoveTo(r.left, r.top + y - drag.DragY);
}

void DragMouseUp(DragState& drag, tk::MouseButton button) {
    if (button == tk::MouseButton::Left) drag.Dragging = false;
}
