// Display scale. Layouts, fonts and skin pictures are written for 96 DPI
// (100 %); a window shows them at the DPI of the monitor it is on. Every
// coordinate goes through the one rounding rule below: an edge at x moves to
// ScaleToDpi(x), and a size is the distance between its scaled edges, so
// controls that touch at 100 % still touch at every scale and nothing drifts.
#pragma once

#include <windows.h>

namespace tk {

constexpr int kDesignDpi = 96;

// v * dpi / 96, rounded to the nearest whole pixel, halves away from zero.
int ScaleToDpi(int value, int dpi);
// A rectangle given in 96-DPI units, its edges scaled.
RECT ScaleRect(const RECT& design, int dpi);
// The scaled size of a span that starts at `start` (both in 96-DPI units).
int ScaleSpan(int start, int length, int dpi);

// The DPI of the monitor the window is on, as the system tells a per-monitor
// aware program (older systems: the system DPI).
int WindowDpi(HWND window);
// The DPI of the screen as a whole (the primary monitor's).
int SystemDpi();

// AdjustWindowRectEx for a window at that DPI (older systems: the system's
// own metrics, which are the system DPI's).
void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi);
// GetSystemMetrics for a window at that DPI.
int SystemMetricForDpi(int index, int dpi);

// WM_DPICHANGED and WM_GETDPISCALEDSIZE, for headers that lack them.
constexpr UINT kDpiChangedMessage = 0x02E0;
constexpr UINT kGetDpiScaledSizeMessage = 0x02E4;

}  // namespace tk
