// kernel32 command line: GetCommandLineA, rebuilt from /proc/self/cmdline.
// Supports: every argument of the process, the first being the program as it was started
// (argv[0], not the resolved executable), each converted to code page 932 like a host
// path (hostpath.h: lossless, so a file name argument names the same file), wrapped in
// double quotes and separated by single blanks: "<exe>" "<arg>" ... Built once; the
// pointer stays valid and unchanged for the life of the process.
// Does not support: escaping. An argument that holds a double quote keeps it as it is.
// When /proc/self/cmdline cannot be read, the command line is the quoted program path.
#include <hostpath.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string BuildCommandLine() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string line;
    size_t start = 0;
    while (start < raw.size()) {
        size_t end = raw.find('\0', start);
        if (end == std::string::npos) end = raw.size();
        if (!line.empty()) line += ' ';
        line += '"';
        line += HostToProgramPath(raw.substr(start, end - start));
        line += '"';
        start = end + 1;
    }
    if (line.empty()) {
        char path[MAX_PATH];
        const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
        line = "\"" + std::string(path, length < sizeof path ? length : 0) + "\"";
    }
    return line;
}

}  // namespace

LPSTR GetCommandLineA() {
    static std::string line = BuildCommandLine();
    return line.data();
}
