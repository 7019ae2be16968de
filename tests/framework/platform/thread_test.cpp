#include "framework/platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <string>

#include "framework/error/trace.h"
#include "support/test_support.h"

namespace {

using NVireo::NWindows::NThread::CBasic;
using NVireo::NWindows::NThread::CException;

// A job whose body does what the test asks, once released.
class CJob : public CBasic {
public:
    enum class EEnd { Return, Abort, OutOfMemory, Other, Raise };
    EEnd end = EEnd::Return;
    std::atomic<bool> release{true};
    std::atomic<uint32_t> ranOn{0};

    int32_t Run() override {
        SE_MARK();
        ranOn = GetCurrentThreadId();
        while (!release) Sleep(1);
        switch (end) {
            case EEnd::Return:
                return 7;
            case EEnd::Abort:
                throw CException();
            case EEnd::OutOfMemory:
                throw std::bad_alloc();
            case EEnd::Other:
                throw 42;
            case EEnd::Raise:
                Raise(NVireo::NError::kSite, 1, "job failed");
                return 0;
        }
        return 0;
    }
    ~CJob() override {
        release = true;
        if (handle != nullptr) WaitForEnd();
    }
};

DWORD ExitCode(const CBasic& job) {
    DWORD code = 0;
    WaitForSingleObject(job.handle, 5000);
    GetExitCodeThread(job.handle, &code);
    return code;
}

bool OwnsTraceSlot(uint32_t threadId) {
    for (const auto& slot : NVireo::NError::CallTrace().slots) {
        if (slot.threadId == threadId) return true;
    }
    return false;
}

TEST(ThreadJob, RunsFinishesClosesAndRunsAgain) {
    CJob job;
    for (int run = 0; run < 2; ++run) {
        job.Start(run == 0 ? "TestJob" : nullptr);
        job.WaitForEnd();
        EXPECT_TRUE(job.IsFinished());
        EXPECT_FALSE(job.IsAborted());
        EXPECT_FALSE(job.HasFailed());
        EXPECT_EQ(ExitCode(job), 7u);
        EXPECT_STREQ(job.name, "TestJob");  // a null name keeps the old one
        EXPECT_NE(job.ranOn.load(), 0u);
        EXPECT_EQ(job.ranOn.load(), job.threadId);
        // The ended thread gave its trace slot back.
        EXPECT_FALSE(OwnsTraceSlot(job.threadId));
        job.Close();
        EXPECT_EQ(job.handle, nullptr);
    }
}

TEST(ThreadJob, WaitingForAFinishedThreadReturnsAtOnce) {
    CJob job;
    job.Start("Quick");
    job.WaitForEnd();
    // One round of the wait, not its bound of about 100 s (the limit here only keeps a
    // busy machine from failing it).
    const auto start = std::chrono::steady_clock::now();
    job.WaitForEnd();
    EXPECT_LT(std::chrono::steady_clock::now() - start, Scaled(std::chrono::seconds(5)));
}

TEST(ThreadJob, AbortAndOutOfMemoryEndQuietlyAsAborted) {
    struct Case {
        CJob::EEnd end;
        bool raiseOnOutOfMemory;
    };
    for (const Case c : {Case{CJob::EEnd::Abort, true}, Case{CJob::EEnd::OutOfMemory, false}}) {
        RaisePolicy throwing;
        CJob job;
        job.end = c.end;
        job.raiseOnOutOfMemory = c.raiseOnOutOfMemory;
        job.Start("Aborting");
        job.WaitForEnd();
        EXPECT_TRUE(job.IsAborted());
        EXPECT_FALSE(job.HasFailed());
        EXPECT_EQ(ExitCode(job), static_cast<DWORD>(-1));
        EXPECT_EQ(NVireo::NError::ErrorText(), "") << "nothing is reported";
    }
}

TEST(ThreadJob, UnexpectedEndsAreReportedWithTheThreadsName) {
    for (const CJob::EEnd end : {CJob::EEnd::OutOfMemory, CJob::EEnd::Other}) {
        RaisePolicy throwing;
        CJob job;
        job.end = end;
        job.Start("Reporting");
        job.WaitForEnd();
        EXPECT_FALSE(job.IsAborted());
        EXPECT_EQ(std::string(NVireo::NError::Record().message), "Reporting");
    }
}

TEST(ThreadJob, AnErrorRaisedOnTheThreadMarksItsJobFailed) {
    RaisePolicy throwing;
    CJob job;
    job.end = CJob::EEnd::Raise;
    job.Start("Failing");
    job.WaitForEnd();
    EXPECT_TRUE(job.HasFailed());
    EXPECT_EQ(std::string(NVireo::NError::Record().message), "job failed");
}

TEST(ThreadJob, ClosingARunningThreadIsReported) {
    RaisePolicy throwing;
    CJob job;
    job.release = false;
    job.Start("Running");
    job.Close();
    EXPECT_EQ(std::string(NVireo::NError::Record().message), "Running");
    job.release = true;
    while (!job.IsFinished()) Sleep(1);
}

TEST(SingleInstance, OnlyTheFirstHolderOfANameIsFirst) {
    const std::string name = "SE Retimer test " + std::to_string(GetCurrentThreadId());
    NVireo::NSynchronization::CMutex second;
    {
        NVireo::NSynchronization::CMutex first;
        EXPECT_TRUE(first.CreateSingle(name.c_str()));
        EXPECT_FALSE(second.CreateSingle(name.c_str()));
    }
    // The first holder is gone: asking again makes this one first.
    EXPECT_TRUE(second.CreateSingle(name.c_str()));
}

}  // namespace
