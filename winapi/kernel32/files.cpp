// kernel32 files and folders: GetFileAttributesA, MoveFileExA, DeleteFileA,
// CreateDirectoryA, GetTempFileNameA, over POSIX calls on the converted UTF-8 paths.
// Supports: code page 932 paths (hostpath.h); MoveFileExA with MOVEFILE_REPLACE_EXISTING
// (an atomic rename(2); a replaced regular file passes its permission bits on to the file
// that replaces it, so saving over a file keeps its mode) and MOVEFILE_WRITE_THROUGH (the
// file is synced before the rename, the folders after); GetTempFileNameA with unique 0.
// Attributes: FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_READONLY (a file nobody may write,
// or that this process may not write), else FILE_ATTRIBUTE_NORMAL.
// Does not support: other MoveFileExA flags (copying across devices, delayed moves),
// security attributes for CreateDirectoryA, a given unique number for GetTempFileNameA:
// those answer ERROR_NOT_SUPPORTED and say so once on stderr. Every failure sets the last
// error from errno (backend/syserror.h).
#include <fcntl.h>
#include <hostpath.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "backend/cp932.h"
#include "backend/syserror.h"

namespace {

using winapi::backend::SetLastErrorFromErrno;

BOOL Fail(int error, const std::string& hostPath = {}) {
    SetLastErrorFromErrno(error, hostPath);
    return FALSE;
}

BOOL FailWith(DWORD code) {
    SetLastError(code);
    return FALSE;
}

std::string FolderOf(const std::string& hostPath) {
    const std::string::size_type slash = hostPath.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : hostPath.substr(0, slash);
}

// fsync of a file or folder; folders that cannot be synced (EINVAL) count as done.
int Sync(const std::string& hostPath) {
    const int fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    int error = fsync(fd) == 0 ? 0 : errno;
    close(fd);
    if (error == EINVAL) error = 0;
    return error;
}

// rename(2) that never replaces: renameat2 where the file system offers it, otherwise a
// check before the rename (which leaves a short window for a racing creator).
int RenameNoReplace(const std::string& source, const std::string& target) {
    if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
    struct stat info;
    if (lstat(target.c_str(), &info) == 0) return EEXIST;
    return rename(source.c_str(), target.c_str()) == 0 ? 0 : errno;
}

}  // namespace

DWORD GetFileAttributesA(LPCSTR path) {
    if (path == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    const std::string hostPath = ProgramToHostPath(path);
    struct stat info;
    if (stat(hostPath.c_str(), &info) != 0) {
        Fail(errno, hostPath);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISDIR(info.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    if ((info.st_mode & 0222) == 0) return FILE_ATTRIBUTE_READONLY;
    if (access(hostPath.c_str(), W_OK) != 0 &&
        (errno == EACCES || errno == EPERM || errno == EROFS)) {
        return FILE_ATTRIBUTE_READONLY;
    }
    return FILE_ATTRIBUTE_NORMAL;
}

BOOL MoveFileExA(LPCSTR existingPath, LPCSTR newPath, DWORD flags) {
    if (existingPath == nullptr || newPath == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
    if ((flags & ~(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) != 0) {
        winapi::backend::WarnUnsupported(
            "MoveFileExA flags other than MOVEFILE_REPLACE_EXISTING and MOVEFILE_WRITE_THROUGH");
        return FailWith(ERROR_NOT_SUPPORTED);
    }
    const std::string source = ProgramToHostPath(existingPath);
    const std::string target = ProgramToHostPath(newPath);
    struct stat sourceInfo;
    if (lstat(source.c_str(), &sourceInfo) != 0) return Fail(errno, source);
    struct stat targetInfo;
    const bool targetExists = lstat(target.c_str(), &targetInfo) == 0;
    const bool sameFile = targetExists && targetInfo.st_dev == sourceInfo.st_dev &&
                          targetInfo.st_ino == sourceInfo.st_ino;
    const bool replace = (flags & MOVEFILE_REPLACE_EXISTING) != 0;

    bool modeChanged = false;
    if (replace && targetExists && !sameFile) {
        // Windows never replaces a folder.
        if (S_ISDIR(targetInfo.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
        const mode_t keep = targetInfo.st_mode & 07777;
        if (S_ISREG(targetInfo.st_mode) && S_ISREG(sourceInfo.st_mode) &&
            (sourceInfo.st_mode & 07777) != keep) {
            if (chmod(source.c_str(), keep) != 0) return Fail(errno, source);
            modeChanged = true;
        }
    }
    if ((flags & MOVEFILE_WRITE_THROUGH) != 0) {
        if (const int error = Sync(source); error != 0) return Fail(error, source);
    }
    const int error = replace ? (rename(source.c_str(), target.c_str()) == 0 ? 0 : errno)
                              : RenameNoReplace(source, target);
    if (error != 0) {
        if (modeChanged) chmod(source.c_str(), sourceInfo.st_mode & 07777);
        // The source exists, so a missing name means the target's folder is missing.
        return error == ENOENT ? FailWith(ERROR_PATH_NOT_FOUND) : Fail(error, target);
    }
    if ((flags & MOVEFILE_WRITE_THROUGH) != 0) {
        const std::string targetFolder = FolderOf(target);
        const std::string sourceFolder = FolderOf(source);
        if (const int syncError = Sync(targetFolder); syncError != 0) {
            return Fail(syncError, targetFolder);
        }
        if (sourceFolder != targetFolder) {
            if (const int syncError = Sync(sourceFolder); syncError != 0) {
                return Fail(syncError, sourceFolder);
            }
        }
    }
    return TRUE;
}

BOOL DeleteFileA(LPCSTR path) {
    if (path == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
    const std::string hostPath = ProgramToHostPath(path);
    if (unlink(hostPath.c_str()) != 0) return Fail(errno, hostPath);
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, LPVOID securityAttributes) {
    if (path == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
    if (securityAttributes != nullptr) {
        winapi::backend::WarnUnsupported("CreateDirectoryA with security attributes");
        return FailWith(ERROR_NOT_SUPPORTED);
    }
    const std::string hostPath = ProgramToHostPath(path);
    if (mkdir(hostPath.c_str(), 0777) != 0) return Fail(errno, hostPath);
    return TRUE;
}

UINT GetTempFileNameA(LPCSTR folder, LPCSTR prefix, UINT unique, LPSTR tempPath) {
    if (folder == nullptr || prefix == nullptr || tempPath == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (unique != 0) {
        winapi::backend::WarnUnsupported("GetTempFileNameA with a given unique number");
        SetLastError(ERROR_NOT_SUPPORTED);
        return 0;
    }
    // "<folder>/<up to three characters of prefix>"; a double-byte character counts once.
    std::string base = folder;
    bool endsInSeparator = false;
    for (size_t i = 0; i < base.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(base[i]);
        endsInSeparator = c == '/' || c == '\\';
        if (winapi::backend::IsCp932LeadByte(c) && i + 1 < base.size()) ++i;
    }
    if (!base.empty() && !endsInSeparator) base += '/';
    size_t prefixLength = 0;
    for (int characters = 0; characters < 3 && prefix[prefixLength] != '\0'; ++characters) {
        const bool pair =
            winapi::backend::IsCp932LeadByte(static_cast<unsigned char>(prefix[prefixLength])) &&
            prefix[prefixLength + 1] != '\0';
        prefixLength += pair ? 2 : 1;
    }
    base.append(prefix, prefixLength);

    // Numbers start somewhere new in every process and move on by one per attempt.
    static std::atomic<unsigned> next{[] {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<unsigned>(now.tv_nsec) ^ (static_cast<unsigned>(getpid()) << 8);
    }()};
    for (unsigned attempt = 0; attempt < 0xFFFF; ++attempt) {
        unsigned number = next.fetch_add(1) & 0xFFFF;
        if (number == 0) number = next.fetch_add(1) & 0xFFFF;
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%X.tmp", number);
        const std::string path = base + suffix;
        if (path.size() + 1 > MAX_PATH) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return 0;
        }
        const std::string hostPath = ProgramToHostPath(path);
        const int fd = open(hostPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            Fail(errno, hostPath);
            return 0;
        }
        close(fd);
        std::memcpy(tempPath, path.c_str(), path.size() + 1);
        return number;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}
