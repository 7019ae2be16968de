// The call trace: every function of the framework and the application records where it
// is with SE_MARK() on entry; each thread keeps only its last position, so a report shows
// where every thread last was. At most eight threads record at once.
#pragma once

#include <atomic>
#include <cstdint>

#include "framework/containers/nstring.h"
#include "framework/platform/busyflag.h"

namespace NVireo::NError {

struct CTraceSlot {
    const char* note1;
    const char* note2;
    int32_t functionId;  // -1 when unused
    int32_t line;        // -1 when unused
    uint32_t threadId;   // 0: free
    char threadName[32];
    char message[4096];
};

struct CCallTrace {
    CTraceSlot slots[8];
    CTraceSlot spare;  // thread id 0
    NVireo::NWindows::CBusyFlag busy;
};

CCallTrace& CallTrace();

// 1 from first use, never cleared.
extern std::atomic<int> traceEnabled;

// A distinct number for each function, from its file and full signature. SE_MARK stores
// it in a constexpr variable, so it is always computed at compile time. (Not consteval:
// clang 14 refuses consteval calls in member functions of class templates.)
constexpr int32_t FunctionNumber(const char* file, const char* function) {
    uint32_t h = 2166136261u;
    for (; *file; ++file) h = (h ^ static_cast<unsigned char>(*file)) * 16777619u;
    for (; *function; ++function) h = (h ^ static_cast<unsigned char>(*function)) * 16777619u;
    return static_cast<int32_t>(h & 0x7FFFFFFF);
}

// Records functionId and line as the calling thread's position; the remaining arguments
// are accepted and ignored. Does nothing while an error is being handled.
void Mark(int32_t functionId, int32_t line, ...);
void NameThread(uint32_t threadId, const char* name);
void ReleaseThread(uint32_t threadId);
// Appends the text of every used slot, then the spare slot, then three empty lines.
void Dump(NVireo::NString::BBasic<char>& out);

}  // namespace NVireo::NError

#define SE_MARK()                                                            \
    do {                                                                     \
        constexpr int32_t seFunctionNumber =                                 \
            ::NVireo::NError::FunctionNumber(__FILE__, __PRETTY_FUNCTION__); \
        ::NVireo::NError::Mark(seFunctionNumber, __LINE__);                  \
    } while (0)
