#include "toolkit/Thread.h"

#include <process.h>

#include <exception>
#include <string>

#include "toolkit/Application.h"
#include "toolkit/Text.h"

namespace tk {

Thread::Thread()
    : stopEvent_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      wakeEvent_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
    if (!stopEvent_ || !wakeEvent_) throw Error("Cannot create an event: " + SysErrorMessage(::GetLastError()));
}

Thread::~Thread() {
    if (!handle_ || ::GetCurrentThreadId() == id_) return;  // never started, or freeing itself
    if (Running()) {
        ::OutputDebugStringA("tk::Thread destroyed while its body runs; waiting for the body to end\n");
        Terminate();
    }
    // The body may have ended a moment ago and still be on its way out.
    ::WaitForSingleObject(handle_.Get(), INFINITE);
}

void Thread::Start() {
    if (handle_) throw Error("A thread is started only once");
    unsigned id = 0;
    const uintptr_t handle = ::_beginthreadex(nullptr, 0, &Thread::Entry, this, 0, &id);
    if (handle == 0) throw Error("Cannot start a thread: " + SysErrorMessage(::GetLastError()));
    id_ = id;
    handle_.Reset(reinterpret_cast<HANDLE>(handle));
}

void Thread::Terminate() {
    terminated_ = true;
    ::SetEvent(stopEvent_.Get());
}

bool Thread::Running() const {
    std::lock_guard<std::mutex> hold(lock_);
    return handle_ && !ended_;
}

bool Thread::WaitFor(DWORD milliseconds) {
    if (!handle_) return true;
    return ::WaitForSingleObject(handle_.Get(), milliseconds) == WAIT_OBJECT_0;
}

void Thread::FreeOnTerminate() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (handle_ && !ended_) {
            freeOnEnd_ = true;
            return;
        }
    }
    delete this;
}

bool Thread::Synchronize(const std::function<void()>& step) { return Application::Get().Synchronize(step); }

void Thread::Wake() { ::SetEvent(wakeEvent_.Get()); }

void Thread::Pause(DWORD milliseconds) {
    const HANDLE events[] = {stopEvent_.Get(), wakeEvent_.Get()};
    ::WaitForMultipleObjects(2, events, FALSE, milliseconds);
}

unsigned __stdcall Thread::Entry(void* parameter) {
    auto* self = static_cast<Thread*>(parameter);
    std::string failure;
    try {
        self->Execute();
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "Unknown error";
    }
    // A body that fails has nobody to tell but the user.
    if (!failure.empty()) self->Synchronize([&] { Application::Get().ShowError(failure); });

    bool freeItself = false;
    {
        std::lock_guard<std::mutex> hold(self->lock_);
        self->ended_ = true;
        freeItself = self->freeOnEnd_;
    }
    if (freeItself) delete self;
    return 0;
}

}  // namespace tk
