// hostfile.h over POSIX: lstat (or stat), open with O_NONBLOCK and poll for FIFOs, mmap
// for views, O_TMPFILE and linkat through /proc/self/fd, renameat2 with RENAME_NOREPLACE
// (link and unlink where the file system lacks it), and signal handlers that remove a
// named temporary file.
#include <errno.h>
#include <fcntl.h>
#include <hostfile.h>
#include <hostpath.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>

namespace hostfile {

namespace {

std::atomic<bool> unnamedAllowed{true};

// The named temporary file the signal handlers remove; one output is written at a time.
char pendingTemporary[PATH_MAX + 64];
volatile sig_atomic_t pendingSet = 0;

// Ends the process as the signal would, without the named temporary file. SIGBUS comes
// from a view of a file cut short while it was seen, which is said first.
void RemovePending(int signal) {
    if (signal == SIGBUS) {
        static const char text[] = "input file cut short while it was being read\n";
        [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, text, sizeof text - 1);
    }
    if (pendingSet) unlink(pendingTemporary);
    ::signal(signal, SIG_DFL);
    raise(signal);
}

void InstallHandlers() {
    static bool installed = false;
    if (installed) return;
    struct sigaction action {};
    action.sa_handler = RemovePending;
    sigemptyset(&action.sa_mask);
    for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGBUS}) sigaction(s, &action, nullptr);
    installed = true;
}

void SetPending(const std::string& hostPath) {
    InstallHandlers();
    pendingSet = 0;
    std::snprintf(pendingTemporary, sizeof pendingTemporary, "%s", hostPath.c_str());
    pendingSet = 1;
}

std::string FolderOf(const std::string& hostPath) {
    const size_t slash = hostPath.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : hostPath.substr(0, slash);
}

int SyncFolder(const std::string& hostPath) {
    const int fd = open(FolderOf(hostPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    close(fd);
    return error;
}

// Renames without replacing: renameat2 where the file system has it, else a hard link
// (which never replaces) and the removal of the old name.
int RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    if (link(from.c_str(), to.c_str()) != 0) return errno;
    unlink(from.c_str());
    return 0;
}

// A name for a temporary file beside hostPath that nothing else uses yet.
std::string TemporaryName(const std::string& hostPath, unsigned attempt) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, "/.se-retimer-%d-%lx-%u.tmp", static_cast<int>(getpid()),
                  static_cast<unsigned long>(now.tv_nsec), attempt);
    return FolderOf(hostPath) + suffix;
}

}  // namespace

int KindAt(const char* path, EKind& kind, bool followLinks) {
    struct stat info;
    kind = EKind::Missing;
    const std::string hostPath = ProgramToHostPath(path);
    if ((followLinks ? stat(hostPath.c_str(), &info) : lstat(hostPath.c_str(), &info)) != 0) {
        return errno == ENOENT ? 0 : errno;
    }
    if (S_ISREG(info.st_mode)) {
        kind = EKind::Regular;
    } else if (S_ISLNK(info.st_mode)) {
        kind = EKind::Link;
    } else if (S_ISDIR(info.st_mode)) {
        kind = EKind::Folder;
    } else if (S_ISFIFO(info.st_mode)) {
        kind = EKind::Fifo;
    } else if (S_ISSOCK(info.st_mode)) {
        kind = EKind::Socket;
    } else {
        kind = EKind::Device;
    }
    return 0;
}

const char* KindName(EKind kind) {
    switch (kind) {
        case EKind::Missing:
            return "missing";
        case EKind::Regular:
            return "a file";
        case EKind::Link:
            return "a symbolic link";
        case EKind::Folder:
            return "a folder";
        case EKind::Fifo:
            return "a FIFO";
        case EKind::Socket:
            return "a socket";
        case EKind::Device:
            return "a device";
    }
    return "?";
}

int OpenInput(const char* path, int waitMs, void (*waiting)(void*), void* context, FILE*& file) {
    file = nullptr;
    const int fd = open(ProgramToHostPath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
        close(fd);
        return error;
    }
    if (S_ISFIFO(info.st_mode)) {
        // A FIFO nobody has opened for writing reads as empty at once; poll waits for a
        // writer's first bytes or its close.
        pollfd ready{fd, POLLIN, 0};
        int got = poll(&ready, 1, 0);
        if (got == 0) {
            if (waiting != nullptr) waiting(context);
            got = poll(&ready, 1, waitMs);
        }
        if (got <= 0) {
            const int error = got == 0 ? ETIMEDOUT : errno;
            close(fd);
            return error;
        }
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file = fdopen(fd, "rb");
    if (file == nullptr) {
        const int error = errno;
        close(fd);
        return error;
    }
    return 0;
}

bool IsSeekable(FILE* file) { return file != nullptr && lseek(fileno(file), 0, SEEK_CUR) >= 0; }

int MapView(FILE* file, unsigned long long offset, size_t length, CView& view) {
    UnmapView(view);
    if (length == 0) return 0;
    InstallHandlers();
    const unsigned long long page = static_cast<unsigned long long>(sysconf(_SC_PAGESIZE));
    const unsigned long long start = offset / page * page;
    const size_t mapped = static_cast<size_t>(offset - start) + length;
    // MAP_POPULATE maps every page now, in one call, rather than one fault at a time.
    void* mapping = mmap(nullptr, mapped, PROT_READ, MAP_SHARED | MAP_POPULATE, fileno(file),
                         static_cast<off_t>(start));
    if (mapping == MAP_FAILED) return errno;
    view.mapping = mapping;
    view.mapped = mapped;
    view.offset = offset;
    view.length = length;
    view.data = static_cast<const unsigned char*>(mapping) + (offset - start);
    return 0;
}

void UnmapView(CView& view) {
    if (view.mapping != nullptr) munmap(view.mapping, view.mapped);
    view = CView{};
}

int CreateOutput(const char* path, COutput& output) {
    output = COutput{};
    const std::string target = ProgramToHostPath(path);
    int fd = -1;
    if (unnamedAllowed) {
        fd = open(FolderOf(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
    }
    if (fd < 0) {
        for (unsigned attempt = 0; fd < 0; ++attempt) {
            output.temporary = TemporaryName(target, attempt);
            fd = open(output.temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && (errno != EEXIST || attempt > 100)) return errno;
        }
        SetPending(output.temporary);
    }
    output.file = fdopen(fd, "wb");
    if (output.file == nullptr) {
        const int error = errno;
        close(fd);
        if (!output.temporary.empty()) unlink(output.temporary.c_str());
        pendingSet = 0;
        return error;
    }
    return 0;
}

int PublishOutput(COutput& output, const char* path, bool replace, bool sync) {
    const std::string target = ProgramToHostPath(path);
    int error = std::fflush(output.file) == 0 ? 0 : errno;
    const int fd = fileno(output.file);
    struct stat existing;
    const bool exists = lstat(target.c_str(), &existing) == 0;
    if (error == 0 && exists) {
        if (!replace) {
            error = EEXIST;
        } else if (S_ISDIR(existing.st_mode)) {
            error = EISDIR;
        } else if (!S_ISREG(existing.st_mode) && !S_ISLNK(existing.st_mode)) {
            error = EEXIST;
        } else if (S_ISREG(existing.st_mode)) {
            fchmod(fd, existing.st_mode & 07777);
        }
    }
    if (error == 0 && sync && fsync(fd) != 0) error = errno;
    if (error == 0) {
        // SIGINT, SIGTERM and SIGHUP wait while the name is given, so the output is either
        // in place or gone, never under a second name.
        sigset_t blocked, previous;
        sigemptyset(&blocked);
        for (const int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&blocked, s);
        sigprocmask(SIG_BLOCK, &blocked, &previous);
        if (output.temporary.empty()) {
            char self[64];
            std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
            if (!replace) {
                if (linkat(AT_FDCWD, self, AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) != 0) {
                    error = errno;
                }
            } else {
                // Linking never replaces: link under a temporary name, then rename over.
                for (unsigned attempt = 0;; ++attempt) {
                    output.temporary = TemporaryName(target, attempt);
                    if (linkat(AT_FDCWD, self, AT_FDCWD, output.temporary.c_str(),
                               AT_SYMLINK_FOLLOW) == 0) {
                        break;
                    }
                    if (errno != EEXIST || attempt > 100) {
                        error = errno;
                        output.temporary.clear();
                        break;
                    }
                }
            }
        }
        if (error == 0 && !output.temporary.empty()) {
            error = replace ? (rename(output.temporary.c_str(), target.c_str()) == 0 ? 0 : errno)
                            : RenameNoReplace(output.temporary, target);
            if (error != 0) unlink(output.temporary.c_str());
        }
        pendingSet = 0;
        sigprocmask(SIG_SETMASK, &previous, nullptr);
    }
    if (error == 0 && sync) error = SyncFolder(target);
    if (std::fclose(output.file) != 0 && error == 0) error = errno;
    if (error != 0 && !output.temporary.empty()) unlink(output.temporary.c_str());
    pendingSet = 0;
    output = COutput{};
    return error;
}

void DiscardOutput(COutput& output) {
    if (output.file != nullptr) std::fclose(output.file);
    if (!output.temporary.empty()) unlink(output.temporary.c_str());
    pendingSet = 0;
    output = COutput{};
}

void SetUnnamedOutputs(bool allowed) { unnamedAllowed = allowed; }

std::string Reason(int error) { return std::strerror(error); }

}  // namespace hostfile
