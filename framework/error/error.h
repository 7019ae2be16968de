// Error reporting: the one way the program reports a failure that is not an ordinary
// outcome. Raise records where and why, then hands the error to the installed handler,
// which reports it and ends the process. Under policy 1 (tests, the batch retimer) it
// throws CObject instead, so the caller can turn the failure into a message of its own.
//
// Structured exceptions (access violations and the other faults the layer's SehGuard
// catches) come to StructuredExceptionFilter, which hands them to the installed
// structured-exception handler. Both handlers write the report folder: Error.log with the
// error text, BreakPoint.log with the call trace, SEH.log with the exception records.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "framework/containers/nstring.h"

namespace NVireo::NError {

// Reports a recorded error to the user; installed by the application at start-up.
class IHandler {
public:
    virtual void Handle() = 0;
    virtual ~IHandler() = default;
};

// Thrown by Raise under policy 1; it carries nothing, the record holds the details.
class CObject {};

struct CErrorRecord {
    char file[260];  // the reporting site's file text; empty: nothing recorded
    uint32_t line;   // the site number
    char message[4096];
    char systemMessage[4096];  // the system's text for the last failed call
    std::unique_ptr<IHandler> handler;
    // 0: hand the error to the handler; 1: throw CObject; n >= 2: Raise returns n - 1.
    uint32_t policy;
};

CErrorRecord& Record();

// Set by the first error raised (or the first structured exception) and never cleared
// while the program runs: markers, frames and input stop, and later raises return at once.
extern std::atomic<int> errorInProgress;

// Replaces (and deletes) the installed handler; null is allowed.
void SetErrorHandler(IHandler* handler);

// "file: line\nmessage\nsystemMessage", or empty when nothing is recorded.
std::string ErrorText();

// Forgets a recorded error and the count of unwritten logs, and clears errorInProgress.
// Only for callers that catch CObject under policy 1 and go on (tests, the batch retimer
// between files).
void Clear();

// The file text every report site of this program uses.
inline constexpr const char kSite[] = "? __FILE__";

// The symbolic name of a C runtime error number ("ENOENT" for 2), or null for a number
// without one.
const char* ErrorName(int number);

// The text BreakPoint.log starts with: the main window's title. The application names
// where it comes from when it installs its handlers; without a source the line is empty.
using TitleSource = const char* (*)();
void SetWindowTitleSource(TitleSource source);

// The device logs a report starts with ("caps.log", "Adapter.log",
// "PresentParameters.log"): written into the report folder by whoever owns the device.
// The program names its writer when it installs its handlers; without one a report has
// no device logs. A seam so that error reporting needs no renderer (the batch tool).
using DeviceLogWriter = void (*)(const char* folder);
void SetDeviceLogWriter(DeviceLogWriter writer);

// Makes the home folder current and creates folder (below it, or absolute) with every
// folder above it that is missing; the home folder is current again afterwards. A failure
// is not reported here: the files that cannot be written then count as unwritten.
void EnsureReportFolder(const char* folder);
// folder + name, joined with the folder's own separator: "/" when the folder holds one,
// otherwise "\" (added only when the folder does not already end with it).
std::string ReportPath(const char* folder, const char* name);
// The whole report: the folder, then the files of WriteReportFiles.
void WriteReport(const char* folder);
// The report files into an existing folder (below the current home folder, or absolute):
// the device logs, Error.log with the error text, BreakPoint.log with the title and the
// call trace.
void WriteReportFiles(const char* folder);

// Log writing. Each opens the file, writes and closes it again. A file that cannot be
// opened while an error is being handled (errorInProgress) is skipped and counted, and
// standard error names it: the handler still shows its message. Otherwise it takes the
// emergency path, which ends the process.
void AppendLine(const char* path, const char* text);      // text and a line end
void AppendEmptyLines(const char* path, uint32_t count);  // count line ends
void AppendFormatted(const char* path, const char* format, ...)
    __attribute__((format(printf, 2, 3)));  // no line end added
// Opens a log for writing ("w" or "a") by the rules above; null when it was skipped.
FILE* OpenLog(const char* path, const char* mode, uint32_t site);
// How many logs were skipped since the error (0 when every report file was written).
uint32_t UnwrittenLogs();

// The folder EmergencyExit writes its Error.log into (empty: the current folder). The
// application names it when it installs its handlers; kept in a fixed buffer.
void SetEmergencyFolder(const char* folder);
// The last resort when a log cannot be written: appends "<logName>\n<site>:? __FILE__\n"
// to "Error.log" in the emergency folder (made when missing) and to standard error, and
// ends the process at once with exit code 0.
[[noreturn]] void EmergencyExit(const char* logName, uint32_t site);

// Ends the process with exit code 0 after flushing the standard streams; no destructors
// run, since other threads may still be using the process-wide objects.
[[noreturn]] void EndProcess();

// The filter of every structured-exception guard of the program (SehGuard(body, argument,
// StructuredExceptionFilter, id)); id names the guard. The first exception is handed to
// the installed handler; any later one, and this one afterwards, go on to
// UnhandledExceptionFilter, whose answer is returned.
LONG StructuredExceptionFilter(EXCEPTION_POINTERS* pointers, DWORD id);

}  // namespace NVireo::NError

namespace NVireo::NWindows::NSEH {

// Reports a structured exception; runs on the faulting thread, inside the filter.
// text, detail and line describe where the guard was when they are known (text null:
// nothing more is known than the exception records and the guard's id).
class IHandler {
public:
    virtual void Handle(EXCEPTION_POINTERS* pointers, uint32_t id, const char* text,
                        const char* detail, uint32_t line) = 0;
    virtual ~IHandler() = default;
};

// Used when no handler is installed: appends the exception records to Error.log in the
// home folder.
class CDefaultHandler : public IHandler {
public:
    void Handle(EXCEPTION_POINTERS* pointers, uint32_t id, const char* text, const char* detail,
                uint32_t line) override;
};

// "SEH\n\n", then for the exception record and each chained one the code, flags,
// address, parameter count and parameters, each record followed by a line end.
NVireo::NString::BBasic<char> ExceptionRecordsText(const EXCEPTION_POINTERS* pointers);

// Replaces (and deletes) the installed handler; null brings back the default handler.
void SetStructuredExceptionHandler(IHandler* handler);

}  // namespace NVireo::NWindows::NSEH

// Reports an error. Under policy 0 it does not return; under policy 1 it throws
// NVireo::NError::CObject; under a higher policy it returns policy - 1. It also returns
// (0) at once when an error is already being handled: callers must stay safe after it.
// file is kSite and line the site number, a constant of framework/error/sites.h.
uint32_t Raise(const char* file, uint32_t line, const char* message);

// Stores the system's text for the last failed system call in the record; call it right
// after the failing call and before Raise.
void RecordSystemError();
