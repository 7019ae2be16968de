// kernel32 structured exceptions: SehGuard (seh.h), the stand-in for __try / __except,
// and UnhandledExceptionFilter, over signal handlers for SIGSEGV, SIGBUS, SIGFPE and
// SIGILL that run on an alternate signal stack.
// Supports: faults on a thread inside a guard: the handler builds the EXCEPTION_RECORD
// from the signal (code, instruction address, and for access violations, stack overflows
// and in-page errors the read/write/execute flag and the address), jumps back into the
// innermost guard's frame, and the guard calls its filter there, on the faulting thread,
// with the stack the guard had; then the process ends with exit code 0 whatever the
// filter answers. Running the filter below the guard rather than on the fault's stack is
// what lets it write files and show a message box even after a stack overflow.
// A fault outside any guard, inside a running filter, or a fault signal sent by another
// process puts the handler that was there before back (the default action, in a build
// without sanitizers) and lets the signal take its course. A fault on a second guarded
// thread while a filter runs waits there for the process to end.
// Does not support: resuming after a fault (EXCEPTION_CONTINUE_EXECUTION), handing the
// exception to an outer guard (EXCEPTION_CONTINUE_SEARCH), the CONTEXT (always null),
// exceptions raised by software (RaiseException).
#include <pthread.h>
#include <seh.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/asan_interface.h>
#endif

#include "kernel32/guards.h"

namespace {

struct Guard {
    SEH_FILTER filter;
    DWORD id;
    Guard* outer;
    sigjmp_buf landing;
};

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
struct sigaction previousActions[std::size(kSignals)];

// What the signal handler reads lives in static TLS: reading it there is safe.
[[gnu::tls_model("initial-exec")]] thread_local Guard* innermost = nullptr;
[[gnu::tls_model("initial-exec")]] thread_local bool inFilter = false;
[[gnu::tls_model("initial-exec")]] thread_local uintptr_t stackLimit = 0;
// The fault being handled, handed from the signal handler to the guard's frame.
[[gnu::tls_model("initial-exec")]] thread_local EXCEPTION_RECORD caughtRecord;
[[gnu::tls_model("initial-exec")]] thread_local SEH_FILTER caughtFilter = nullptr;
[[gnu::tls_model("initial-exec")]] thread_local DWORD caughtId = 0;

uintptr_t pageSize = 4096;  // set before the first handler is installed

// The thread whose filter runs; 0 while none does.
std::atomic<long> filteringThread{0};

constexpr size_t kAltStackSize = 64 * 1024;
// Below this, an alternate stack someone else installed is replaced by our own.
constexpr size_t kEnoughAltStack = 16 * 1024;
// How far below the lowest usable stack address a stack overflow can touch: the guard
// page of a thread, or the gap the kernel keeps below the main thread's stack.
constexpr uintptr_t kBelowStackLimit = 1024 * 1024;

// The handler of a fault that no guard takes: whatever was installed before ours.
void PassOn(int signal, const siginfo_t* info) {
    for (size_t i = 0; i < std::size(kSignals); ++i) {
        if (kSignals[i] == signal) sigaction(signal, &previousActions[i], nullptr);
    }
    // A real fault happens again when the handler returns; a sent signal has to be sent
    // again (it stays pending until the handler returns).
    if (info->si_code <= 0) raise(signal);
}

bool NearStackLimit(uintptr_t address) {
    return stackLimit != 0 && address < stackLimit + pageSize &&
           address + kBelowStackLimit >= stackLimit;
}

void FillRecord(EXCEPTION_RECORD& record, int signal, const siginfo_t* info, void* context) {
    std::memset(&record, 0, sizeof record);
    const auto* machine = static_cast<const ucontext_t*>(context);
    ULONG_PTR access = 0;  // 0 read, 1 write, 8 execute, as Windows reports them
#if defined(__x86_64__)
    record.ExceptionAddress = reinterpret_cast<PVOID>(machine->uc_mcontext.gregs[REG_RIP]);
    // The page fault error code: bit 1 a write, bit 4 an instruction fetch.
    const auto error = static_cast<uint64_t>(machine->uc_mcontext.gregs[REG_ERR]);
    access = (error & 0x10) ? 8 : (error & 0x2) ? 1 : 0;
#elif defined(__aarch64__)
    record.ExceptionAddress = reinterpret_cast<PVOID>(machine->uc_mcontext.pc);
#else
    (void)machine;
    record.ExceptionAddress = info->si_addr;
#endif
    const auto address = reinterpret_cast<uintptr_t>(info->si_addr);
    switch (signal) {
        case SIGSEGV:
        case SIGBUS:
            record.ExceptionCode = signal == SIGBUS          ? EXCEPTION_IN_PAGE_ERROR
                                   : NearStackLimit(address) ? EXCEPTION_STACK_OVERFLOW
                                                             : EXCEPTION_ACCESS_VIOLATION;
            record.NumberParameters = 2;
            record.ExceptionInformation[0] = access;
            record.ExceptionInformation[1] = address;
            break;
        case SIGFPE:
            record.ExceptionCode = info->si_code == FPE_INTDIV   ? EXCEPTION_INT_DIVIDE_BY_ZERO
                                   : info->si_code == FPE_INTOVF ? EXCEPTION_INT_OVERFLOW
                                   : info->si_code == FPE_FLTDIV ? EXCEPTION_FLT_DIVIDE_BY_ZERO
                                                                 : EXCEPTION_FLT_INVALID_OPERATION;
            break;
        default:
            record.ExceptionCode = EXCEPTION_ILLEGAL_INSTRUCTION;
            break;
    }
}

void OnFault(int signal, siginfo_t* info, void* context) {
    Guard* guard = innermost;
    // si_code <= 0: sent with kill() or raise(), not a fault of this thread.
    if (guard == nullptr || inFilter || info->si_code <= 0) {
        PassOn(signal, info);
        return;
    }
    const long self = syscall(SYS_gettid);
    long none = 0;
    if (!filteringThread.compare_exchange_strong(none, self)) {
        // Another thread's filter is reporting; the process ends when it is done.
        for (;;) pause();
    }
    FillRecord(caughtRecord, signal, info, context);
    caughtFilter = guard->filter;
    caughtId = guard->id;
    inFilter = true;
    innermost = guard->outer;
    siglongjmp(guard->landing, 1);
}

void InstallHandlers() {
    static const bool installed = [] {
        pageSize = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = OnFault;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < std::size(kSignals); ++i) {
            sigaction(kSignals[i], &action, &previousActions[i]);
        }
        return true;
    }();
    (void)installed;
}

// The calling thread's alternate signal stack, kept for the thread's life: a stack
// overflow leaves no room on the thread's own stack for the handler.
struct AltStack {
    void* memory = nullptr;
    ~AltStack() {
        if (memory == nullptr) return;
        stack_t current{};
        if (sigaltstack(nullptr, &current) == 0 && current.ss_sp == memory) {
            stack_t off{};
            off.ss_flags = SS_DISABLE;
            sigaltstack(&off, nullptr);
        }
        munmap(memory, kAltStackSize);
    }
};

void PrepareThread() {
    thread_local AltStack altStack;
    thread_local bool prepared = false;
    if (prepared) return;
    prepared = true;
    stack_t current{};
    const bool haveOne = sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) &&
                         current.ss_size >= kEnoughAltStack;
    if (!haveOne) {
        void* memory = mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
        if (memory != MAP_FAILED) {
            stack_t stack{};
            stack.ss_sp = memory;
            stack.ss_size = kAltStackSize;
            if (sigaltstack(&stack, nullptr) == 0) {
                altStack.memory = memory;
            } else {
                munmap(memory, kAltStackSize);
            }
        }
    }
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
        void* low = nullptr;
        size_t size = 0;
        if (pthread_attr_getstack(&attributes, &low, &size) == 0) {
            stackLimit = reinterpret_cast<uintptr_t>(low);
        }
        pthread_attr_destroy(&attributes);
    }
}

// Back in the guard's frame after a fault: the filter runs here, then the process ends.
[[noreturn]] void RunFilter() {
#ifdef __SANITIZE_ADDRESS__
    // The frames between here and the fault are gone; their poisoned red zones would be
    // taken for overflows by the filter's own frames.
    char here;
    if (stackLimit != 0 && reinterpret_cast<uintptr_t>(&here) > stackLimit) {
        __asan_unpoison_memory_region(reinterpret_cast<void*>(stackLimit),
                                      reinterpret_cast<uintptr_t>(&here) - stackLimit);
    }
#endif
    EXCEPTION_POINTERS pointers{&caughtRecord, nullptr};
    caughtFilter(&pointers, caughtId);
    _exit(0);
}

// Takes the guard off the thread's list when the body returns, throws or its thread ends
// with ExitThread.
struct Unlink {
    Guard* guard;
    ~Unlink() { innermost = guard->outer; }
};

const char* Describe(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION:
            return "access violation";
        case EXCEPTION_IN_PAGE_ERROR:
            return "in-page error";
        case EXCEPTION_ILLEGAL_INSTRUCTION:
            return "illegal instruction";
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
            return "integer division by zero";
        case EXCEPTION_INT_OVERFLOW:
            return "integer overflow";
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
            return "floating-point division by zero";
        case EXCEPTION_FLT_INVALID_OPERATION:
            return "invalid floating-point operation";
        case EXCEPTION_STACK_OVERFLOW:
            return "stack overflow";
        case EXCEPTION_BREAKPOINT:
            return "breakpoint";
        default:
            return "exception";
    }
}

}  // namespace

void winapi::kernel32::LeaveAllGuards() { innermost = nullptr; }

DWORD SehGuard(DWORD (*body)(void* argument), void* argument, SEH_FILTER filter, DWORD id) {
    InstallHandlers();
    PrepareThread();
    Guard guard{filter, id, innermost, {}};
    if (sigsetjmp(guard.landing, 1) != 0) RunFilter();
    innermost = &guard;
    Unlink unlink{&guard};
    return body(argument);
}

LONG UnhandledExceptionFilter(EXCEPTION_POINTERS* pointers) {
    char line[200];
    int length;
    const EXCEPTION_RECORD* record = pointers != nullptr ? pointers->ExceptionRecord : nullptr;
    if (record == nullptr) {
        length = std::snprintf(line, sizeof line, "Unhandled exception (no record)\n");
    } else if (record->NumberParameters >= 2 &&
               (record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION ||
                record->ExceptionCode == EXCEPTION_STACK_OVERFLOW ||
                record->ExceptionCode == EXCEPTION_IN_PAGE_ERROR)) {
        const ULONG_PTR access = record->ExceptionInformation[0];
        length = std::snprintf(
            line, sizeof line, "Unhandled exception 0x%08X (%s) at %p: %s address %p\n",
            record->ExceptionCode, Describe(record->ExceptionCode), record->ExceptionAddress,
            access == 1   ? "writing"
            : access == 8 ? "executing"
                          : "reading",
            reinterpret_cast<void*>(record->ExceptionInformation[1]));
    } else {
        length = std::snprintf(line, sizeof line, "Unhandled exception 0x%08X (%s) at %p\n",
                               record->ExceptionCode, Describe(record->ExceptionCode),
                               record->ExceptionAddress);
    }
    // write(2), not stdio: the fault may have struck while stdio held its lock.
    if (length > 0) {
        (void)!write(STDERR_FILENO, line,
                     std::min<size_t>(static_cast<size_t>(length), sizeof line - 1));
    }
    return EXCEPTION_EXECUTE_HANDLER;
}
