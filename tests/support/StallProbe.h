// How long a window's thread keeps a message waiting: a thread of the
// probe's own asks the window for a reply (WM_NULL) over and over; the
// longest wait for a reply is the longest the window's thread was busy with
// something else.
#pragma once

#include <windows.h>

#include <atomic>

#include "support/Clock.h"
#include "toolkit/Handles.h"

namespace testing_support {

class StallProbe {
public:
    // Each question is given up after `timeoutMs` and counted as unanswered.
    explicit StallProbe(HWND window, DWORD timeoutMs = 10000) : window_(window), timeoutMs_(timeoutMs) {
        thread_.Reset(::CreateThread(nullptr, 0, &StallProbe::Loop, this, 0, nullptr));
    }
    ~StallProbe() { Stop(); }
    StallProbe(const StallProbe&) = delete;
    StallProbe& operator=(const StallProbe&) = delete;

    // Also from the window's own thread: the question the probe may be
    // waiting on meanwhile is answered while the stop waits for its end.
    void Stop() {
        stop_ = true;
        if (!thread_) return;
        const HANDLE thread = thread_.Get();
        while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
            MSG message;
            ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        thread_.Reset();
    }
    // Read once stopped.
    double WorstMs() const { return worst_ * 1000; }
    // When the longest wait began, in seconds from the probe's start.
    double WorstAt() const { return worstAt_; }
    int Replies() const { return replies_; }
    int Unanswered() const { return unanswered_; }

private:
    static DWORD WINAPI Loop(void* parameter) {
        auto* self = static_cast<StallProbe*>(parameter);
        while (!self->stop_) {
            const double start = Seconds();
            DWORD_PTR result = 0;
            if (::SendMessageTimeoutA(self->window_, WM_NULL, 0, 0, SMTO_NORMAL, self->timeoutMs_, &result)) {
                const double waited = Seconds() - start;
                if (waited > self->worst_) {
                    self->worst_ = waited;
                    self->worstAt_ = start - self->begin_;
                }
                ++self->replies_;
            } else {
                ++self->unanswered_;
            }
            ::Sleep(kPause);
        }
        return 0;
    }

    // ms between a reply and the next question: often enough to see any
    // stall of 50 ms, seldom enough to cost the window's thread little.
    static constexpr DWORD kPause = 15;

    HWND window_;
    DWORD timeoutMs_;
    std::atomic<bool> stop_{false};
    const double begin_ = Seconds();
    double worst_ = 0, worstAt_ = 0;
    int replies_ = 0, unanswered_ = 0;
    tk::Handle thread_;  // made last, once every field it reads is set
};

}  // namespace testing_support
