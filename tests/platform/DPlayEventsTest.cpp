#include "platform/dplay/Events.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

TEST(KernelEvent, AnAutoResetEventWakesOneWaitAndClearsItself) {
    HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(e));
    EXPECT_EQ(WaitForSingleObject(e, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 10), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(e));
}

TEST(KernelEvent, ClosingEndsAWaitUnderWayAndEveryLaterWaitFails) {
    HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DWORD result = WAIT_OBJECT_0;
    std::thread waiter([&] { result = WaitForSingleObject(e, INFINITE); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(CloseHandle(e));
    waiter.join();
    EXPECT_EQ(result, WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(e, INFINITE), WAIT_FAILED);
    EXPECT_FALSE(SetEvent(e));
    EXPECT_FALSE(CloseHandle(e));
    // A new event never takes the closed one's handle.
    HANDLE next = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_NE(next, e);
    CloseHandle(next);
}
