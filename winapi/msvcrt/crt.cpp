// Microsoft C runtime (io.h, stdio.h, string.h) calls the program makes: fopen_s,
// _access, _unlink, _stricmp, _strnicmp, _fseeki64, _ftelli64, _fileno, _isatty.
// Supports: code page 932 paths (converted as hostpath.h says); fopen_s modes "r", "w",
// "a" with "+", "b", "t" (ignored: Linux has no text translation, lines keep their
// "\r\n") and "x"; _access modes 0, 2, 4, 6. Streams are opened close-on-exec. A folder
// cannot be opened as a file (EACCES, as on Windows). Failures set errno and the last
// error. Does not support: the "c", "n", "S", "R", "T", "D" and "ccs=" mode letters
// (EINVAL, noted once on stderr); _access mode 1 or other bits (EINVAL).
#include <hostpath.h>
#include <io.h>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include <cerrno>
#include <string>

#include "backend/cp932.h"
#include "backend/syserror.h"

namespace {

using winapi::backend::SetLastErrorFromErrno;

// Fails a call with errno error (Windows' errno for folders: EACCES) and the matching
// last error; answers -1.
int Fail(int error, const std::string& hostPath = {}) {
    if (error == EISDIR) error = EACCES;
    SetLastErrorFromErrno(error, hostPath);
    errno = error;
    return -1;
}

// The glibc mode for a runtime mode, or empty when the mode is not supported.
std::string HostMode(const char* mode) {
    if (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a') return {};
    std::string host(1, mode[0]);
    bool plus = false, exclusive = false;
    for (const char* c = mode + 1; *c != '\0'; ++c) {
        switch (*c) {
            case '+':
                plus = true;
                break;
            case 'b':
            case 't':
                break;
            case 'x':
                if (mode[0] != 'w') return {};
                exclusive = true;
                break;
            default:
                winapi::backend::WarnUnsupported("fopen_s mode letters other than r w a + b t x");
                return {};
        }
    }
    if (plus) host += '+';
    if (exclusive) host += 'x';
    host += 'e';  // close-on-exec: child processes never inherit the program's files
    return host;
}

}  // namespace

errno_t fopen_s(FILE** file, const char* path, const char* mode) {
    if (file == nullptr) {
        Fail(EINVAL);
        return EINVAL;
    }
    *file = nullptr;
    if (path == nullptr || mode == nullptr) {
        Fail(EINVAL);
        return EINVAL;
    }
    const std::string hostMode = HostMode(mode);
    if (hostMode.empty()) {
        Fail(EINVAL);
        return EINVAL;
    }
    const std::string hostPath = ProgramToHostPath(path);
    FILE* stream = std::fopen(hostPath.c_str(), hostMode.c_str());
    if (stream == nullptr) {
        Fail(errno, hostPath);
        return errno;
    }
    struct stat info;
    if (fstat(fileno(stream), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::fclose(stream);
        Fail(EACCES);
        return EACCES;
    }
    *file = stream;
    return 0;
}

int _access(const char* path, int mode) {
    if (path == nullptr || (mode & ~6) != 0) return Fail(EINVAL);
    const int hostMode = (mode & 2 ? W_OK : 0) | (mode & 4 ? R_OK : 0);
    const std::string hostPath = ProgramToHostPath(path);
    if (access(hostPath.c_str(), hostMode == 0 ? F_OK : hostMode) != 0) {
        return Fail(errno, hostPath);
    }
    return 0;
}

int _unlink(const char* path) {
    if (path == nullptr) return Fail(EINVAL);
    const std::string hostPath = ProgramToHostPath(path);
    if (unlink(hostPath.c_str()) != 0) return Fail(errno, hostPath);
    return 0;
}

// Both compare code page 932 text: only single-byte ASCII letters fold; the trail byte of
// a double-byte character (which may be a letter, as in 0x83 0x41) compares exactly.
int _strnicmp(const char* a, const char* b, size_t count) {
    if (a == nullptr || b == nullptr) {
        Fail(EINVAL);
        return 0x7FFFFFFF;  // the runtime's _NLSCMPERROR
    }
    bool trail = false;
    for (size_t i = 0; i < count; ++i) {
        const unsigned char ca = static_cast<unsigned char>(a[i]);
        const unsigned char cb = static_cast<unsigned char>(b[i]);
        // Up to here both strings agree, so a double-byte character starts in both at once.
        const int fa = trail ? ca : winapi::backend::LowerAscii(ca);
        const int fb = trail ? cb : winapi::backend::LowerAscii(cb);
        if (fa != fb) return fa - fb;
        if (ca == '\0') return 0;
        trail = !trail && winapi::backend::IsCp932LeadByte(ca);
    }
    return 0;
}

int _stricmp(const char* a, const char* b) { return _strnicmp(a, b, static_cast<size_t>(-1)); }

int _fseeki64(FILE* file, long long offset, int origin) {
    if (file == nullptr) return Fail(EINVAL);
    if (fseeko(file, static_cast<off_t>(offset), origin) != 0) return Fail(errno);
    return 0;
}

long long _ftelli64(FILE* file) {
    if (file == nullptr) return Fail(EINVAL);
    const off_t position = ftello(file);
    if (position < 0) return Fail(errno);
    return position;
}

int _fileno(FILE* file) {
    if (file == nullptr) return Fail(EINVAL);
    return fileno(file);
}

int _isatty(int descriptor) { return isatty(descriptor) ? 1 : 0; }
