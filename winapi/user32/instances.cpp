// user32 across processes: FindWindowA finds a window that another process of this
// user created, and SetForegroundWindow on it asks that process to raise it. This is how
// a second copy of the program brings the first one forward.
// How: a process with windows of a class listens on a Unix socket named after the class
// and the display (upper case, in $XDG_RUNTIME_DIR, else /tmp with the user id in the
// name; backend/display_key.h), so only windows on the same display are found. Another
// process connects and sends one line: "FIND" (optionally a tab and the window title),
// "RAISE", or "COPYDATA", a tab, dwData in decimal, a tab and the bytes in hex; the owner
// answers on its message pump ("HWND" or "NONE"; "OK"; "RESULT", a tab and the answer
// in decimal) and, for RAISE, restores, raises and focuses its first window of the
// class; for COPYDATA it sends that window WM_COPYDATA with a null sender, as Windows
// delivers a message sent from elsewhere while the receiver pumps. A socket left by a
// process that ended is noticed (nobody answers the connection) and taken over.
// Supports: one remote window per class (the owner's first window of that class); a
// remote handle answers IsWindow, SetForegroundWindow and SendMessageA with WM_COPYDATA
// (at most 16 KiB).
// Does not support: other messages to remote windows, windows of other users.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "backend/cp932.h"
#include "backend/display_key.h"
#include "backend/syserror.h"
#include "user32/user32_state.h"

namespace winapi::user32 {
namespace {

constexpr int kAnswerWaitMs = 3000;  // the owner answers on its next pump
constexpr int kRequestWaitMs = 200;  // a client writes its line right after connecting
constexpr size_t kLargestCopy = 16384;
constexpr size_t kLongestLine = 2 * kLargestCopy + 64;  // "COPYDATA", dwData, hex bytes

struct Listener {
    int fd;
    std::string path;
};

std::mutex instancesLock;
std::map<std::string, Listener> listeners;  // by upper-case class name
std::map<HWND, std::string> remoteWindows;  // handle -> socket path
uintptr_t nextRemote = 0x40000;

std::string SocketPath(const std::string& className) {
    std::string folder;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0') {
        folder = std::string(runtime) + "/se-window-";
    } else {
        folder = "/tmp/se-window-" + std::to_string(getuid()) + "-";
    }
    folder += backend::DisplayKey() + "-";
    std::string name;
    for (unsigned char c : backend::Cp932UpperAscii(className)) {
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_') {
            name += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            name += escaped;
        }
    }
    if (folder.size() + name.size() + 1 > sizeof(sockaddr_un{}.sun_path)) {
        uint64_t hash = 1469598103934665603ull;  // FNV-1a of the class name
        for (unsigned char c : backend::Cp932UpperAscii(className))
            hash = (hash ^ c) * 1099511628211ull;
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
        name = std::string("H") + hex;
    }
    return folder + name;
}

sockaddr_un Address(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return address;
}

// A connected socket to path, or -1.
int Connect(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const sockaddr_un address = Address(path);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// One line from fd (without its newline), waiting at most waitMs; empty on failure.
std::string ReadLine(int fd, int waitMs) {
    std::string line;
    char c;
    while (line.size() < kLongestLine) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, waitMs) <= 0) return {};
        const ssize_t n = read(fd, &c, 1);
        if (n <= 0) return {};
        if (c == '\n') return line;
        line += c;
    }
    return {};
}

bool WriteLine(int fd, const std::string& line) {
    const std::string text = line + "\n";
    return send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

// The client's side of one exchange; empty when nobody answered.
std::string Ask(const std::string& path, const std::string& request) {
    const int fd = Connect(path);
    if (fd < 0) return {};
    std::string answer;
    if (WriteLine(fd, request)) answer = ReadLine(fd, kAnswerWaitMs);
    close(fd);
    return answer;
}

// Our first live window of a class (and title, when one is given).
Window* FirstWindow(const std::string& className, const std::string* title) {
    for (const auto& [handle, window] : Windows()) {
        if (window->destroying || !SameClassName(window->windowClass->name, className)) continue;
        if (title != nullptr && window->title != *title) continue;
        return window.get();
    }
    return nullptr;
}

// A COPYDATA request's dwData and bytes; false for a malformed one.
bool ParseCopy(const std::string& request, ULONG_PTR& tag, std::vector<unsigned char>& bytes) {
    if (request.size() < 9 || request[8] != '\t') return false;
    const size_t tab = request.find('\t', 9);
    if (tab == std::string::npos) return false;
    const std::string number = request.substr(9, tab - 9);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    tag = static_cast<ULONG_PTR>(std::strtoull(number.c_str(), nullptr, 10));
    const std::string hex = request.substr(tab + 1);
    if (hex.size() % 2 != 0 || hex.size() / 2 > kLargestCopy ||
        hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return false;
    }
    bytes.clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        bytes.push_back(static_cast<unsigned char>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return true;
}

void Answer(int fd, const std::string& className) {
    const std::string request = ReadLine(fd, kRequestWaitMs);
    if (request.rfind("COPYDATA", 0) == 0) {
        ULONG_PTR tag = 0;
        std::vector<unsigned char> bytes;
        HWND target = nullptr;
        if (ParseCopy(request, tag, bytes)) {
            std::lock_guard hold(Lock());
            if (Window* window = FirstWindow(className, nullptr)) target = window->handle;
        }
        if (target == nullptr) {
            WriteLine(fd, "NONE");
            return;
        }
        COPYDATASTRUCT data{tag, static_cast<DWORD>(bytes.size()), bytes.data()};
        const LRESULT result =
            SendMessageA(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
        WriteLine(fd, "RESULT\t" + std::to_string(static_cast<long long>(result)));
    } else if (request == "RAISE") {
        Window* window;
        {
            std::lock_guard hold(Lock());
            window = FirstWindow(className, nullptr);
        }
        if (window != nullptr) RaiseLocalWindow(*window);
        WriteLine(fd, window != nullptr ? "OK" : "NONE");
    } else if (request.rfind("FIND", 0) == 0) {
        std::string title;
        const bool byTitle = request.size() > 4 && request[4] == '\t';
        if (byTitle) title = request.substr(5);
        std::lock_guard hold(Lock());
        WriteLine(fd,
                  FirstWindow(className, byTitle ? &title : nullptr) != nullptr ? "HWND" : "NONE");
    }
}

}  // namespace

void PublishClass(const std::string& className) {
    std::lock_guard hold(instancesLock);
    const std::string key = backend::Cp932UpperAscii(className);
    if (listeners.count(key) != 0) return;
    const std::string path = SocketPath(className);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return;
    const sockaddr_un address = Address(path);
    int bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (bound != 0 && errno == EADDRINUSE) {
        const int other = Connect(path);
        if (other >= 0) {  // another live process owns the class: it answers for it
            close(other);
            close(fd);
            return;
        }
        unlink(path.c_str());  // left by a process that ended
        bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    if (bound != 0 || listen(fd, 8) != 0) {
        close(fd);
        return;
    }
    listeners[key] = Listener{fd, path};
}

void WithdrawClass(const std::string& className) {
    std::lock_guard hold(instancesLock);
    auto found = listeners.find(backend::Cp932UpperAscii(className));
    if (found == listeners.end()) return;
    close(found->second.fd);
    unlink(found->second.path.c_str());
    listeners.erase(found);
}

void ServeInstanceRequests() {
    std::vector<std::pair<std::string, int>> waiting;  // class, listening socket
    {
        std::lock_guard hold(instancesLock);
        for (const auto& [key, listener] : listeners) waiting.emplace_back(key, listener.fd);
    }
    for (const auto& [className, listening] : waiting) {
        for (;;) {
            const int fd = accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) break;
            Answer(fd, className);
            close(fd);
        }
    }
}

bool IsRemoteWindow(HWND window) {
    std::lock_guard hold(instancesLock);
    return remoteWindows.count(window) != 0;
}

BOOL RaiseRemoteWindow(HWND window) {
    std::string path;
    {
        std::lock_guard hold(instancesLock);
        path = remoteWindows[window];
    }
    if (Ask(path, "RAISE") == "OK") return TRUE;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
}

LRESULT SendRemoteMessage(HWND window, UINT message, LPARAM lParam) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (message != WM_COPYDATA || data == nullptr || data->cbData > kLargestCopy ||
        (data->cbData != 0 && data->lpData == nullptr)) {
        backend::WarnUnsupported("SendMessageA to another process: only WM_COPYDATA up to 16 KiB");
        SetLastError(ERROR_NOT_SUPPORTED);
        return 0;
    }
    std::string path;
    {
        std::lock_guard hold(instancesLock);
        path = remoteWindows[window];
    }
    std::string request =
        "COPYDATA\t" + std::to_string(static_cast<unsigned long long>(data->dwData)) + "\t";
    const auto* bytes = static_cast<const unsigned char*>(data->lpData);
    for (DWORD i = 0; i < data->cbData; ++i) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
        request += hex;
    }
    const std::string answer = Ask(path, request);
    if (answer.rfind("RESULT\t", 0) != 0) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return static_cast<LRESULT>(std::strtoll(answer.c_str() + 7, nullptr, 10));
}

HWND FindRemoteWindow(const std::string& className, const char* title) {
    const std::string path = SocketPath(className);
    {
        std::lock_guard hold(instancesLock);
        if (listeners.count(backend::Cp932UpperAscii(className)) != 0)
            return nullptr;  // that is us
    }
    const std::string request = title != nullptr ? std::string("FIND\t") + title : "FIND";
    if (Ask(path, request) != "HWND") return nullptr;
    std::lock_guard hold(instancesLock);
    for (const auto& [handle, known] : remoteWindows)
        if (known == path) return handle;
    HWND handle = reinterpret_cast<HWND>(nextRemote);
    nextRemote += 4;
    remoteWindows[handle] = path;
    return handle;
}

}  // namespace winapi::user32

using namespace winapi::user32;

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
    if (className != nullptr && reinterpret_cast<uintptr_t>(className) < 0x10000) {
        winapi::backend::WarnUnsupported("FindWindowA: class atoms");
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    {
        std::lock_guard hold(Lock());
        for (const auto& [handle, window] : Windows()) {
            if (window->destroying) continue;
            if (className != nullptr && !SameClassName(window->windowClass->name, className))
                continue;
            if (windowName != nullptr && window->title != windowName) continue;
            return handle;
        }
    }
    if (className == nullptr) return nullptr;
    HWND remote = FindRemoteWindow(className, windowName);
    if (remote == nullptr) SetLastError(ERROR_SUCCESS);  // not found is not a failure
    return remote;
}
