// The tests' entry: the application object is made ready once, as the
// program's own entry does, before any test makes a window. A test program
// sees the screen as the program does, per monitor at its own DPI, also
// where it carries no manifest that says so (the end-to-end drivers).
#include <gtest/gtest.h>

#include <windows.h>

#include "toolkit/Application.h"
#include "toolkit/Com.h"

namespace {

void BePerMonitorAware() {
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    const HMODULE user32 = ::GetModuleHandleA("user32.dll");
    const auto set = user32 ? reinterpret_cast<SetContextFn>(
                                  reinterpret_cast<void*>(::GetProcAddress(user32, "SetProcessDpiAwarenessContext")))
                            : nullptr;
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2; refused when a manifest said it already.
    if (set) set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));
}

}  // namespace

int main(int argc, char** argv) {
    BePerMonitorAware();
    ::testing::InitGoogleTest(&argc, argv);
    const tk::OleApartment ole;
    tk::Application& app = tk::Application::Get();
    app.Initialize();
    app.SetTitle("Quendrix Ombrelo 1.0");
    return RUN_ALL_TESTS();
}
