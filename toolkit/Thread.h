// A background thread with a body of its own, and its synchronous calls
// onto the UI thread.
//
// Threads and data: a derived class overrides Execute, which runs on the new
// thread. Whatever the body shares with the UI thread it either hands over
// inside a Synchronize step (the step runs on the UI thread while the body
// waits, so the step sees the body's writes and the body sees the step's) or
// keeps in atomics. The UI thread never waits for the body, except for the
// bounded WaitFor of its owner at shut-down.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>

#include "toolkit/Handles.h"

namespace tk {

class Thread {
public:
    Thread();
    // Destroying a thread object whose body still runs is a mistake of its
    // owner (the body would go on with a freed object): the destructor
    // notices it, asks the body to stop and waits for it to end.
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts the body on a new thread. A thread is started once.
    void Start();
    // Asks the body to stop; the body looks at Terminated where it can stop.
    // Wakes a Pause in progress.
    void Terminate();
    // Ends the body's current (or next) Pause early: there is work for it.
    void Wake();
    bool Terminated() const { return terminated_; }
    // True from Start until the body has returned.
    bool Running() const;
    // Waits up to `milliseconds` for the body to end; true when it has ended.
    bool WaitFor(DWORD milliseconds);
    DWORD ThreadId() const { return id_; }

    // Hands an object made with new to its own thread: it frees itself when
    // its body ends, at once if it has ended already. The caller must not
    // touch it afterwards.
    void FreeOnTerminate();

protected:
    virtual void Execute() = 0;
    // Runs a step on the UI thread and blocks until the UI thread has run it
    // from its message loop. Returns false, without running it, once the
    // application no longer takes steps (shut-down).
    bool Synchronize(const std::function<void()>& step);
    // Pauses for `milliseconds`, or less when Terminate or Wake is called.
    void Pause(DWORD milliseconds);

private:
    static unsigned __stdcall Entry(void* self);

    Handle handle_;           // ours; the thread's handle
    Handle stopEvent_;        // ours; set by Terminate
    Handle wakeEvent_;        // ours; auto-reset, set by Wake
    DWORD id_ = 0;
    std::atomic<bool> terminated_{false};
    mutable std::mutex lock_;  // guards the two flags below
    bool ended_ = false;
    bool freeOnEnd_ = false;
};

}  // namespace tk
