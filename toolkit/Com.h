// COM on the UI thread. The shell's dialogs and launches (the folder
// browser, ShellExecute with its handlers) expect an apartment-threaded
// thread with OLE, and screen readers reach the windows' accessible objects
// through it: the UI thread holds one from start to end.
#pragma once

#include <windows.h>

#include <ole2.h>

namespace tk {

class OleApartment {
public:
    OleApartment() : initialized_(SUCCEEDED(::OleInitialize(nullptr))) {}
    ~OleApartment() {
        if (initialized_) ::OleUninitialize();
    }
    OleApartment(const OleApartment&) = delete;
    OleApartment& operator=(const OleApartment&) = delete;
    bool Initialized() const { return initialized_; }

private:
    bool initialized_;
};

}  // namespace tk
