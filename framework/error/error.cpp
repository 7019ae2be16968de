#include "framework/error/error.h"

#include <hostpath.h>
#include <io.h>
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/containers/pointer.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/platform/file.h"
#include "framework/platform/home.h"
#include "framework/platform/thread.h"

namespace Site = NVireo::NError::NSite::NError;

namespace NVireo::NError {

namespace {

TitleSource titleSource = nullptr;
DeviceLogWriter deviceLogWriter = nullptr;
std::atomic<uint32_t> unwrittenLogs{0};
char emergencyFolder[512] = {};

void CopyText(char* target, size_t size, const char* source) {
    std::strncpy(target, source, size - 1);
    target[size - 1] = '\0';
}

// No handler installed: leave the text in "Error.log" and on standard output, then end.
[[noreturn]] void HandlerlessPath() {
    SE_MARK();
    const std::string text = ErrorText();
    FILE* log = nullptr;
    if (fopen_s(&log, "Error.log", "w") != 0) EmergencyExit("", Site::kHandlerless);
    std::fputs(text.c_str(), log);
    std::fclose(log);
    std::printf("error\n%s", text.c_str());
    EndProcess();
}

}  // namespace

std::atomic<int> errorInProgress{0};

CErrorRecord& Record() {
    static CErrorRecord record{};
    return record;
}

void SetErrorHandler(IHandler* handler) {
    SE_MARK();
    Record().handler.reset(handler);
}

std::string ErrorText() {
    SE_MARK();
    const CErrorRecord& r = Record();
    if (r.file[0] == '\0') return {};
    std::string text = r.file;
    text += ": ";
    text += std::to_string(r.line);
    text += '\n';
    text += r.message;
    text += '\n';
    text += r.systemMessage;
    return text;
}

void Clear() {
    SE_MARK();
    CErrorRecord& r = Record();
    r.file[0] = '\0';
    r.line = 0;
    r.message[0] = '\0';
    r.systemMessage[0] = '\0';
    unwrittenLogs = 0;
    errorInProgress = 0;
}

const char* ErrorName(int number) {
    SE_MARK();
    // Indexed by the error number; the runtime library names no other number.
    static const char* const kNames[] = {
        nullptr,   nullptr,  "ENOENT", nullptr,  nullptr,     nullptr,  nullptr,  "E2BIG",
        "ENOEXEC", "EBADF",  "ECHILD", "EAGAIN", "ENOMEM",    "EACCES", nullptr,  nullptr,
        nullptr,   "EEXIST", "EXDEV",  nullptr,  nullptr,     nullptr,  "EINVAL", nullptr,
        "EMFILE",  nullptr,  nullptr,  nullptr,  "ENOSPC",    nullptr,  nullptr,  nullptr,
        nullptr,   "EDOM",   "ERANGE", nullptr,  "EDEADLOCK",
    };
    if (number < 0 || number >= static_cast<int>(sizeof kNames / sizeof kNames[0])) {
        return nullptr;
    }
    return kNames[number];
}

void SetWindowTitleSource(TitleSource source) {
    SE_MARK();
    titleSource = source;
}

void SetDeviceLogWriter(DeviceLogWriter writer) { deviceLogWriter = writer; }

void EnsureReportFolder(const char* folder) {
    SE_MARK();
    NVireo::NFile::EnterHomeFolder();
    NVireo::NFile::MakeFolders(folder);
    NVireo::NFile::EnterHomeFolder();
}

std::string ReportPath(const char* folder, const char* name) {
    SE_MARK();
    std::string path = folder;
    const char separator = path.find('/') != std::string::npos ? '/' : '\\';
    // An empty folder is the current one: the name stands alone.
    if (!path.empty() && path.back() != separator) path += separator;
    path += name;
    return path;
}

void WriteReport(const char* folder) {
    SE_MARK();
    EnsureReportFolder(folder);
    WriteReportFiles(folder);
}

void WriteReportFiles(const char* folder) {
    SE_MARK();
    if (deviceLogWriter != nullptr) deviceLogWriter(folder);

    const std::string errorLog = ReportPath(folder, "Error.log");
    if (FILE* log = OpenLog(errorLog.c_str(), "w", Site::kErrorLog)) {
        std::fputs(ErrorText().c_str(), log);
        std::fclose(log);
    }

    const std::string breakPoint = ReportPath(folder, "BreakPoint.log");
    DeleteFileA(breakPoint.c_str());  // a missing old file is what we want anyway
    AppendLine(breakPoint.c_str(), titleSource ? titleSource() : "");
    AppendEmptyLines(breakPoint.c_str(), 3);
    NVireo::NString::BBasic<char> dump;
    Dump(dump);
    AppendLine(breakPoint.c_str(), dump.c_str());
}

void AppendLine(const char* path, const char* text) {
    SE_MARK();
    FILE* log = OpenLog(path, "a", Site::kAppendLine);
    if (log == nullptr) return;
    std::fputs(text, log);
    std::fputc('\n', log);
    std::fclose(log);
}

void AppendEmptyLines(const char* path, uint32_t count) {
    SE_MARK();
    for (uint32_t i = 0; i < count; ++i) AppendLine(path, "");
}

void AppendFormatted(const char* path, const char* format, ...) {
    SE_MARK();
    FILE* log = OpenLog(path, "a", Site::kAppendFormatted);
    if (log == nullptr) return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(log, format, arguments);
    va_end(arguments);
    std::fclose(log);
}

FILE* OpenLog(const char* path, const char* mode, uint32_t site) {
    SE_MARK();
    FILE* log = nullptr;
    if (fopen_s(&log, path, mode) == 0 && log != nullptr) return log;
    if (!errorInProgress) EmergencyExit(path, site);
    ++unwrittenLogs;
    static std::string lastNamed;  // a log appended line by line is named once
    if (lastNamed != path)
        std::fprintf(stderr, "cannot write %s\n", ProgramToHostPath(path).c_str());
    lastNamed = path;
    return nullptr;
}

uint32_t UnwrittenLogs() { return unwrittenLogs; }

void SetEmergencyFolder(const char* folder) {
    NVireo::NFile::CopyLimited(emergencyFolder, folder, sizeof emergencyFolder - 1);
}

void EmergencyExit(const char* logName, uint32_t site) {
    char path[sizeof emergencyFolder + 16];
    std::snprintf(path, sizeof path, "%sError.log", emergencyFolder);
    if (emergencyFolder[0] != '\0') NVireo::NFile::MakeFolders(emergencyFolder);
    FILE* log = nullptr;
    if (fopen_s(&log, path, "a") == 0) {
        std::fprintf(log, "%s\n%10u:%s\n", logName, site, kSite);
        std::fclose(log);
    }
    std::fprintf(stderr, "%s\n%10u:%s\n", logName, site, kSite);
    std::_Exit(0);
}

void EndProcess() {
    std::fflush(nullptr);
    std::_Exit(0);
}

}  // namespace NVireo::NError

namespace NVireo::NWindows::NSEH {

namespace {

// The longest chain of exception records written; a longer one is cut (and a chain that
// loops back on itself ends).
constexpr int kMaxExceptionRecords = 16;

hoard::ptr::auton<IHandler>& InstalledHandler() {
    static hoard::ptr::auton<IHandler> handler;
    return handler;
}

}  // namespace

NVireo::NString::BBasic<char> ExceptionRecordsText(const EXCEPTION_POINTERS* pointers) {
    SE_MARK();
    NVireo::NString::BBasic<char> text("SEH\n\n");
    const EXCEPTION_RECORD* record = pointers ? pointers->ExceptionRecord : nullptr;
    for (int n = 0; record != nullptr && n < kMaxExceptionRecords;
         ++n, record = record->ExceptionRecord) {
        text.AppendFormat("Code=0x%x,Flags=%u,Address=%p\n\nNumberParameters=%u\n",
                          record->ExceptionCode, record->ExceptionFlags, record->ExceptionAddress,
                          record->NumberParameters);
        const DWORD count = record->NumberParameters < EXCEPTION_MAXIMUM_PARAMETERS
                                ? record->NumberParameters
                                : EXCEPTION_MAXIMUM_PARAMETERS;
        // The parameters are pointer-sized: printed whole, so a 64-bit fault address
        // is not cut to its low half.
        for (DWORD i = 0; i < count; ++i) {
            text.AppendFormat("ExceptionInformation[%u]=%llu\n", i,
                              static_cast<unsigned long long>(record->ExceptionInformation[i]));
        }
        text.AppendChar('\n');
    }
    return text;
}

void CDefaultHandler::Handle(EXCEPTION_POINTERS* pointers, uint32_t /*id*/, const char* /*text*/,
                             const char* /*detail*/, uint32_t /*line*/) {
    SE_MARK();
    // HomeFolder falls back to the program's own folder when none was set.
    NVireo::NFile::EnterHomeFolder();
    NError::AppendLine("Error.log", ExceptionRecordsText(pointers).c_str());
}

void SetStructuredExceptionHandler(IHandler* handler) {
    SE_MARK();
    InstalledHandler().Reset(handler);
}

}  // namespace NVireo::NWindows::NSEH

uint32_t Raise(const char* file, uint32_t line, const char* message) {
    SE_MARK();
    using namespace NVireo::NError;
    if (traceEnabled == 0) return 0;
    int expected = 0;
    if (!errorInProgress.compare_exchange_strong(expected, 1)) return 0;  // only the first
    CErrorRecord& r = Record();
    // Lets other threads reach their next marker and stop there. Only when the error
    // ends the program: callers that go on after an error should not wait for it.
    if (r.policy == 0) Sleep(100);
    if (r.file[0] != '\0') return 0;
    NVireo::NWindows::NThread::MarkFailedOnError(GetCurrentThreadId());
    CopyText(r.file, sizeof r.file, file ? file : "");
    r.line = line;
    if (message) CopyText(r.message, sizeof r.message, message);
    switch (r.policy) {
        case 0:
            if (r.handler) r.handler->Handle();
            HandlerlessPath();
        case 1:
            throw CObject();
        default:
            return r.policy - 1;
    }
}

void RecordSystemError() {
    SE_MARK();
    char* text = NVireo::NError::Record().systemMessage;
    text[0] = '\0';
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   GetLastError(), 1024, text, 4096, nullptr);
}

namespace NVireo::NError {

LONG StructuredExceptionFilter(EXCEPTION_POINTERS* pointers, DWORD id) {
    SE_MARK();
    using NVireo::NWindows::NSEH::CDefaultHandler;
    int expected = 0;
    if (errorInProgress.compare_exchange_strong(expected, 1)) {
        if (NVireo::NWindows::NSEH::IHandler* handler =
                NVireo::NWindows::NSEH::InstalledHandler().Get()) {
            handler->Handle(pointers, id, nullptr, nullptr, 0);
        } else {
            CDefaultHandler fallback;
            fallback.Handle(pointers, id, nullptr, nullptr, 0);
        }
    }
    return UnhandledExceptionFilter(pointers);
}

}  // namespace NVireo::NError
