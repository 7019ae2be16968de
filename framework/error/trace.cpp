// The call trace. None of these functions records a marker itself: a marker here would
// call back into Mark. Nothing allocates, blocks or reports while the busy flag is held.
#include "framework/error/trace.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/platform/file.h"
#include "framework/platform/home.h"

namespace Site = NVireo::NError::NSite::NTrace;

namespace NVireo::NError {

namespace {

constexpr size_t kSlotCount = sizeof(CCallTrace::slots) / sizeof(CCallTrace::slots[0]);

// More threads record markers than the trace has slots: say which thread in
// ThreadError.log in the home folder and end the process. Called with the busy flag
// held: it lets the flag go and stops the markers first, since the calls below may record
// markers of their own, which would wait for the flag or come back here.
[[noreturn]] void NoFreeSlot(CCallTrace& trace, uint32_t threadId) {
    errorInProgress = 1;
    trace.busy.Leave();
    NVireo::NFile::EnterEmergencyHomeFolder();
    AppendFormatted("ThreadError.log", "%s:l=%u:tid=%u", kSite, Site::kNoFreeSlot, threadId);
    EndProcess();
}

// The slot of threadId, claiming the first free one when the thread has none yet. Id 0
// always maps to the spare slot. Called with the busy flag held.
CTraceSlot& SlotOf(CCallTrace& trace, uint32_t threadId) {
    if (threadId == 0) return trace.spare;
    // The thread's own slot first: claiming a free slot that lies before it would give
    // the thread two slots after an earlier thread released its one.
    for (CTraceSlot& slot : trace.slots) {
        if (slot.threadId == threadId) return slot;
    }
    for (CTraceSlot& slot : trace.slots) {
        if (slot.threadId == 0) {
            slot.threadId = threadId;
            return slot;
        }
    }
    NoFreeSlot(trace, threadId);
}

// The owned slot of threadId (the spare slot for 0), or null.
CTraceSlot* FindSlot(CCallTrace& trace, uint32_t threadId) {
    if (threadId == 0) return &trace.spare;
    for (CTraceSlot& slot : trace.slots) {
        if (slot.threadId == threadId) return &slot;
    }
    return nullptr;
}

void AppendSlot(NVireo::NString::BBasic<char>& out, const CTraceSlot& slot) {
    // A slot that never recorded a marker has no note texts yet.
    out.AppendFormat("\ttid=%u:%s\n\tid=%u:l=%u\n\t%s\n\t%s\n\t%s\n\n", slot.threadId,
                     slot.threadName, static_cast<uint32_t>(slot.functionId),
                     static_cast<uint32_t>(slot.line), slot.note1 ? slot.note1 : "",
                     slot.note2 ? slot.note2 : "", slot.message);
}

}  // namespace

std::atomic<int> traceEnabled{1};

CCallTrace& CallTrace() {
    // Zeroed: every slot free, the spare slot at function 0, line 0.
    static CCallTrace trace{};
    return trace;
}

void Mark(int32_t functionId, int32_t line, ...) {
    if (traceEnabled.load(std::memory_order_relaxed) == 0 ||
        errorInProgress.load(std::memory_order_relaxed) != 0) {
        return;
    }
    CCallTrace& trace = CallTrace();
    const uint32_t threadId = GetCurrentThreadId();
    NVireo::NWindows::CBusyScope hold(trace.busy);
    CTraceSlot& slot = SlotOf(trace, threadId);
    slot.functionId = functionId;
    slot.line = line;
    slot.note1 = "";
    slot.note2 = "";
    slot.message[0] = '\0';
}

void NameThread(uint32_t threadId, const char* name) {
    // Cut outside the flag (a double-byte character is never split), stored under it.
    char cut[sizeof CTraceSlot::threadName];
    NVireo::NFile::CopyLimited(cut, name, sizeof cut - 1);
    CCallTrace& trace = CallTrace();
    NVireo::NWindows::CBusyScope hold(trace.busy);
    CTraceSlot& slot = SlotOf(trace, threadId);
    std::memcpy(slot.threadName, cut, sizeof cut);
}

void ReleaseThread(uint32_t threadId) {
    CCallTrace& trace = CallTrace();
    NVireo::NWindows::CBusyScope hold(trace.busy);
    CTraceSlot* slot = FindSlot(trace, threadId);
    if (slot == nullptr) return;
    slot->note1 = "";
    slot->note2 = "";
    slot->functionId = -1;
    slot->line = -1;
    slot->threadId = 0;
    slot->threadName[0] = '\0';
    slot->message[0] = '\0';
}

void Dump(NVireo::NString::BBasic<char>& out) {
    // Copied under the flag, formatted after it: formatting allocates.
    auto copy = std::make_unique<CTraceSlot[]>(kSlotCount + 1);
    CCallTrace& trace = CallTrace();
    {
        NVireo::NWindows::CBusyScope hold(trace.busy);
        std::memcpy(copy.get(), trace.slots, sizeof trace.slots);
        std::memcpy(&copy[kSlotCount], &trace.spare, sizeof trace.spare);
    }
    for (size_t i = 0; i < kSlotCount; ++i) {
        if (copy[i].threadId != 0) AppendSlot(out, copy[i]);
    }
    AppendSlot(out, copy[kSlotCount]);
    out.Append("\n\n\n", 3);
}

}  // namespace NVireo::NError
