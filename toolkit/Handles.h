// One small owner per kind of Win32 handle. Each is movable, not copyable,
// and frees its handle exactly once.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <utility>

namespace tk {

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type h) : h_(h) {}
    ~UniqueHandle() { Reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Type Get() const { return h_; }
    explicit operator bool() const { return Traits::IsValid(h_); }

    // Frees the current handle (if any) and takes h.
    void Reset(Type h = Traits::Invalid()) {
        if (Traits::IsValid(h_)) Traits::Close(h_);
        h_ = h;
    }
    // Gives the handle away: the caller (or the system) owns it now.
    Type Release() { return std::exchange(h_, Traits::Invalid()); }
    // For APIs that fill in a handle: frees the current one first.
    Type* Out() {
        Reset();
        return &h_;
    }

private:
    Type h_ = Traits::Invalid();
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::CloseHandle(h); }
};
using Handle = UniqueHandle<KernelHandleTraits>;

// Files opened with CreateFile: INVALID_HANDLE_VALUE is their "none".
struct FileHandleTraits : KernelHandleTraits {
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
};
using FileHandle = UniqueHandle<FileHandleTraits>;

// A search begun with FindFirstFile: INVALID_HANDLE_VALUE is its "none".
struct FindTraits : FileHandleTraits {
    static void Close(Type h) { ::FindClose(h); }
};
using FindHandle = UniqueHandle<FindTraits>;

template <typename T>
struct GdiObjectTraits {
    using Type = T;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ::DeleteObject(h); }
};
template <typename T>
using GdiObject = UniqueHandle<GdiObjectTraits<T>>;
using Font = GdiObject<HFONT>;
using Brush = GdiObject<HBRUSH>;
using Pen = GdiObject<HPEN>;
using BitmapHandle = GdiObject<HBITMAP>;
// A region we own until it is handed to SetWindowRgn (then Release() it).
using Region = GdiObject<HRGN>;

struct MemoryDcTraits {
    using Type = HDC;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ::DeleteDC(h); }
};
using MemoryDc = UniqueHandle<MemoryDcTraits>;

struct IconTraits {
    using Type = HICON;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ::DestroyIcon(h); }
};
using Icon = UniqueHandle<IconTraits>;

struct RegistryKeyTraits {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ::RegCloseKey(h); }
};
using RegistryKey = UniqueHandle<RegistryKeyTraits>;

// A menu made with CreatePopupMenu (not one attached to a window).
struct MenuTraits {
    using Type = HMENU;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ::DestroyMenu(h); }
};
using MenuHandle = UniqueHandle<MenuTraits>;

// The files of a drop (WM_DROPFILES); released with DragFinish.
struct DropTraits {
    using Type = HDROP;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ::DragFinish(h); }
};
using DropHandle = UniqueHandle<DropTraits>;

// A window's DC for drawing outside the paint cycle.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    ~WindowDc() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// Selects an object into a DC and puts the previous one back.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ obj) : dc_(dc), old_(::SelectObject(dc, obj)) {}
    ~ScopedSelect() {
        if (old_) ::SelectObject(dc_, old_);
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace tk
