// The UI thread's COM apartment: the shell's folder browser and launches
// need an apartment-threaded thread with OLE, and it ends with its owner.
#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>

#include <thread>

#include "toolkit/Com.h"

namespace {

TEST(OleApartmentTest, MakesTheThreadApartmentThreadedUntilItEnds) {
    HRESULT inside = S_OK, after = E_FAIL;
    bool initialized = false;
    std::thread([&] {
        {
            const tk::OleApartment ole;
            initialized = ole.Initialized();
            // A thread already in an apartment-threaded apartment cannot
            // join the multithreaded one.
            inside = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        }
        after = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(after)) ::CoUninitialize();
    }).join();
    EXPECT_TRUE(initialized);
    EXPECT_EQ(inside, RPC_E_CHANGED_MODE);
    EXPECT_EQ(after, S_OK) << "uninitialised at the end";
}

}  // namespace
