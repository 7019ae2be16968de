// kernel32 command line: GetCommandLineA, rebuilt from /proc/self/cmdline.
// Supports: every argument of the process, the first being the program as it was started
// (argv[0], not the resolved executable), each converted to code page 932 like a host
// path (hostpath.h: lossless, so a file name argument names the same file), wrapped in
// double quotes and separated by single blanks: "<exe>" "<arg>" ... Built once; the
// pointer stays valid and unchanged for the life of the process. The layer's own option
// --scale N (cmdline.h) is taken out; a bad value is named on stderr and ignored.
// Does not support: escaping. An argument that holds a double quote keeps it as it is.
// When /proc/self/cmdline cannot be read, the command line is the quoted program path.
#include "kernel32/cmdline.h"

#include <hostpath.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace winapi::kernel32 {

namespace {

struct CCommandLine {
    std::string line;
    int scale = 0;
};

CCommandLine Build() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> arguments;
    for (size_t start = 0; start < raw.size();) {
        size_t end = raw.find('\0', start);
        if (end == std::string::npos) end = raw.size();
        arguments.push_back(raw.substr(start, end - start));
        start = end + 1;
    }
    CCommandLine built;
    if (arguments.size() > 1) {
        std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
        std::string complaint;
        built.scale = TakeScaleOption(rest, complaint);
        if (!complaint.empty()) std::fprintf(stderr, "%s\n", complaint.c_str());
        arguments.resize(1);
        arguments.insert(arguments.end(), rest.begin(), rest.end());
    }
    for (const std::string& argument : arguments) {
        if (!built.line.empty()) built.line += ' ';
        built.line += '"' + HostToProgramPath(argument) + '"';
    }
    if (built.line.empty()) {
        char path[MAX_PATH];
        const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
        built.line = "\"" + std::string(path, length < sizeof path ? length : 0) + "\"";
    }
    return built;
}

CCommandLine& Built() {
    static CCommandLine built = Build();
    return built;
}

}  // namespace

int ParseWindowScale(const std::string& text) {
    if (text.empty() || text.size() > 2 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    const int scale = std::stoi(text);
    return scale >= 1 && scale <= kMaxWindowScale ? scale : 0;
}

int TakeScaleOption(std::vector<std::string>& arguments, std::string& complaint) {
    constexpr char kOption[] = "--scale";
    int scale = 0;
    for (size_t i = 0; i < arguments.size() && arguments[i] != "--";) {
        const std::string& argument = arguments[i];
        size_t taken = 1;
        std::string value;
        if (argument == kOption) {
            taken = i + 1 < arguments.size() ? 2 : 1;
            if (taken == 2) value = arguments[i + 1];
        } else if (argument.rfind(std::string(kOption) + "=", 0) == 0) {
            value = argument.substr(sizeof kOption);
        } else {
            ++i;
            continue;
        }
        if (const int parsed = ParseWindowScale(value)) {
            scale = parsed;
        } else {
            complaint = "--scale wants a whole number from 1 to " +
                        std::to_string(kMaxWindowScale) + " (not \"" + value + "\")";
        }
        arguments.erase(arguments.begin() + i, arguments.begin() + i + taken);
    }
    return scale;
}

int CommandLineScale() { return Built().scale; }

}  // namespace winapi::kernel32

LPSTR GetCommandLineA() { return winapi::kernel32::Built().line.data(); }
