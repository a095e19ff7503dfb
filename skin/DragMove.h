// Moving a borderless window by dragging a control of its face.
//
// A left press on a drag surface starts a drag; the form captures the mouse
// for that control, so the moves and the release that follow come to it
// wherever the pointer goes. Each move shifts the window by the pointer's
// travel: left first, then top. Other buttons never start a drag, so every
// drag ends with the left button's release.
#pragma once

#include "toolkit/Events.h"

namespace tk {
class Form;
}

struct DragState {
    bool Dragging = false;
    int DragX = 0;  // the press, in the pressed control's client coordinates
    int DragY = 0;
};

void DragMouseDown(DragState& drag, tk::MouseButton button, int x, int y);
// A move without the left button held (the capture was taken away, so the
// release never came) ends the drag instead of moving.
void DragMouseMove(DragState& drag, tk::Form& window, tk::ShiftState shift, int x, int y);
void DragMouseUp(DragState& drag, tk::MouseButton button);
