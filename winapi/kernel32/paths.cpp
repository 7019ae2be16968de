// kernel32 program file and current folder: GetModuleFileNameA, GetCurrentDirectoryA,
// SetCurrentDirectoryA, over /proc/self/exe, getcwd and chdir.
// Supports: code page 932 paths (hostpath.h); the program's own file (module null).
// Does not support: other modules (ERROR_NOT_SUPPORTED, said once on stderr).
#include <hostpath.h>
#include <unistd.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "backend/cp932.h"
#include "backend/syserror.h"

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    if (module != nullptr) {
        winapi::backend::WarnUnsupported("GetModuleFileNameA for a module other than the program");
        SetLastError(ERROR_NOT_SUPPORTED);
        return 0;
    }
    if (fileName == nullptr && size != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string host(256, '\0');
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", host.data(), host.size());
        if (length < 0) {
            winapi::backend::SetLastErrorFromErrno(errno);
            return 0;
        }
        if (static_cast<size_t>(length) < host.size()) {
            host.resize(static_cast<size_t>(length));
            break;
        }
        host.resize(host.size() * 2);
    }
    const std::string path = HostToProgramPath(host);
    if (path.size() < size) {
        std::memcpy(fileName, path.c_str(), path.size() + 1);
        return static_cast<DWORD>(path.size());
    }
    // Too small: as much as fits without splitting a double-byte character, terminated.
    if (size != 0) {
        size_t length = 0;
        while (length < path.size()) {
            const size_t step =
                winapi::backend::IsCp932LeadByte(static_cast<unsigned char>(path[length])) ? 2 : 1;
            if (length + step > size - 1) break;
            length += step;
        }
        std::memcpy(fileName, path.data(), length);
        fileName[length] = '\0';
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
    if (path == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string hostPath = ProgramToHostPath(path);
    if (chdir(hostPath.c_str()) != 0) {
        winapi::backend::SetLastErrorFromErrno(errno, hostPath);
        return FALSE;
    }
    return TRUE;
}

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
    if (buffer == nullptr && size != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string host(256, '\0');
    while (getcwd(host.data(), host.size()) == nullptr) {
        if (errno != ERANGE) {
            winapi::backend::SetLastErrorFromErrno(errno);
            return 0;
        }
        host.resize(host.size() * 2);
    }
    host.resize(std::strlen(host.c_str()));
    const std::string path = HostToProgramPath(host);
    if (path.size() + 1 > size) return static_cast<DWORD>(path.size() + 1);
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}
