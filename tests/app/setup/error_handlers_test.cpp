// The application's handlers end the process: every case runs in a forked child that
// points the home folder at a temporary folder and answers the message box through the
// seam, leaving what it saw in files there. The report goes below the home folder, or for
// an installed program into the user's state folder; one that cannot be written is named
// in the message all the same. With the program's main window up, the window is hidden,
// the box stands in front, and then the settings are saved and the window closed.
#include "app/setup/error_handlers.h"

#include <gtest/gtest.h>
#include <hostpath.h>
#include <seams.h>
#include <seh.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/setup/settings.h"
#include "app/shell/program.h"
#include "framework/package/package.h"
#include "framework/platform/home.h"
#include "framework/text/string_table.h"
#include "framework/window/window.h"
#include "support/child_process.h"
#include "support/test_support.h"

namespace {

using NVireo::NError::kSite;

// Where the child's message-box answer leaves the text, caption and type it was shown.
std::string answerFolder;

void WriteText(const std::string& name, const std::string& text) {
    std::ofstream(answerFolder + "/" + name, std::ios::binary) << text;
}

int RecordAnswer(LPCSTR text, LPCSTR caption, UINT type) {
    WriteText("answer-text", text);
    WriteText("answer-caption", caption);
    WriteText("answer-type", std::to_string(type));
    // Still inside the handler: a second error returns at once and writes nothing.
    WriteText("second-raise", std::to_string(Raise(kSite, 99, "second")));
    return IDOK;
}

void PrepareChild(const TempFolder& temp, const std::string& programFolder = "") {
    answerFolder = temp.Host();
    NVireo::NFile::SetHomeFolder(programFolder.empty() ? temp.Program().c_str()
                                                       : programFolder.c_str());
    SetCurrentDirectoryA(temp.ProgramPath("elsewhere").c_str());
    NVireo::NError::Clear();
    NVireo::NError::Record().policy = 0;
    Appli::InstallErrorHandlers();
    SetMessageBoxAnswer(&RecordAnswer);
    WriteText("tid", std::to_string(GetCurrentThreadId()));
}

class ErrorHandlers : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directory(temp / "elsewhere"); }

    std::string Read(const std::string& name) const { return temp.ReadHostFile(name); }

    // The message the user saw: caption and text from the message texts (the report
    // written or not) with the report folder's path without its separator, a task-modal
    // box without owner window.
    void ExpectMessageShown(const std::string& folder = "", bool written = true) const {
        const Appli::CErrorMessageTexts& texts = Appli::ErrorMessageTexts();
        char expected[1024];
        std::snprintf(expected, sizeof expected, written ? texts.message : texts.unwritten,
                      (folder.empty() ? temp.Program() + "/error" : folder).c_str());
        EXPECT_EQ(Read("answer-text"), expected);
        EXPECT_EQ(Read("answer-caption"), std::string(texts.caption) + ":" + texts.productName);
        EXPECT_EQ(Read("answer-type"), std::to_string(MB_TASKMODAL));
        EXPECT_EQ(Read("second-raise"), "0");
    }

    // The title, three empty lines, the dump (which ends with the spare slot and three
    // empty lines) and a line end.
    void ExpectBreakPointLog(const std::string& threadId,
                             const std::string& name = "error/BreakPoint.log") const {
        const std::string log = Read(name);
        EXPECT_EQ(log.rfind(std::string(Appli::ReportWindowTitle()) + "\n\n\n\n\ttid=", 0), 0u)
            << log;
        EXPECT_NE(log.find("\ttid=" + threadId + ":"), std::string::npos) << log;
        EXPECT_NE(log.find("\ttid=0:"), std::string::npos) << log;
        EXPECT_TRUE(log.ends_with("\t\n\n\n\n\n\n")) << log;
    }

    TempFolder temp;
};

TEST_F(ErrorHandlers, RaiseWritesTheReportShowsTheMessageAndEnds) {
    std::filesystem::create_directory(temp / "error");
    temp.WriteHostFile("error/BreakPoint.log", "an old report\n");  // replaced, not extended
    const int code = RunInChild([&] {
        PrepareChild(temp);
        Raise(kSite, 4321, "boom");
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(Read("error/Error.log"), "? __FILE__: 4321\nboom\n");
    ExpectBreakPointLog(Read("tid"));
    ExpectMessageShown();
    EXPECT_FALSE(std::filesystem::exists(temp / "error/SEH.log"));
    EXPECT_FALSE(std::filesystem::exists(temp / "elsewhere/error"));
}

// An installed program (its data in <prefix>/share/se-retimer) reports into the user's
// state folder, made with its parents; a report folder that cannot be made still ends
// with the message, which says so, and the report's text on standard error.
TEST_F(ErrorHandlers, InstalledProgramsReportInTheStateFolderAndAnUnwrittenReportIsToldToo) {
    std::filesystem::create_directories(temp / "prefix/bin");
    std::filesystem::create_directories(temp / "prefix/share/se-retimer/Data");
    temp.WriteHostFile("prefix/share/se-retimer/Data/package", "");
    int code = RunInChild([&] {
        setenv("XDG_STATE_HOME", temp.HostPath("state").c_str(), 1);
        PrepareChild(temp, temp.ProgramPath("prefix/bin"));
        Raise(kSite, 4321, "installed");
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(Read("state/se-retimer/error/Error.log"), "? __FILE__: 4321\ninstalled\n");
    ExpectBreakPointLog(Read("tid"), "state/se-retimer/error/BreakPoint.log");
    ExpectMessageShown(temp.ProgramPath("state/se-retimer/error"));

    temp.WriteHostFile("error", "a file where the report folder should be");
    code = RunInChild([&] {
        PrepareChild(temp);
        if (!freopen(temp.HostPath("stderr").c_str(), "w", stderr)) _exit(3);
        Raise(kSite, 4322, "unwritten");
    });
    EXPECT_EQ(code, 0);
    ExpectMessageShown("", false);
    const std::string err = Read("stderr");
    EXPECT_NE(err.find("cannot write " + temp.HostPath("error/Error.log")), std::string::npos)
        << err;
    EXPECT_NE(err.find("? __FILE__: 4322\nunwritten\n"), std::string::npos) << err;
}

// A write through a null pointer. The pointer is read from a volatile so the compiler
// cannot see the fault; the undefined-behaviour sanitizer would stop at it first.
__attribute__((no_sanitize("undefined"))) DWORD WriteThroughNull(void*) {
    volatile int* volatile target = nullptr;
    *target = 1;
    return 0;
}

DWORD GuardedWorker(void*) {
    WriteText("worker", std::to_string(GetCurrentThreadId()));
    return SehGuard(&WriteThroughNull, nullptr, &NVireo::NError::StructuredExceptionFilter, 7);
}

// SEH.log: the exception records, then "id=<guard>" and six line ends.
void ExpectSehLog(const std::string& log, uint32_t id) {
    EXPECT_EQ(log.rfind("SEH\n\nCode=0xc0000005,Flags=", 0), 0u) << log;
    EXPECT_NE(log.find("\n\nNumberParameters="), std::string::npos) << log;
    EXPECT_TRUE(log.ends_with("\n\nid=" + std::to_string(id) + "\n\n\n\n\n\n\n")) << log;
}

TEST_F(ErrorHandlers, AccessViolationOnTheMainThreadWritesSehLogAndTheReport) {
    const int code = RunInChild([&] {
        PrepareChild(temp);
        SehGuard(&WriteThroughNull, nullptr, &NVireo::NError::StructuredExceptionFilter, 1);
    });
    EXPECT_EQ(code, 0);
    ExpectSehLog(Read("error/SEH.log"), 1);
    EXPECT_EQ(Read("error/Error.log"), "");  // no error was raised
    ExpectBreakPointLog(Read("tid"));
    ExpectMessageShown();
}

TEST_F(ErrorHandlers, AccessViolationOnAWorkerThreadWritesSehLogAndTheReport) {
    const int code = RunInChild([&] {
        PrepareChild(temp);
        DWORD threadId = 0;
        HANDLE worker = CreateThread(nullptr, 0, &GuardedWorker, nullptr, 0, &threadId);
        if (worker != nullptr) WaitForSingleObject(worker, 10000);
    });
    EXPECT_EQ(code, 0);
    ExpectSehLog(Read("error/SEH.log"), 7);
    // The faulting thread recorded its position in the filter before the trace froze.
    ExpectBreakPointLog(Read("worker"));
    ExpectMessageShown();
}

// The box's answer while the program's main window is up: whether the window still
// showed, and the box's type.
HWND mainWindow = nullptr;
int RecordAnswerOverWindow(LPCSTR text, LPCSTR caption, UINT type) {
    // Hiding answers whether the window was visible; it is hidden by now, so nothing
    // changes.
    WriteText("window-shown", std::to_string(ShowWindow(mainWindow, SW_HIDE) != FALSE));
    return RecordAnswer(text, caption, type);
}

TEST_F(ErrorHandlers, WithTheWindowUpItIsHiddenTheBoxComesFirstAndTheSettingsAreSaved) {
    const std::string package = NVireo::NFile::HomeFolder() + "Data/package";
    const int code = RunInChild([&] {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        // The system table holds the settings file's keys.
        NVireo::NRender::ProgramPackage().OpenFrom(package.c_str());
        NVireo::NText::SystemStrings().Load(NVireo::NText::kSystemStringsName);
        PrepareChild(temp);
        SetMessageBoxAnswer(&RecordAnswerOverWindow);
        if (NVireo::NWindow::WindowMapCount() == 0) NVireo::NWindow::UnregisterWindowClass();
        Window::CMain window;
        NVireo::NWindow::SetMainWindow(&window);
        window.Create("SE Retimer ", "SE Retimer", 0x00CA0000u);
        mainWindow = window.hwnd;
        ShowWindow(mainWindow, SW_SHOW);
        Raise(kSite, 4321, "boom");
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(Read("error/Error.log"), "? __FILE__: 4321\nboom\n");
    EXPECT_EQ(Read("window-shown"), "0") << "the frozen window is hidden before the box";
    EXPECT_EQ(Read("answer-type"), std::to_string(MB_SYSTEMMODAL)) << "the box stands in front";
    // Then the settings were saved, as the shutdown saves them.
    EXPECT_TRUE(std::filesystem::exists(temp / ProgramToHostPath(Appli::SettingsPath())));
}

}  // namespace
