// The toolkit's thread class, on which the conversion worker stands.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "support/TestSupport.h"
#include "toolkit/Application.h"
#include "toolkit/Text.h"
#include "toolkit/Thread.h"

namespace {

using testing_support::ErrorRecorder;
using testing_support::FlushEvents;
using testing_support::WaitFor;

// Set by the destructor of a BodyThread: tells that the object was freed.
std::atomic<int> freed{0};

class BodyThread : public tk::Thread {
public:
    explicit BodyThread(std::function<void(BodyThread&)> body) : body_(std::move(body)) {}
    ~BodyThread() override { ++freed; }
    using tk::Thread::Pause;
    using tk::Thread::Synchronize;

protected:
    void Execute() override { body_(*this); }

private:
    std::function<void(BodyThread&)> body_;
};

TEST(Thread, SynchronizedStepRunsOnTheUiThreadWhileTheBodyWaits) {
    std::atomic<DWORD> stepThread{0};
    std::atomic<bool> bodyGoesOn{false};
    BodyThread thread([&](BodyThread& self) {
        self.Synchronize([&] { stepThread = ::GetCurrentThreadId(); });
        bodyGoesOn = true;
    });
    thread.Start();
    ::Sleep(300);  // no messages handled: the step cannot have run
    EXPECT_EQ(stepThread, 0u);
    EXPECT_FALSE(bodyGoesOn);
    EXPECT_TRUE(WaitFor([&] { return bodyGoesOn.load(); }));
    EXPECT_EQ(stepThread, tk::Application::Get().UiThreadId());
    EXPECT_TRUE(thread.WaitFor(2000));
    EXPECT_FALSE(thread.Running());
}

TEST(Thread, TerminateEndsAPause) {
    BodyThread thread([](BodyThread& self) {
        while (!self.Terminated()) self.Pause(10000);
    });
    thread.Start();
    EXPECT_TRUE(thread.Running());
    EXPECT_FALSE(thread.WaitFor(200));
    thread.Terminate();
    EXPECT_TRUE(thread.WaitFor(1000));
}

// Its body uses nothing but the base class, which still exists while the
// base destructor waits.
std::atomic<bool> spinnerEnded{false};
class Spinner : public tk::Thread {
protected:
    void Execute() override {
        while (!Terminated()) ::Sleep(20);
        ::Sleep(200);
        spinnerEnded = true;
    }
};

TEST(Thread, DestroyingARunningThreadWaitsForItsBody) {
    auto* thread = new Spinner;
    thread->Start();
    ::Sleep(100);
    delete thread;
    EXPECT_TRUE(spinnerEnded);
}

TEST(Thread, FreeOnTerminateFreesWhenTheBodyEnds) {
    freed = 0;
    std::atomic<bool> release{false};
    auto* running = new BodyThread([&](BodyThread&) {
        while (!release) ::Sleep(10);
    });
    running->Start();
    running->FreeOnTerminate();
    ::Sleep(100);
    EXPECT_EQ(freed, 0) << "not while the body runs";
    release = true;
    EXPECT_TRUE(WaitFor([] { return freed == 1; }, 2000));

    auto* ended = new BodyThread([](BodyThread&) {});
    ended->Start();
    ASSERT_TRUE(ended->WaitFor(2000));
    ended->FreeOnTerminate();
    EXPECT_EQ(freed, 2) << "at once when the body has ended";
}

TEST(Thread, FailureEscapingTheBodyReachesTheErrorBox) {
    ErrorRecorder errors;
    BodyThread thread([](BodyThread&) { throw tk::Error("The body failed"); });
    thread.Start();
    EXPECT_TRUE(WaitFor([&] { return thread.WaitFor(0); }));
    ASSERT_EQ(errors.Errors().size(), 1u);
    EXPECT_EQ(errors.Errors()[0], "The body failed.");
}

}  // namespace
