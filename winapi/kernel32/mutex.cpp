// kernel32 named mutexes: CreateMutexA and ReleaseMutex, over advisory lock files.
// A name is one lock file of this user and this display (a session's own names, as
// Windows keeps Local\ names per session: backend/display_key.h), in $XDG_RUNTIME_DIR
// (or /tmp, with the user id in the file's name, when that is unset), held with
// flock(LOCK_EX | LOCK_NB). The kernel drops the lock when its holder releases it,
// closes the handle or ends in any way, a SIGKILL included. The files stay: removing a
// lock file races with the next opener.
// Supports: default security, initialOwner TRUE, any non-empty code page 932 name (its
// bytes become a safe file name). A name held elsewhere (another process, or another
// handle of this one) answers a handle that does not own it, with ERROR_ALREADY_EXISTS;
// a free one answers an owning handle with ERROR_SUCCESS. ReleaseMutex on a handle that
// does not own its name answers ERROR_NOT_OWNER.
// Does not support: security attributes, initialOwner FALSE, unnamed mutexes (those answer
// ERROR_NOT_SUPPORTED, said once on stderr), waiting on a mutex. Ownership belongs to the
// handle, not to a thread; a forked child shares its parent's lock until both let go.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "backend/display_key.h"
#include "backend/syserror.h"
#include "kernel32/handles.h"

namespace {

using winapi::kernel32::KernelObject;
using winapi::kernel32::ObjectKind;

class MutexObject final : public KernelObject {
public:
    MutexObject(int fd, bool owned) : KernelObject(ObjectKind::Mutex), fd_(fd), owned_(owned) {}
    ~MutexObject() override { Closed(); }

    void Closed() override {
        std::lock_guard<std::mutex> hold(lock_);
        if (fd_ >= 0) close(fd_);  // closing the only descriptor drops the lock
        fd_ = -1;
        owned_ = false;
    }

    bool Release() {
        std::lock_guard<std::mutex> hold(lock_);
        if (!owned_ || fd_ < 0) return false;
        flock(fd_, LOCK_UN);
        owned_ = false;
        return true;
    }

private:
    std::mutex lock_;
    int fd_;
    bool owned_;
};

// The lock file's name: a readable prefix of the name (letters, digits, '-' and '_' kept,
// every other byte '_') and, after the last '.', the name's bytes in hex ("x...") or, for
// a name too long for that, a 64-bit FNV-1a hash and the length ("h...-<bytes>"). The
// prefix only helps a person; the part after the '.' tells names apart.
std::string LockFileName(const std::string& name) {
    std::string file;
    for (size_t i = 0; i < name.size() && i < 24; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '_';
        file += keep ? static_cast<char>(c) : '_';
    }
    char digits[40];
    if (name.size() <= 64) {
        file += ".x";
        for (const char c : name) {
            std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(c));
            file += digits;
        }
    } else {
        uint64_t hash = 0xcbf29ce484222325ull;
        for (const char c : name) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 0x100000001b3ull;
        }
        std::snprintf(digits, sizeof digits, ".h%016llx-%zu", static_cast<unsigned long long>(hash),
                      name.size());
        file += digits;
    }
    return file;
}

std::string LockFilePath(const std::string& name) {
    const std::string file = winapi::backend::DisplayKey() + "-" + LockFileName(name);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat folder;
    if (runtime != nullptr && runtime[0] == '/' && stat(runtime, &folder) == 0 &&
        S_ISDIR(folder.st_mode)) {
        return std::string(runtime) + "/se-mutex-" + file;
    }
    // /tmp is shared by every user: the user id keeps the names of two users apart.
    return "/tmp/se-mutex-" + std::to_string(getuid()) + "-" + file;
}

}  // namespace

HANDLE CreateMutexA(LPVOID security, BOOL initialOwner, LPCSTR name) {
    if (security != nullptr || !initialOwner || name == nullptr || name[0] == '\0') {
        winapi::backend::WarnUnsupported(
            "CreateMutexA: only a named mutex with default security, owned at once");
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    const std::string path = LockFilePath(name);
    const int fd = open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        winapi::backend::SetLastErrorFromErrno(errno, path);
        return nullptr;
    }
    // A file another user left in /tmp under our name would let that user hold the name.
    struct stat info;
    if (fstat(fd, &info) != 0 || info.st_uid != geteuid() || !S_ISREG(info.st_mode)) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    int result;
    while ((result = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    const int error = result == 0 ? 0 : errno;
    if (result != 0 && error != EWOULDBLOCK) {
        close(fd);
        winapi::backend::SetLastErrorFromErrno(error, path);
        return nullptr;
    }
    const bool owned = result == 0;
    const HANDLE handle = winapi::kernel32::AddHandle(std::make_shared<MutexObject>(fd, owned));
    SetLastError(owned ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS);
    return handle;
}

BOOL ReleaseMutex(HANDLE handle) {
    const std::shared_ptr<KernelObject> object =
        winapi::kernel32::FindHandle(handle, ObjectKind::Mutex);
    if (object == nullptr) return FALSE;
    if (!static_cast<MutexObject&>(*object).Release()) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    return TRUE;
}
