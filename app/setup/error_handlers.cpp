#include "app/setup/error_handlers.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "app/setup/application_info.h"
#include "app/setup/data_paths.h"
#include "app/setup/settings.h"
#include "framework/error/trace.h"
#include "framework/platform/home.h"
#include "framework/render/device_logs.h"
#include "framework/text/string_ids.h"
#include "framework/text/string_table.h"
#include "framework/window/window.h"

namespace Appli {

namespace {

// The thread that installed the handlers: the main thread, which owns the main window.
// Only it may hide or close the window; another thread failing leaves the window alone.
DWORD handlerThread = 0;

bool OnWindowThread() { return GetCurrentThreadId() == handlerThread; }

// Closes the main window once the user has read the message, with nothing the user set
// lost: the settings are saved as the shutdown saves them (WM_CLOSE itself waits while a
// failure is reported, so the close button cannot start a shutdown under the message).
// The window is destroyed by its own thread; from another it goes with the process.
void CloseMainWindow() {
    SE_MARK();
    const HWND window = NVireo::NWindow::MainWindowHandle();
    if (window == nullptr) return;
    SaveSettings(ApplicationInfo().productName.c_str());
    if (OnWindowThread()) DestroyWindow(window);
}

// The report folder as the message shows it: without its trailing separator.
std::string ReportFolderName(const char* folder) {
    SE_MARK();
    std::string name = folder;
    if (!name.empty() && (name.back() == '/' || name.back() == '\\')) name.pop_back();
    return name;
}

// A report that could not be written whole is not lost: its text goes to standard error.
void TellUnwrittenReport(const char* text) {
    SE_MARK();
    if (NVireo::NError::UnwrittenLogs() == 0) return;
    std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
}

}  // namespace

CErrorMessageTexts ErrorMessageTexts() {
    SE_MARK();
    // The system table's caption and message once start-up has loaded it; before that
    // (a failure while starting), the same texts built in. Nothing here may fail again.
    const auto& texts = NVireo::NText::SystemStrings().texts;
    auto text = [&texts](uint32_t id, const char* builtIn) {
        auto found = texts.find(id);
        return found == texts.end() ? builtIn : found->second.c_str();
    };
    const std::string& product = ApplicationInfo().productName;
    return CErrorMessageTexts{
        text(StringId::System::ErrorCaption, "エラー"),
        text(StringId::System::ErrorMessage,
             "エラーが発生したため終了します。\n詳しい内容は%sフォルダに記録されています。"),
        text(StringId::System::ErrorUnwritten,
             "エラーが発生したため終了します。\n詳しい内容を%sフォルダに書き出せませんでした。\n"
             "内容は標準エラー出力に書き出しました。"),
        product.empty() ? "SE Retimer" : product.c_str(),
    };
}

const char* ReportWindowTitle() {
    SE_MARK();
    // Only the one thread that reports an error asks for it.
    static std::string title;
    title = WindowTitle();
    return title.c_str();
}

void ComposeErrorMessage(NVireo::NString::BBasic<char>& text,
                         NVireo::NString::BBasic<char>& caption, const char* folder) {
    SE_MARK();
    const CErrorMessageTexts texts = ErrorMessageTexts();
    caption.Assign("", 0);
    caption.Concat3(texts.caption, ":", texts.productName);
    text.Format(NVireo::NError::UnwrittenLogs() == 0 ? texts.message : texts.unwritten,
                ReportFolderName(folder).c_str());
}

void ShowErrorMessage(const char* text, const char* caption) {
    SE_MARK();
    const HWND window = NVireo::NWindow::MainWindowHandle();
    if (window == nullptr) {
        MessageBoxA(nullptr, text, caption, MB_TASKMODAL);  // before the window exists
        return;
    }
    // The frozen window would stand behind the box: it is hidden first (by its own
    // thread), and the box is system-modal, so it comes to the front.
    if (OnWindowThread()) {
        ShowWindow(window, SW_HIDE);
        MessageBoxA(window, text, caption, MB_SYSTEMMODAL);
        return;
    }
    MessageBoxA(nullptr, text, caption, MB_SYSTEMMODAL);
}

void CErrorHandler::Handle() {
    SE_MARK();
    const std::string folder = ReportFolder();
    NVireo::NError::WriteReport(folder.c_str());
    TellUnwrittenReport(NVireo::NError::ErrorText().c_str());
    NVireo::NString::BBasic<char> text, caption;
    ComposeErrorMessage(text, caption, folder.c_str());
    ShowErrorMessage(text.c_str(), caption.c_str());
    CloseMainWindow();
    NVireo::NError::EndProcess();
}

void CSEHHandler::Handle(EXCEPTION_POINTERS* pointers, uint32_t id, const char* text,
                         const char* detail, uint32_t line) {
    SE_MARK();
    NVireo::NString::BBasic<char> header;
    header.Format("id=%u\n", id);
    if (text != nullptr) {
        header.AppendFormat("%s\n%s\nLine=%u\n", text, detail ? detail : "", line);
    }
    header.Append("\n\n\n\n\n\n", 6);
    NVireo::NString::BBasic<char> whole = NVireo::NWindows::NSEH::ExceptionRecordsText(pointers);
    whole.Append(header.c_str(), header.Length());

    const std::string folder = ReportFolder();
    NVireo::NError::EnsureReportFolder(folder.c_str());  // leaves the home folder current
    const std::string sehLog = NVireo::NError::ReportPath(folder.c_str(), "SEH.log");
    DeleteFileA(sehLog.c_str());
    NVireo::NError::AppendFormatted(sehLog.c_str(), "%s", whole.c_str());
    NVireo::NFile::EnterHomeFolder();
    // The report files belong in the folder "Error", which on the original platform's
    // case-insensitive file system is the same folder as "error/". Linux tells the two
    // apart, so the same folder is named the same way here.
    NVireo::NError::WriteReportFiles(folder.c_str());
    TellUnwrittenReport((std::string(whole.c_str()) + NVireo::NError::ErrorText()).c_str());

    NVireo::NString::BBasic<char> message, caption;
    ComposeErrorMessage(message, caption, folder.c_str());
    ShowErrorMessage(message.c_str(), caption.c_str());
    CloseMainWindow();
}

void InstallErrorHandlers() {
    SE_MARK();
    handlerThread = GetCurrentThreadId();
    NVireo::NError::SetErrorHandler(new CErrorHandler);
    NVireo::NWindows::NSEH::SetStructuredExceptionHandler(new CSEHHandler);
    NVireo::NError::SetWindowTitleSource(&ReportWindowTitle);
    NVireo::NError::SetDeviceLogWriter(&NVireo::NDirectX::N3D::WriteDirect3DLogs);
    NVireo::NError::SetEmergencyFolder(StateFolder().c_str());
}

}  // namespace Appli
