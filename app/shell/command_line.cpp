// The command-line record and the home folder.
#include "app/shell/command_line.h"

#include <windows.h>

#include "framework/error/trace.h"
#include "framework/platform/file.h"
#include "framework/platform/home.h"

namespace Main {

CCommandLine ParseCommandLine(const char* line) {
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
    return record;
}

const CCommandLine& CommandLine() {
    static const CCommandLine record = ParseCommandLine(GetCommandLineA());
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
