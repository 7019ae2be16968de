// Backend: errno -> Windows error codes for every file service of the layer, and the
// once-only notice for unsupported requests.
// Supports: the errno values file and folder calls produce on Linux; anything else maps
// to ERROR_GEN_FAILURE.
#include "backend/syserror.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <set>

namespace winapi::backend {

namespace {

// True when the folder that would hold hostPath is missing (or is not a folder).
bool FolderMissing(const std::string& hostPath) {
    std::string::size_type slash = hostPath.find_last_of('/');
    if (slash == std::string::npos) return false;  // the current folder holds it
    // Trailing slashes name the folder itself: look at the part before the last name.
    while (slash > 0 && slash + 1 == hostPath.size()) {
        const std::string::size_type end = hostPath.find_last_not_of('/', slash);
        if (end == std::string::npos) return false;
        slash = hostPath.find_last_of('/', end);
        if (slash == std::string::npos) return false;
    }
    const std::string folder = slash == 0 ? std::string("/") : hostPath.substr(0, slash);
    struct stat info;
    return stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode);
}

}  // namespace

DWORD ErrorFromErrno(int error, const std::string& hostPath) {
    switch (error) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return !hostPath.empty() && FolderMissing(hostPath) ? ERROR_PATH_NOT_FOUND
                                                                : ERROR_FILE_NOT_FOUND;
        case ELOOP:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:  // Windows refuses to open, write or delete a folder as a file
        case EBUSY:
        case ETXTBSY:
            return ERROR_ACCESS_DENIED;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return ERROR_DISK_FULL;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case EXDEV:
            return ERROR_NOT_SAME_DEVICE;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case ENOTDIR:
            return ERROR_DIRECTORY;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case EILSEQ:
            return ERROR_INVALID_NAME;
        case ENOSYS:
        case EOPNOTSUPP:
            return ERROR_NOT_SUPPORTED;
        default:
            return ERROR_GEN_FAILURE;
    }
}

DWORD SetLastErrorFromErrno(int error, const std::string& hostPath) {
    const DWORD code = ErrorFromErrno(error, hostPath);
    SetLastError(code);
    return code;
}

void WarnUnsupported(const char* what) {
    static std::mutex lock;
    static std::set<std::string> said;
    std::lock_guard<std::mutex> hold(lock);
    if (said.insert(what).second) {
        std::fprintf(stderr, "winapi: not supported: %s\n", what);
    }
}

}  // namespace winapi::backend
