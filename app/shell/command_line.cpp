// The command-line record and the home folder.
#include "app/shell/command_line.h"

#include <windows.h>

#include "framework/error/trace.h"
#include "framework/platform/file.h"
#include "framework/platform/home.h"

namespace Main {

std::string StripQuotes(const char* arguments) {
    SE_MARK();
    std::string text = arguments != nullptr ? arguments : "";
    const size_t first = text.find_first_not_of('"');
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of('"');
    return text.substr(first, last - first + 1);
}

CCommandLine ParseCommandLine(const char* line, const std::string& startFolder) {
    SE_MARK();
    CCommandLine record;
    const std::string text = line ? line : "";
    size_t position = 0;
    if (!text.empty() && text[0] == '"') position = 1;
    // The program path never holds a double quote, and 0x22 is never a trail byte, so a
    // plain search cannot stop inside a double-byte character.
    size_t end = text.find('"', position);
    const bool quoted = end != std::string::npos;
    if (!quoted) end = text.size();
    NVireo::NFile::SplitPath(text.substr(position, end - position).c_str(), record.folder,
                             record.fileName);
    if (quoted && end + 1 < text.size() && text[end + 1] == ' ') {
        record.arguments = text.substr(end + 2);
    }
    record.file = StripQuotes(record.arguments.c_str());
    if (!record.file.empty() && record.file[0] != '/') record.file = startFolder + record.file;
    return record;
}

const CCommandLine& CommandLine() {
    static const CCommandLine record = [] {
        std::string start(MAX_PATH, '\0');
        DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(start.size()), start.data());
        if (length >= start.size()) {  // too small: the size it needs
            start.resize(length);
            length = GetCurrentDirectoryA(length, start.data());
        }
        start.resize(length < start.size() ? length : 0);
        // Where the current folder is unknown, a relative file stays relative.
        if (!start.empty() && start.back() != '/') start += '/';
        return ParseCommandLine(GetCommandLineA(), start);
    }();
    return record;
}

void FixHomeFolder() {
    SE_MARK();
    const std::string& folder = CommandLine().folder;
    if (!folder.empty() && folder[0] == '/') {
        NVireo::NFile::SetHomeFolder(folder.c_str());
    } else {
        // HomeFolder() starts as the executable's folder; setting it again also fills
        // the emergency copy.
        const std::string executableFolder = NVireo::NFile::HomeFolder();
        NVireo::NFile::SetHomeFolder(executableFolder.c_str());
    }
}

}  // namespace Main
