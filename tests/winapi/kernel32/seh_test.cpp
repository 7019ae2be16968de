// The layer's structured exceptions: real faults inside guards, each in a forked child
// whose filter writes what it received into a pipe; the parent checks that and how the
// child ended. Faults on the main thread and on a CreateThread worker, the record for
// each kind of fault, a stack overflow, nesting, and the faults no guard may take.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <seh.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

// What a filter received, as it travels through the pipe.
struct Report {
    DWORD code;
    DWORD id;
    DWORD thread;
    DWORD parameters;
    ULONG_PTR information[2];
    uintptr_t address;
    bool noContext;
};

constexpr int kBodyReturned = 99;  // the child's exit code when no fault ended it
int reportPipe = -1;               // the child's end

LONG ReportingFilter(EXCEPTION_POINTERS* pointers, DWORD id) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    const Report report{record.ExceptionCode,
                        id,
                        GetCurrentThreadId(),
                        record.NumberParameters,
                        {record.ExceptionInformation[0], record.ExceptionInformation[1]},
                        reinterpret_cast<uintptr_t>(record.ExceptionAddress),
                        pointers->ContextRecord == nullptr};
    (void)!write(reportPipe, &report, sizeof report);
    return EXCEPTION_EXECUTE_HANDLER;
}

struct Child {
    int status = 0;
    std::string output;  // everything the child wrote into the pipe

    bool Reported() const { return output.size() == sizeof(Report); }
    Report Get() const {
        Report report{};
        if (Reported()) std::memcpy(&report, output.data(), sizeof report);
        return report;
    }
    bool ExitedWithZero() const { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }
    // Killed by the signal, as an unguarded fault kills a process. Under AddressSanitizer
    // its own handler, the one that was installed before ours, reports the fault and
    // exits with an error instead.
    bool DiedOf(int signal) const {
#ifdef __SANITIZE_ADDRESS__
        if (WIFEXITED(status)) {
            return WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != kBodyReturned;
        }
#endif
        return WIFSIGNALED(status) && WTERMSIG(status) == signal;
    }
};

Child RunInChild(void (*work)()) {
    int ends[2];
    Child child;
    if (pipe(ends) != 0) {
        ADD_FAILURE() << "no pipe";
        return child;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(ends[0]);
        reportPipe = ends[1];
        // Quiet: the report of a sanitizer that takes an unguarded fault is expected.
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDERR_FILENO);
        work();
        _exit(kBodyReturned);
    }
    close(ends[1]);
    char buffer[512];
    ssize_t n;
    while ((n = read(ends[0], buffer, sizeof buffer)) > 0) child.output.append(buffer, n);
    close(ends[0]);
    waitpid(pid, &child.status, 0);
    return child;
}

// The faults are made on purpose: the sanitizers must not see them first.
#define FAULTING __attribute__((noinline, no_sanitize("address", "undefined")))

FAULTING int ReadAt(uintptr_t address) { return *reinterpret_cast<volatile int*>(address); }
FAULTING void WriteAt(uintptr_t address) { *reinterpret_cast<volatile int*>(address) = 1; }
FAULTING int Divide(int dividend, int divisor) {
    volatile int d = divisor;
    return dividend / d;
}
FAULTING void Trap() { __builtin_trap(); }

// Whether address lies in the first bytes of function's code. The sanitizer build makes
// a function with a stack array several times longer (Recurse: 86 bytes plain, 745 with
// its redzones), and which of its instructions first touches the page past the stack's
// end depends on where the randomised stack top puts that page: anywhere in the body.
bool NearFunction(uintptr_t address, const void* function) {
    const auto start = reinterpret_cast<uintptr_t>(function);
    return address >= start && address < start + 2048;
}

// A page of a mapped file that has been cut to nothing: reading it is a bus error.
uintptr_t TruncatedMapping() {
    char name[] = "/tmp/se-seh-XXXXXX";
    const int fd = mkstemp(name);
    unlink(name);
    if (fd < 0 || ftruncate(fd, 0) != 0) return 0;
    void* page = mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0);
    return page == MAP_FAILED ? 0 : reinterpret_cast<uintptr_t>(page);
}

uintptr_t unexecutablePage = 0;

struct Fault {
    const char* what;
    DWORD (*body)(void*);
    const void* function;  // where the faulting instruction is
    DWORD code;
    DWORD parameters;
    ULONG_PTR access;
    uintptr_t address;
};

TEST(Seh, EachKindOfFaultReachesTheFilterWithItsRecord) {
    static uintptr_t bus = 0;
    const Fault faults[] = {
        {"read through null", [](void*) -> DWORD { return ReadAt(0); },
         reinterpret_cast<const void*>(&ReadAt), EXCEPTION_ACCESS_VIOLATION, 2, 0, 0},
        {"write to a member of null",
         [](void*) -> DWORD {
             WriteAt(0x10);
             return 0;
         },
         reinterpret_cast<const void*>(&WriteAt), EXCEPTION_ACCESS_VIOLATION, 2, 1, 0x10},
        {"integer division by zero", [](void*) -> DWORD { return Divide(1, 0); },
         reinterpret_cast<const void*>(&Divide), EXCEPTION_INT_DIVIDE_BY_ZERO, 0, 0, 0},
        {"trap instruction",
         [](void*) -> DWORD {
             Trap();
             return 0;
         },
         reinterpret_cast<const void*>(&Trap), EXCEPTION_ILLEGAL_INSTRUCTION, 0, 0, 0},
        {"read past the end of a mapped file", [](void*) -> DWORD { return ReadAt(bus); },
         reinterpret_cast<const void*>(&ReadAt), EXCEPTION_IN_PAGE_ERROR, 2, 0, 0},
        {"jump to memory that is not code",
         [](void*) -> DWORD { return reinterpret_cast<DWORD (*)()>(unexecutablePage)(); }, nullptr,
         EXCEPTION_ACCESS_VIOLATION, 2, 8, 0},
    };
    bus = TruncatedMapping();
    ASSERT_NE(bus, 0u);
    void* page = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(page, MAP_FAILED);
    unexecutablePage = reinterpret_cast<uintptr_t>(page);
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.what);
        static const Fault* current;
        current = &fault;
        const Child child =
            RunInChild([] { SehGuard(current->body, nullptr, ReportingFilter, 42); });
        EXPECT_TRUE(child.ExitedWithZero()) << child.status;
        ASSERT_TRUE(child.Reported());
        const Report report = child.Get();
        EXPECT_EQ(report.code, fault.code);
        EXPECT_EQ(report.id, 42u);
        EXPECT_EQ(report.parameters, fault.parameters);
        EXPECT_TRUE(report.noContext);
        // Where the faulting instruction is; for a jump, the address jumped to.
        const uintptr_t faultAddress = fault.code == EXCEPTION_IN_PAGE_ERROR ? bus
                                       : fault.function == nullptr           ? unexecutablePage
                                                                             : fault.address;
        if (fault.function != nullptr) {
            EXPECT_TRUE(NearFunction(report.address, fault.function)) << std::hex << report.address;
        } else {
            EXPECT_EQ(report.address, unexecutablePage);
        }
        if (fault.parameters == 2) {
            EXPECT_EQ(report.information[0], fault.access);
            EXPECT_EQ(report.information[1], faultAddress);
        }
    }
    munmap(page, 4096);
}

std::atomic<DWORD> workerId{0};

DWORD FaultOnWorker(LPVOID) {
    while (workerId == 0) Sleep(1);
    return SehGuard([](void*) -> DWORD { return ReadAt(0x20); }, nullptr, ReportingFilter, 7);
}

TEST(Seh, FilterRunsOnTheWorkerThreadThatFaulted) {
    const Child child = RunInChild([] {
        DWORD id = 0;
        HANDLE worker = CreateThread(nullptr, 0, FaultOnWorker, nullptr, 0, &id);
        workerId = id;
        WaitForSingleObject(worker, INFINITE);
    });
    EXPECT_TRUE(child.ExitedWithZero()) << child.status;
    ASSERT_TRUE(child.Reported());
    const Report report = child.Get();
    EXPECT_EQ(report.code, EXCEPTION_ACCESS_VIOLATION);
    EXPECT_EQ(report.id, 7u);
    EXPECT_EQ(report.information[1], 0x20u);
    EXPECT_NE(report.thread, 0u);
    EXPECT_NE(report.thread, static_cast<DWORD>(getpid()));  // not the main thread
}

TEST(Seh, GuardsBelongToTheirThread) {
    // The main thread waits inside a guard; the worker faults outside any.
    const Child child = RunInChild([] {
        SehGuard(
            [](void*) -> DWORD {
                HANDLE worker = CreateThread(
                    nullptr, 0, [](LPVOID) -> DWORD { return ReadAt(0); }, nullptr, 0, nullptr);
                return WaitForSingleObject(worker, INFINITE);
            },
            nullptr, ReportingFilter, 1);
    });
    EXPECT_FALSE(child.Reported());
    EXPECT_TRUE(child.DiedOf(SIGSEGV)) << child.status;
}

volatile int recursionGoesOn = 1;

__attribute__((noinline)) int Recurse(int depth) {
    volatile char frame[256];
    frame[0] = static_cast<char>(depth);
    if (recursionGoesOn) return Recurse(depth + 1) + frame[0];
    return frame[0];
}

DWORD OverflowInGuard(LPVOID) {
    return SehGuard([](void*) -> DWORD { return static_cast<DWORD>(Recurse(0)); }, nullptr,
                    ReportingFilter, 3);
}

TEST(Seh, StackOverflowIsCaughtOnTheAlternateStack) {
    // On the main thread, whose stack grows up to its limit, and on a worker with a small
    // stack of its own and a guard page below it.
    for (const bool onWorker : {false, true}) {
        SCOPED_TRACE(onWorker ? "worker" : "main thread");
        static bool worker;
        worker = onWorker;
        const Child child = RunInChild([] {
            if (worker) {
                HANDLE thread =
                    CreateThread(nullptr, 256 * 1024, OverflowInGuard, nullptr, 0, nullptr);
                WaitForSingleObject(thread, INFINITE);
            } else {
                OverflowInGuard(nullptr);
            }
        });
        EXPECT_TRUE(child.ExitedWithZero()) << child.status;
        ASSERT_TRUE(child.Reported());
        EXPECT_EQ(child.Get().code, EXCEPTION_STACK_OVERFLOW);
        EXPECT_EQ(child.Get().id, 3u);
        EXPECT_TRUE(NearFunction(child.Get().address, reinterpret_cast<const void*>(&Recurse)));
    }
}

TEST(Seh, InnermostGuardTakesTheFault) {
    // Inside the inner guard: the inner filter.
    Child child = RunInChild([] {
        SehGuard(
            [](void*) -> DWORD {
                return SehGuard([](void*) -> DWORD { return ReadAt(0); }, nullptr, ReportingFilter,
                                2);
            },
            nullptr, ReportingFilter, 1);
    });
    ASSERT_TRUE(child.Reported());
    EXPECT_EQ(child.Get().id, 2u);
    EXPECT_TRUE(child.ExitedWithZero());

    // After the inner guard returned or was left by an exception: the outer filter.
    child = RunInChild([] {
        SehGuard(
            [](void*) -> DWORD {
                if (SehGuard([](void*) -> DWORD { return 5; }, nullptr, ReportingFilter, 2) != 5) {
                    _exit(3);
                }
                try {
                    SehGuard([](void*) -> DWORD { throw std::runtime_error("left"); }, nullptr,
                             ReportingFilter, 2);
                } catch (const std::runtime_error&) {
                }
                return ReadAt(0);
            },
            nullptr, ReportingFilter, 1);
    });
    ASSERT_TRUE(child.Reported()) << child.status;
    EXPECT_EQ(child.Get().id, 1u);
    EXPECT_TRUE(child.ExitedWithZero());
}

TEST(Seh, FaultsNoGuardMayTakeEndTheProcessWithTheSignal) {
    // After every guard has returned.
    Child child = RunInChild([] {
        SehGuard([](void*) -> DWORD { return 0; }, nullptr, ReportingFilter, 1);
        ReadAt(0);
    });
    EXPECT_FALSE(child.Reported());
    EXPECT_TRUE(child.DiedOf(SIGSEGV)) << child.status;

    // Inside a filter: it reports once, the outer guard's filter does not run.
    child = RunInChild([] {
        SehGuard(
            [](void*) -> DWORD {
                return SehGuard([](void*) -> DWORD { return Divide(1, 0); }, nullptr,
                                [](EXCEPTION_POINTERS* pointers, DWORD id) -> LONG {
                                    ReportingFilter(pointers, id);
                                    return ReadAt(0);
                                },
                                2);
            },
            nullptr, ReportingFilter, 1);
    });
    ASSERT_TRUE(child.Reported()) << child.output.size();
    EXPECT_EQ(child.Get().code, EXCEPTION_INT_DIVIDE_BY_ZERO);
    EXPECT_TRUE(child.DiedOf(SIGSEGV)) << child.status;

    // Sent by kill(), not a fault of the guarded code: the default action, even in a guard.
    child = RunInChild([] {
        SehGuard([](void*) -> DWORD { return static_cast<DWORD>(kill(getpid(), SIGBUS)); }, nullptr,
                 ReportingFilter, 1);
    });
    EXPECT_FALSE(child.Reported());
    EXPECT_TRUE(child.DiedOf(SIGBUS)) << child.status;
}

TEST(Seh, UnhandledExceptionFilterSaysWhatHappenedOnStandardError) {
    const Child child = RunInChild([] {
        dup2(reportPipe, STDERR_FILENO);
        SehGuard(
            [](void*) -> DWORD {
                WriteAt(0x30);
                return 0;
            },
            nullptr,
            [](EXCEPTION_POINTERS* pointers, DWORD) -> LONG {
                return UnhandledExceptionFilter(pointers) == EXCEPTION_EXECUTE_HANDLER
                           ? 0
                           : (_exit(4), 0);
            },
            1);
    });
    EXPECT_TRUE(child.ExitedWithZero()) << child.status;
    EXPECT_NE(child.output.find("0xC0000005"), std::string::npos) << child.output;
    EXPECT_NE(child.output.find("access violation"), std::string::npos) << child.output;
    EXPECT_NE(child.output.find("writing address 0x30"), std::string::npos) << child.output;
    EXPECT_EQ(child.output.back(), '\n');
    EXPECT_EQ(child.output.find('\n'), child.output.size() - 1);  // one line
}

}  // namespace
