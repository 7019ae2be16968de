// The error record, the report files, the handler-less and emergency paths, and the
// structured-exception filter without an installed handler. Paths that end the process
// run in forked children.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "framework/error/error.h"
#include "framework/platform/home.h"
#include "support/child_process.h"
#include "support/test_support.h"

namespace {

using NVireo::NError::CObject;
using NVireo::NError::ErrorText;
using NVireo::NError::kSite;
using NVireo::NError::Record;

TEST(ErrorRecord, NullMessageLeavesAnEmptyLineBetweenTheSiteAndTheSystemText) {
    RaisePolicy guard(1);
    SetLastError(ERROR_FILE_NOT_FOUND);
    RecordSystemError();
    const std::string system = Record().systemMessage;
    ASSERT_FALSE(system.empty());
    EXPECT_THROW(Raise(kSite, 31, nullptr), CObject);
    EXPECT_EQ(ErrorText(), "? __FILE__: 31\n\n" + system);
}

TEST(ErrorRecord, FileAndMessageAreCutToTheirFields) {
    RaisePolicy guard(1);
    const std::string file(400, 'f');
    const std::string message(5000, 'm');
    EXPECT_THROW(Raise(file.c_str(), 1, message.c_str()), CObject);
    EXPECT_EQ(std::string(Record().file), file.substr(0, 259));
    EXPECT_EQ(std::string(Record().message), message.substr(0, 4095));
}

TEST(ErrorName, NamesTheListedNumbersOnly) {
    const std::pair<int, const char*> named[] = {
        {2, "ENOENT"},  {7, "E2BIG"},   {8, "ENOEXEC"}, {9, "EBADF"},
        {10, "ECHILD"}, {11, "EAGAIN"}, {12, "ENOMEM"}, {13, "EACCES"},
        {17, "EEXIST"}, {18, "EXDEV"},  {22, "EINVAL"}, {24, "EMFILE"},
        {28, "ENOSPC"}, {33, "EDOM"},   {34, "ERANGE"}, {36, "EDEADLOCK"},
    };
    for (const auto& [number, name] : named) {
        ASSERT_NE(NVireo::NError::ErrorName(number), nullptr) << number;
        EXPECT_STREQ(NVireo::NError::ErrorName(number), name) << number;
    }
    for (int number : {-1, 0, 1, 3, 4, 14, 35, 37, 1000}) {
        EXPECT_EQ(NVireo::NError::ErrorName(number), nullptr) << number;
    }
}

TEST(ReportPath, JoinsWithTheFolderOwnSeparator) {
    using NVireo::NError::ReportPath;
    EXPECT_EQ(ReportPath("error/", "Error.log"), "error/Error.log");
    EXPECT_EQ(ReportPath("a/b", "Error.log"), "a/b/Error.log");
    EXPECT_EQ(ReportPath("Error", "Error.log"), "Error\\Error.log");
    EXPECT_EQ(ReportPath("Error\\", "Error.log"), "Error\\Error.log");
    EXPECT_EQ(ReportPath("", "Error.log"), "Error.log");
}

TEST(ExceptionRecords, EachChainedRecordWithItsParameters) {
    EXCEPTION_RECORD inner{};
    inner.ExceptionCode = EXCEPTION_BREAKPOINT;
    inner.ExceptionFlags = 1;
    inner.ExceptionAddress = reinterpret_cast<PVOID>(0x10);
    EXCEPTION_RECORD outer{};
    outer.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    outer.ExceptionRecord = &inner;
    outer.ExceptionAddress = reinterpret_cast<PVOID>(0x1234);
    outer.NumberParameters = 2;
    outer.ExceptionInformation[0] = 1;
    outer.ExceptionInformation[1] = 16;
    EXCEPTION_POINTERS pointers{&outer, nullptr};
    EXPECT_STREQ(NVireo::NWindows::NSEH::ExceptionRecordsText(&pointers).c_str(),
                 "SEH\n\n"
                 "Code=0xc0000005,Flags=0,Address=0x1234\n\nNumberParameters=2\n"
                 "ExceptionInformation[0]=1\nExceptionInformation[1]=16\n\n"
                 "Code=0x80000003,Flags=1,Address=0x10\n\nNumberParameters=0\n\n");

    // A count beyond the record's room prints the room; a record chained to itself ends.
    outer.NumberParameters = 1000;
    outer.ExceptionRecord = &outer;
    const std::string looped = NVireo::NWindows::NSEH::ExceptionRecordsText(&pointers).c_str();
    EXPECT_EQ(std::count(looped.begin(), looped.end(), '['), 16 * EXCEPTION_MAXIMUM_PARAMETERS);

    EXPECT_STREQ(NVireo::NWindows::NSEH::ExceptionRecordsText(nullptr).c_str(), "SEH\n\n");
}

// A process where an error is raised under policy 0, its handler not yet installed.
void PrepareChild(const TempFolder& temp) {
    NVireo::NFile::SetHomeFolder(temp.Program().c_str());
    NVireo::NError::Clear();
    NVireo::NError::SetErrorHandler(nullptr);
    NVireo::NWindows::NSEH::SetStructuredExceptionHandler(nullptr);
    Record().policy = 0;
}

TEST(HandlerlessPath, WritesErrorLogInTheCurrentFolderAndStandardOutputThenEnds) {
    TempFolder temp;
    const int code = RunInChild([&] {
        PrepareChild(temp);
        SetCurrentDirectoryA(temp.Program().c_str());
        const int out = open((temp / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, STDOUT_FILENO);
        Raise(kSite, 77, "no handler");
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(temp.ReadHostFile("Error.log"), "? __FILE__: 77\nno handler\n");
    EXPECT_EQ(temp.ReadHostFile("stdout"), "error\n? __FILE__: 77\nno handler\n");
}

TEST(EmergencyPath, ReportFolderThatCannotBeMadeEndsThroughErrorLogInTheHomeFolder) {
    TempFolder temp;
    temp.WriteHostFile("error", "a file where the folder should be");
    const int code = RunInChild([&] {
        PrepareChild(temp);
        NVireo::NError::WriteReport("error/");
    });
    EXPECT_EQ(code, 0);
    const std::string log = temp.ReadHostFile("Error.log");
    // The log's name, then the site number right-aligned in ten characters.
    const std::string head = "error/Error.log\n";
    const std::string tail = ":? __FILE__\n";
    ASSERT_EQ(log.size(), head.size() + 10 + tail.size()) << log;
    EXPECT_TRUE(log.starts_with(head) && log.ends_with(tail)) << log;
    const std::string site = log.substr(head.size(), 10);
    EXPECT_NE(site.back(), ' ') << log;
    EXPECT_EQ(site.find_first_not_of(" 0123456789"), std::string::npos) << log;
}

// While an error is handled the process must live on to show its message: a log that
// cannot be written is skipped, counted and named on standard error. Outside of one, the
// emergency path writes into the emergency folder when one is set, making it first.
TEST(EmergencyPath, LogsAreSkippedWhileAnErrorIsHandledAndTheEmergencyFolderIsMade) {
    TempFolder temp;
    temp.WriteHostFile("error", "a file where the folder should be");
    int code = RunInChild([&] {
        PrepareChild(temp);
        if (!freopen(temp.HostPath("stderr").c_str(), "w", stderr)) _exit(3);
        NVireo::NError::errorInProgress = 1;
        NVireo::NError::WriteReport(temp.ProgramPath("error/").c_str());
        std::fflush(stderr);
        _exit(static_cast<int>(NVireo::NError::UnwrittenLogs()));
    });
    // Error.log, then BreakPoint.log's title, three empty lines and the dump.
    EXPECT_EQ(code, 6);
    EXPECT_FALSE(std::filesystem::exists(temp / "Error.log"));
    EXPECT_NE(temp.ReadHostFile("stderr").find("cannot write " + temp.HostPath("error/Error.log")),
              std::string::npos);

    code = RunInChild([&] {
        PrepareChild(temp);
        NVireo::NError::SetEmergencyFolder(temp.ProgramPath("state/se-retimer/").c_str());
        NVireo::NError::AppendLine(temp.ProgramPath("error/x.log").c_str(), "x");
    });
    EXPECT_EQ(code, 0);
    const std::string log = temp.ReadHostFile("state/se-retimer/Error.log");
    EXPECT_TRUE(log.starts_with(temp.Program() + "/error/x.log\n")) << log;
    EXPECT_TRUE(log.ends_with(":? __FILE__\n")) << log;
}

TEST(StructuredExceptionFilter, WithoutHandlerAppendsTheRecordsToErrorLogOnce) {
    TempFolder temp;
    std::filesystem::create_directory(temp / "elsewhere");
    const int code = RunInChild([&] {
        PrepareChild(temp);
        SetCurrentDirectoryA(temp.ProgramPath("elsewhere").c_str());
        EXCEPTION_RECORD record{};
        record.ExceptionCode = EXCEPTION_INT_DIVIDE_BY_ZERO;
        EXCEPTION_POINTERS pointers{&record, nullptr};
        const LONG first = NVireo::NError::StructuredExceptionFilter(&pointers, 3);
        // Later faults and errors are not reported again.
        record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
        const LONG second = NVireo::NError::StructuredExceptionFilter(&pointers, 3);
        const uint32_t raised = Raise(kSite, 1, "late");
        _exit(first == EXCEPTION_EXECUTE_HANDLER && second == EXCEPTION_EXECUTE_HANDLER &&
                      raised == 0
                  ? 0
                  : 1);
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(temp.ReadHostFile("Error.log"),
              "SEH\n\nCode=0xc0000094,Flags=0,Address=(nil)\n\nNumberParameters=0\n\n\n");
    EXPECT_FALSE(std::filesystem::exists(temp / "elsewhere/Error.log"));
}

}  // namespace
