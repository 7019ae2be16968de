#include "framework/error/error.h"

#include <windows.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace NVireo::NError {

std::atomic<int> errorInProgress{0};

CErrorRecord& Record() {
    static CErrorRecord record{};
    return record;
}

void SetErrorHandler(IHandler* handler) { Record().handler.reset(handler); }

std::string ErrorText() {
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
    CErrorRecord& r = Record();
    r.file[0] = '\0';
    r.line = 0;
    r.message[0] = '\0';
    r.systemMessage[0] = '\0';
    errorInProgress = 0;
}

namespace {

void CopyText(char* target, size_t size, const char* source) {
    std::strncpy(target, source, size - 1);
    target[size - 1] = '\0';
}

// No handler installed: leave the text in "Error.log" and on standard output, then end.
[[noreturn]] void HandlerlessPath() {
    const std::string text = ErrorText();
    FILE* log = nullptr;
    if (fopen_s(&log, "Error.log", "w") == 0) {
        std::fputs(text.c_str(), log);
        std::fclose(log);
    }
    std::printf("error\n%s", text.c_str());
    std::fflush(stdout);
    std::_Exit(0);
}

}  // namespace
}  // namespace NVireo::NError

uint32_t Raise(const char* file, uint32_t line, const char* message) {
    using namespace NVireo::NError;
    int expected = 0;
    if (!errorInProgress.compare_exchange_strong(expected, 1)) return 0;
    CErrorRecord& r = Record();
    if (r.file[0] != '\0') return 0;
    CopyText(r.file, sizeof r.file, file ? file : "");
    r.line = line;
    if (message) CopyText(r.message, sizeof r.message, message);
    switch (r.policy) {
        case 0:
            Sleep(100);  // lets other threads reach their next marker and stop there
            if (r.handler) r.handler->Handle();
            HandlerlessPath();
        case 1:
            throw CObject();
        default:
            return r.policy - 1;
    }
}

void RecordSystemError() {
    char* text = NVireo::NError::Record().systemMessage;
    text[0] = '\0';
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   GetLastError(), 1024, text, 4096, nullptr);
}
