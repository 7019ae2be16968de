// Worker threads: the base of every background job, the start / poll / abort / join
// protocol, and the registry of live thread objects that the error path uses.
#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/platform/busyflag.h"

namespace NVireo::NWindows::NThread {

// Thrown by a job body to end itself early; the thread ends as aborted with code -1.
class CException {};

class CBasic {
public:
    CBasic();
    virtual ~CBasic();
    CBasic(const CBasic&) = delete;
    CBasic& operator=(const CBasic&) = delete;

    // The job body; answers the thread's exit code.
    virtual int32_t Run() = 0;

    void Start(const char* threadName);
    bool IsFinished();
    bool IsAborted() const { return aborted; }
    bool HasFailed() const { return failed; }
    void WaitForEnd();
    void Close();

    bool raiseOnOutOfMemory = true;
    bool failed = false;
    HANDLE handle = nullptr;
    uint32_t threadId = 0;
    CBusyFlag busy;
    bool finished = false;  // under busy
    bool aborted = false;
    char name[32] = {};
};

// Called by Raise on the raising thread: the thread object running there, if any, is
// marked finished and failed.
void MarkFailedOnError(uint32_t threadId);

}  // namespace NVireo::NWindows::NThread

namespace NVireo::NSynchronization {

// The single-instance check: one holder of a name among this user's processes.
class CMutex {
public:
    CMutex() = default;
    virtual ~CMutex();
    CMutex(const CMutex&) = delete;
    CMutex& operator=(const CMutex&) = delete;

    // True when this process is the first holder of name.
    bool CreateSingle(const char* name);

    HANDLE handle = nullptr;
};

}  // namespace NVireo::NSynchronization
