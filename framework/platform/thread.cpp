#include "framework/platform/thread.h"

#include <seh.h>

#include <cstring>
#include <new>

#include "framework/containers/set.h"
#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"

namespace Site = NVireo::NError::NSite::NThread;

namespace NVireo::NWindows::NThread {

namespace {

// The guard id every worker body runs under, told apart from the main thread's guards
// in reports.
constexpr DWORD kWorkerGuardId = 3;

// Live thread objects, from a successful start until they are closed. Changed by the
// thread that starts and closes jobs, read by the error path on any thread.
struct CRegistry {
    hoard::set::basic<CBasic*> threads;
    CBusyFlag busy;
};

CRegistry& Registry() {
    static CRegistry registry;
    return registry;
}

void SetFinished(CBasic& thread) {
    CBusyScope scope(thread.busy);
    thread.finished = true;
}

// Reports a failure of the wrapper itself. Under the throwing policy (tests) the report
// is kept in the error record instead of leaving a destructor or a thread by exception.
void Report(uint32_t site, const char* message) {
    try {
        Raise(NVireo::NError::kSite, site, message);
    } catch (const NVireo::NError::CObject&) {
    }
}

// Runs the job body and turns every way it can end into the thread's exit code.
DWORD RunBody(void* parameter) {
    CBasic& self = *static_cast<CBasic*>(parameter);
    // Start holds the busy flag until the object is registered and named under this
    // thread's id, so an error raised at once still finds its job and the thread's trace
    // slot is named before the thread can give it back.
    { CBusyScope started(self.busy); }
    int32_t code = -1;
    try {
        code = self.Run();
    } catch (const CException&) {
        self.aborted = true;
    } catch (const std::bad_alloc&) {
        if (self.raiseOnOutOfMemory) {
            Report(Site::kJobOutOfMemory, self.name);
        } else {
            self.aborted = true;
        }
    } catch (const NVireo::NError::CObject&) {
        // A raise on this thread under the throwing policy: already recorded and marked.
    } catch (...) {
        SetFinished(self);
        Report(Site::kJobException, self.name);
    }
    NVireo::NError::ReleaseThread(GetCurrentThreadId());
    SetFinished(self);
    return static_cast<DWORD>(code);
}

DWORD ThreadEntry(LPVOID parameter) {
    return SehGuard(RunBody, parameter, NVireo::NError::StructuredExceptionFilter, kWorkerGuardId);
}

}  // namespace

CBasic::CBasic() {
    SE_MARK();
    CBusyScope scope(busy);
    finished = false;
}

CBasic::~CBasic() {
    SE_MARK();
    Close();
}

void CBasic::Start(const char* threadName) {
    SE_MARK();
    if (threadName != nullptr) {
        std::strncpy(name, threadName, sizeof name - 1);
        name[sizeof name - 1] = '\0';
    }
    Close();
    aborted = false;
    failed = false;
    {
        CBusyScope scope(busy);
        finished = false;
        DWORD id = 0;
        handle = CreateThread(nullptr, 0, ThreadEntry, this, 0, &id);
        if (handle == nullptr) {
            RecordSystemError();
        } else {
            threadId = id;
            {
                CBusyScope registry(Registry().busy);
                Registry().threads.Insert(this);
            }
            NVireo::NError::NameThread(threadId, name);
        }
    }
    if (handle == nullptr) Report(Site::kCreateThread, name);
}

bool CBasic::IsFinished() {
    CBusyScope scope(busy);
    return finished;
}

void CBasic::WaitForEnd() {
    SE_MARK();
    for (int round = 0; round < 100000; ++round) {
        Sleep(1);
        if (IsFinished()) return;
    }
    Report(Site::kWaitForEnd, name);
}

void CBasic::Close() {
    SE_MARK();
    if (handle == nullptr) return;
    {
        CBusyScope scope(Registry().busy);
        Registry().threads.Erase(this);
    }
    if (!IsFinished()) Report(Site::kCloseRunning, name);  // closing a running job is a bug
    if (!CloseHandle(handle)) {
        RecordSystemError();
        Report(Site::kCloseHandle, name);
    }
    handle = nullptr;
}

void MarkFailedOnError(uint32_t threadId) {
    CBusyScope scope(Registry().busy);
    for (CBasic* thread : Registry().threads) {
        if (thread->threadId == threadId) {
            SetFinished(*thread);
            thread->failed = true;
        }
    }
}

}  // namespace NVireo::NWindows::NThread

namespace NVireo::NSynchronization {

CMutex::~CMutex() {
    SE_MARK();
    if (handle != nullptr) {
        ReleaseMutex(handle);
        CloseHandle(handle);
    }
}

bool CMutex::CreateSingle(const char* name) {
    SE_MARK();
    if (handle != nullptr) {
        ReleaseMutex(handle);
        CloseHandle(handle);
        handle = nullptr;
    }
    handle = CreateMutexA(nullptr, TRUE, name);
    // Another holder: bringing its window forward comes with the window itself.
    return !(handle != nullptr && GetLastError() == ERROR_ALREADY_EXISTS);
}

}  // namespace NVireo::NSynchronization
