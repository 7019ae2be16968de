// The call trace: slots per thread, the dump's text, and what happens when a ninth thread
// records a marker. Everything runs in forked children: the trace is process-wide.
#include "framework/error/trace.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "framework/error/error.h"
#include "framework/platform/home.h"
#include "support/child_process.h"
#include "support/test_support.h"

namespace {

using NVireo::NError::CallTrace;
using NVireo::NError::CTraceSlot;

// Frees every slot, as in a program where no thread has recorded a marker yet.
void ResetTrace() {
    for (CTraceSlot& slot : CallTrace().slots) slot = CTraceSlot{};
    CallTrace().spare = CTraceSlot{};
}

void WriteText(const std::string& hostPath, const std::string& text) {
    std::ofstream(hostPath, std::ios::binary) << text;
}

std::string DumpText() {
    NVireo::NString::BBasic<char> out;
    NVireo::NError::Dump(out);
    return out.c_str();
}

std::string Slot(const std::string& tid, const std::string& name, uint32_t id, uint32_t line) {
    return "\ttid=" + tid + ":" + name + "\n\tid=" + std::to_string(id) +
           ":l=" + std::to_string(line) + "\n\t\n\t\n\t\n\n";
}

const std::string kUnusedSpare = "\ttid=0:\n\tid=0:l=0\n\t\n\t\n\t\n\n";

TEST(CallTrace, DumpShowsUsedSlotsInOrderThenTheSpareSlotThenThreeEmptyLines) {
    TempFolder temp;
    const int code = RunInChild([&] {
        ResetTrace();
        WriteText(temp / "tid", std::to_string(GetCurrentThreadId()));
        NVireo::NError::Mark(42, 7, "ignored", 1, 2);
        WriteText(temp / "only", DumpText());

        // A second thread, named with more than 31 characters, records its own position;
        // the first thread's next marker overwrites only its own slot.
        std::thread worker([&] {
            WriteText(temp / "worker", std::to_string(GetCurrentThreadId()));
            NVireo::NError::NameThread(GetCurrentThreadId(),
                                       "0123456789abcdefghijklmnopqrstuvwxyz");
            NVireo::NError::Mark(5, 9);
        });
        worker.join();
        NVireo::NError::Mark(43, 8);
        WriteText(temp / "two", DumpText());

        // A released slot is gone from the dump; a marker while an error is handled
        // changes nothing.
        NVireo::NError::ReleaseThread(
            static_cast<uint32_t>(std::stoul(temp.ReadHostFile("worker"))));
        NVireo::NError::errorInProgress = 1;
        NVireo::NError::Mark(99, 99);
        WriteText(temp / "released", DumpText());
        _exit(0);
    });
    ASSERT_EQ(code, 0);
    const std::string tid = temp.ReadHostFile("tid");
    const std::string worker = temp.ReadHostFile("worker");
    EXPECT_EQ(temp.ReadHostFile("only"), Slot(tid, "", 42, 7) + kUnusedSpare + "\n\n\n");
    EXPECT_EQ(temp.ReadHostFile("two"), Slot(tid, "", 43, 8) +
                                            Slot(worker, "0123456789abcdefghijklmnopqrstu", 5, 9) +
                                            kUnusedSpare + "\n\n\n");
    EXPECT_EQ(temp.ReadHostFile("released"), Slot(tid, "", 43, 8) + kUnusedSpare + "\n\n\n");
}

TEST(CallTrace, NinthThreadWritesThreadErrorLogInTheHomeFolderAndEndsTheProcess) {
    TempFolder temp;
    std::filesystem::create_directory(temp / "elsewhere");
    const int code = RunInChild([&] {
        NVireo::NFile::SetHomeFolder(temp.Program().c_str());
        SetCurrentDirectoryA(temp.ProgramPath("elsewhere").c_str());
        ResetTrace();
        std::atomic<int> ready{0};
        std::vector<std::thread> owners;
        for (int i = 0; i < 8; ++i) {
            owners.emplace_back([&ready, i] {
                NVireo::NError::Mark(i, i);
                ++ready;
                for (;;) Sleep(1000);  // keeps the slot until the process ends
            });
        }
        while (ready < 8) Sleep(1);
        WriteText(temp / "tid", std::to_string(GetCurrentThreadId()));
        NVireo::NError::Mark(8, 8);  // does not return
        for (auto& t : owners) t.detach();
    });
    EXPECT_EQ(code, 0);
    // "? __FILE__:l=<site>:tid=<the ninth thread>", without a line end.
    const std::string log = temp.ReadHostFile("ThreadError.log");
    const std::string head = "? __FILE__:l=";
    const std::string tail = ":tid=" + temp.ReadHostFile("tid");
    ASSERT_GT(log.size(), head.size() + tail.size()) << log;
    EXPECT_TRUE(log.starts_with(head) && log.ends_with(tail)) << log;
    const std::string site = log.substr(head.size(), log.size() - head.size() - tail.size());
    EXPECT_EQ(site.find_first_not_of("0123456789"), std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::exists(temp / "elsewhere/ThreadError.log"));
}

}  // namespace
