#include "toolkit/Dpi.h"

namespace tk {

namespace {

// The per-monitor calls exist from Windows 10 on; found at run time so that
// the program still starts on older systems.
template <typename F>
F User32Function(const char* name) {
    static const HMODULE user32 = ::GetModuleHandleA("user32.dll");
    return user32 ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(user32, name))) : nullptr;
}

}  // namespace

int ScaleToDpi(int value, int dpi) {
    if (dpi == kDesignDpi) return value;
    const long long scaled = static_cast<long long>(value) * dpi;
    const long long half = kDesignDpi / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / kDesignDpi : -((-scaled + half) / kDesignDpi));
}

RECT ScaleRect(const RECT& design, int dpi) {
    return RECT{ScaleToDpi(design.left, dpi), ScaleToDpi(design.top, dpi), ScaleToDpi(design.right, dpi),
                ScaleToDpi(design.bottom, dpi)};
}

int ScaleSpan(int start, int length, int dpi) { return ScaleToDpi(start + length, dpi) - ScaleToDpi(start, dpi); }

int SystemDpi() {
    using GetDpiForSystemFn = UINT(WINAPI*)();
    static const auto getDpiForSystem = User32Function<GetDpiForSystemFn>("GetDpiForSystem");
    if (getDpiForSystem) {
        if (const UINT dpi = getDpiForSystem()) return static_cast<int>(dpi);
    }
    const HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSX) : kDesignDpi;
    if (screen) ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kDesignDpi;
}

int WindowDpi(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow && window) {
        if (const UINT dpi = getDpiForWindow(window)) return static_cast<int>(dpi);
    }
    return SystemDpi();
}

void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi) {
    using AdjustFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjust = User32Function<AdjustFn>("AdjustWindowRectExForDpi");
    if (adjust && adjust(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi))) return;
    ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

int SystemMetricForDpi(int index, int dpi) {
    using MetricFn = int(WINAPI*)(int, UINT);
    static const auto metric = User32Function<MetricFn>("GetSystemMetricsForDpi");
    if (metric) return metric(index, static_cast<UINT>(dpi));
    return ::GetSystemMetrics(index);
}

}  // namespace tk
