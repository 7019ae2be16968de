// kernel32 threads and time: Sleep, GetCurrentThreadId, CreateThread, ExitThread,
// WaitForSingleObject and GetExitCodeThread, over POSIX threads.
// Supports: CreateThread with default security, any stack size (0: the default; at least
// PTHREAD_STACK_MIN) and flags 0; the new thread's id is in *threadId when CreateThread
// returns. ExitThread on a thread made by CreateThread ends it with that exit code: it
// jumps back to where the thread began, skipping the frames in between as Windows does
// (no destructors run), and the thread returns from there. Unwinding with pthread_exit
// is no choice: glibc unwinds with the shared libgcc, which cannot walk frames whose
// personality routine belongs to the statically linked C++ runtime of our executables.
// WaitForSingleObject on a thread handle, with INFINITE or a timeout in milliseconds; any number of
// threads may wait on the same handle. Thread ids are the kernel's thread ids (never 0), stable for
// a thread's life. Does not support: security attributes, creation flags (CREATE_SUSPENDED),
// waiting on a mutex handle: those answer a failure with ERROR_NOT_SUPPORTED and say so once on
// stderr. ExitThread on a thread the layer did not start says so on stderr and ends the thread with
// pthread_exit (which may abort the process, see above).
#include <pthread.h>
#include <setjmp.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "backend/syserror.h"
#include "kernel32/guards.h"
#include "kernel32/handles.h"

namespace {

using winapi::kernel32::KernelObject;
using winapi::kernel32::ObjectKind;

// The cached id of the calling thread; a forked child's only thread gets its own id.
thread_local DWORD cachedThreadId = 0;
void ForgetThreadIdAfterFork() { cachedThreadId = 0; }
const int forkHook = pthread_atfork(nullptr, nullptr, ForgetThreadIdAfterFork);

// A thread made by CreateThread. The handle and the running thread both hold it; the
// pthread is joined by the first wait that sees it finished, or detached when the handle
// is closed first, so its resources are freed either way.
class ThreadObject final : public KernelObject {
public:
    ThreadObject(LPTHREAD_START_ROUTINE start, LPVOID parameter)
        : KernelObject(ObjectKind::Thread), start_(start), parameter_(parameter) {}

    void Closed() override {
        std::lock_guard<std::mutex> hold(lock_);
        if (!joined_) pthread_detach(thread_);
        detached_ = true;
    }

    static void* Run(void* self);

    // Waits until the thread has ended or the time is up (INFINITE: no limit).
    bool WaitEnd(DWORD milliseconds);
    DWORD ExitCode() {
        std::lock_guard<std::mutex> hold(lock_);
        return finished_ ? exitCode_ : STILL_ACTIVE;
    }

    pthread_t thread_{};
    DWORD id_ = 0;
    std::mutex lock_;
    std::condition_variable changed_;
    bool started_ = false;

private:
    friend struct Finisher;
    LPTHREAD_START_ROUTINE start_;
    LPVOID parameter_;
    bool finished_ = false;
    DWORD exitCode_ = STILL_ACTIVE;
    bool joined_ = false;
    bool detached_ = false;
};

// Records the exit code and wakes the waiters when the thread's function has returned or
// ExitThread has left it.
struct Finisher {
    std::shared_ptr<ThreadObject> thread;
    DWORD exitCode = 0;
    ~Finisher() {
        std::lock_guard<std::mutex> hold(thread->lock_);
        thread->exitCode_ = exitCode;
        thread->finished_ = true;
        thread->changed_.notify_all();
    }
};

// The running CreateThread thread's finisher and the place in Run that ExitThread jumps
// back to.
thread_local Finisher* currentFinisher = nullptr;
thread_local jmp_buf* exitLanding = nullptr;

void* ThreadObject::Run(void* self) {
    std::unique_ptr<std::shared_ptr<ThreadObject>> owner(
        static_cast<std::shared_ptr<ThreadObject>*>(self));
    Finisher finisher{std::move(*owner), 0};
    owner.reset();
    ThreadObject& thread = *finisher.thread;
    {
        std::lock_guard<std::mutex> hold(thread.lock_);
        thread.id_ = GetCurrentThreadId();
        thread.started_ = true;
        thread.changed_.notify_all();
    }
    jmp_buf landing;
    if (setjmp(landing) == 0) {
        currentFinisher = &finisher;
        exitLanding = &landing;
        finisher.exitCode = thread.start_(thread.parameter_);
    }
    currentFinisher = nullptr;
    exitLanding = nullptr;
    return nullptr;
}

bool ThreadObject::WaitEnd(DWORD milliseconds) {
    std::unique_lock<std::mutex> hold(lock_);
    if (milliseconds == INFINITE) {
        changed_.wait(hold, [this] { return finished_; });
    } else if (!changed_.wait_for(hold, std::chrono::milliseconds(milliseconds),
                                  [this] { return finished_; })) {
        return false;
    }
    // The function has returned; joining waits for the little that is left (thread-local
    // destructors), so a thread that was waited for is gone.
    if (!joined_ && !detached_) {
        pthread_join(thread_, nullptr);
        joined_ = true;
    }
    return true;
}

std::shared_ptr<ThreadObject> FindThread(HANDLE handle) {
    return std::static_pointer_cast<ThreadObject>(
        winapi::kernel32::FindHandle(handle, ObjectKind::Thread));
}

}  // namespace

void Sleep(DWORD milliseconds) {
    timespec wait{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

DWORD GetCurrentThreadId() {
    if (cachedThreadId == 0) cachedThreadId = static_cast<DWORD>(syscall(SYS_gettid));
    return cachedThreadId;
}

HANDLE CreateThread(LPVOID security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, DWORD* threadId) {
    (void)forkHook;
    if (security != nullptr || flags != 0) {
        winapi::backend::WarnUnsupported("CreateThread: security attributes or creation flags");
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (start == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (stackSize != 0) {
        const SIZE_T page = static_cast<SIZE_T>(sysconf(_SC_PAGESIZE));
        const SIZE_T size = std::max<SIZE_T>(stackSize, PTHREAD_STACK_MIN);
        pthread_attr_setstacksize(&attributes, (size + page - 1) / page * page);
    }
    auto thread = std::make_shared<ThreadObject>(start, parameter);
    auto* handOver = new std::shared_ptr<ThreadObject>(thread);
    const int error = pthread_create(&thread->thread_, &attributes, ThreadObject::Run, handOver);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        delete handOver;
        SetLastError(error == EAGAIN ? ERROR_NOT_ENOUGH_MEMORY
                                     : winapi::backend::ErrorFromErrno(error));
        return nullptr;
    }
    DWORD id;
    {
        std::unique_lock<std::mutex> hold(thread->lock_);
        thread->changed_.wait(hold, [&] { return thread->started_; });
        id = thread->id_;
    }
    if (threadId != nullptr) *threadId = id;
    return winapi::kernel32::AddHandle(std::move(thread));
}

void ExitThread(DWORD exitCode) {
    if (exitLanding != nullptr) {
        currentFinisher->exitCode = exitCode;
        winapi::kernel32::LeaveAllGuards();
        longjmp(*exitLanding, 1);
    }
    winapi::backend::WarnUnsupported("ExitThread on a thread that CreateThread did not start");
    pthread_exit(nullptr);
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    const std::shared_ptr<KernelObject> object = winapi::kernel32::FindHandle(handle);
    if (object == nullptr) return WAIT_FAILED;
    if (object->Kind() != ObjectKind::Thread) {
        winapi::backend::WarnUnsupported("WaitForSingleObject on anything but a thread");
        SetLastError(ERROR_NOT_SUPPORTED);
        return WAIT_FAILED;
    }
    return static_cast<ThreadObject&>(*object).WaitEnd(milliseconds) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL GetExitCodeThread(HANDLE handle, DWORD* exitCode) {
    const std::shared_ptr<ThreadObject> thread = FindThread(handle);
    if (thread == nullptr) return FALSE;
    if (exitCode == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *exitCode = thread->ExitCode();
    return TRUE;
}
