// The application's error handlers: what the user sees when the program fails, and the
// report folder (Appli::ReportFolder: error/ below the home folder or in the user's state
// folder) that tells us why. The message names the folder; when the report could not be
// written there, it says so, and the report's text goes to standard error instead.
#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/error/error.h"

namespace Appli {

// The texts of the failure message: the caption's first part, the message with one %s
// for the report folder's path, the same when the report could not be written there, and
// the product name that ends the caption.
struct CErrorMessageTexts {
    const char* caption;
    const char* message;
    const char* unwritten;
    const char* productName;
};
// The system string table's texts once it is loaded, built-in ones before; the product
// name of the application information (built in before it is read).
CErrorMessageTexts ErrorMessageTexts();

// The main window's title (see application_info.h) as BreakPoint.log starts with it.
const char* ReportWindowTitle();

// Caption "<caption>:<product name>" and the message with the report folder's path
// (without its trailing separator): the unwritten one when a log of the report could
// not be written (NVireo::NError::UnwrittenLogs).
void ComposeErrorMessage(NVireo::NString::BBasic<char>& text,
                         NVireo::NString::BBasic<char>& caption, const char* folder);
// Shows the failure message. Before the main window exists: a task-modal box without
// owner. With the window up: a system-modal box, so it stands in front; on the window's
// own thread the window is hidden first and owns the box.
void ShowErrorMessage(const char* text, const char* caption);

// Reported errors: writes the report, tells the user where it is, saves the settings and
// closes the main window (on the window's own thread; from another the window goes with
// the process), and ends the process.
class CErrorHandler : public NVireo::NError::IHandler {
public:
    void Handle() override;
};

// Structured exceptions: SEH.log with the exception records and where the guard was,
// then the report files, then the message and the window closed as for a reported
// error; returns to the filter, whose guard ends the process.
class CSEHHandler : public NVireo::NWindows::NSEH::IHandler {
public:
    void Handle(EXCEPTION_POINTERS* pointers, uint32_t id, const char* text, const char* detail,
                uint32_t line) override;
};

// Installs both handlers, names the window title as BreakPoint.log's first line and the
// state folder as the emergency path's folder. Call it on the main thread: the thread
// that installs them is the one that may hide and close the main window.
void InstallErrorHandlers();

}  // namespace Appli
