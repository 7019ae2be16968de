// kernel32 threads and time: Sleep and GetCurrentThreadId over POSIX.
// Supports: both calls as the program uses them. Thread ids are small per-process
// numbers (never 0), stable for a thread's life.
#include <windows.h>

#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

void Sleep(DWORD milliseconds) {
    timespec wait{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

DWORD GetCurrentThreadId() {
    thread_local const DWORD id = static_cast<DWORD>(syscall(SYS_gettid));
    return id;
}
