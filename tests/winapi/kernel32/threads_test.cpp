// The layer's threads: ids known when CreateThread returns, exit codes from a return and
// from ExitThread, waits that time out and waits that succeed (also several at once),
// and handles that are closed while their thread still runs.
#include <gtest/gtest.h>
#include <seh.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <vector>

#include "support/test_support.h"

namespace {

// What a test thread sees and does; the test releases it through `go`.
struct Gate {
    std::atomic<bool> go{false};
    std::atomic<bool> done{false};
    std::atomic<DWORD> idSeen{0};
};

void WaitFor(const std::atomic<bool>& flag) {
    while (!flag.load()) Sleep(1);
}

DWORD WaitThenReturn(LPVOID parameter) {
    auto* gate = static_cast<Gate*>(parameter);
    gate->idSeen = GetCurrentThreadId();
    WaitFor(gate->go);
    gate->done = true;
    return 7;
}

[[noreturn]] void LeaveFromDeepInside(int depth) {
    if (depth == 0) ExitThread(0xC0DE);
    LeaveFromDeepInside(depth - 1);
}

DWORD ExitThroughExitThread(LPVOID) { LeaveFromDeepInside(3); }

DWORD ExitFromInsideAGuard(LPVOID) {
    return SehGuard([](void*) -> DWORD { ExitThread(9); }, nullptr,
                    [](EXCEPTION_POINTERS*, DWORD) -> LONG { return 0; }, 1);
}

TEST(Threads, IdIsKnownWhenCreateThreadReturnsAndMatchesTheThreadsOwn) {
    Gate gate;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, WaitThenReturn, &gate, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());
    gate.go = true;
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(gate.idSeen.load(), id);
    EXPECT_TRUE(CloseHandle(thread));
}

TEST(Threads, ExitCodeComesFromTheReturnOrFromExitThread) {
    Gate gate;
    gate.go = true;
    HANDLE returning = CreateThread(nullptr, 0, WaitThenReturn, &gate, 0, nullptr);
    HANDLE exiting = CreateThread(nullptr, 256 * 1024, ExitThroughExitThread, nullptr, 0, nullptr);
    HANDLE guarded = CreateThread(nullptr, 0, ExitFromInsideAGuard, nullptr, 0, nullptr);
    ASSERT_NE(returning, nullptr);
    ASSERT_NE(exiting, nullptr);
    ASSERT_NE(guarded, nullptr);
    ASSERT_EQ(WaitForSingleObject(returning, INFINITE), WAIT_OBJECT_0);
    ASSERT_EQ(WaitForSingleObject(exiting, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(returning, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(GetExitCodeThread(exiting, &code));
    EXPECT_EQ(code, 0xC0DEu);
    ASSERT_EQ(WaitForSingleObject(guarded, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(guarded, &code));
    EXPECT_EQ(code, 9u);
    EXPECT_TRUE(CloseHandle(guarded));
    // A finished thread answers the same again: the second wait does not join twice.
    EXPECT_EQ(WaitForSingleObject(exiting, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(exiting, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(returning));
    EXPECT_TRUE(CloseHandle(exiting));
}

TEST(Threads, WaitTimesOutWhileTheThreadRunsAndSucceedsOnceItEnds) {
    Gate gate;
    HANDLE thread = CreateThread(nullptr, 0, WaitThenReturn, &gate, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(thread, 50), WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(50));
    gate.go = true;
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(CloseHandle(thread));
}

struct SharedWait {
    HANDLE thread;
    std::atomic<int> woken{0};
};

DWORD WaitForOther(LPVOID parameter) {
    auto* shared = static_cast<SharedWait*>(parameter);
    const DWORD result = WaitForSingleObject(shared->thread, INFINITE);
    if (result == WAIT_OBJECT_0) ++shared->woken;
    return result;
}

TEST(Threads, SeveralThreadsWaitOnTheSameHandle) {
    Gate gate;
    SharedWait shared{CreateThread(nullptr, 0, WaitThenReturn, &gate, 0, nullptr)};
    ASSERT_NE(shared.thread, nullptr);
    std::vector<HANDLE> waiters;
    for (int i = 0; i < 4; ++i) {
        waiters.push_back(CreateThread(nullptr, 0, WaitForOther, &shared, 0, nullptr));
        ASSERT_NE(waiters.back(), nullptr);
    }
    Sleep(20);
    gate.go = true;
    EXPECT_EQ(WaitForSingleObject(shared.thread, INFINITE), WAIT_OBJECT_0);
    for (HANDLE waiter : waiters) {
        EXPECT_EQ(WaitForSingleObject(waiter, 10000), WAIT_OBJECT_0);
        DWORD code = WAIT_FAILED;
        EXPECT_TRUE(GetExitCodeThread(waiter, &code));
        EXPECT_EQ(code, WAIT_OBJECT_0);
        CloseHandle(waiter);
    }
    EXPECT_EQ(shared.woken.load(), 4);
    CloseHandle(shared.thread);
}

TEST(Threads, ClosingTheHandleLetsTheThreadFinishAlone) {
    Gate gate;
    HANDLE thread = CreateThread(nullptr, 0, WaitThenReturn, &gate, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(CloseHandle(thread));
    gate.go = true;
    const auto deadline = std::chrono::steady_clock::now() + Scaled(std::chrono::seconds(10));
    while (!gate.done && std::chrono::steady_clock::now() < deadline) Sleep(1);
    EXPECT_TRUE(gate.done);
    // The handle is gone: every call on it is refused, none is followed.
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(CloseHandle(thread));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_FAILED);
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeThread(thread, &code));
    EXPECT_FALSE(CloseHandle(nullptr));
}

}  // namespace
