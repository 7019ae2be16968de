// A spin flag guarding the few values that worker threads and the main thread share:
// wait while it is set (sleeping 1 ms a round), then take it. Only short reads and
// writes happen while it is held: nothing that blocks, allocates or reports.
#pragma once

#include <windows.h>

namespace NVireo::NWindows {

class CBusyFlag {
public:
    void Enter() {
        while (__atomic_load_n(&value, __ATOMIC_SEQ_CST) != 0) Sleep(1);
        InterlockedIncrement(&value);
    }
    void Leave() {
        if (__atomic_load_n(&value, __ATOMIC_SEQ_CST) != 0) InterlockedDecrement(&value);
    }

    volatile LONG value = 0;
};

// Holds a busy flag for one scope.
class CBusyScope {
public:
    explicit CBusyScope(CBusyFlag& flag) : flag_(flag) { flag_.Enter(); }
    ~CBusyScope() { flag_.Leave(); }
    CBusyScope(const CBusyScope&) = delete;
    CBusyScope& operator=(const CBusyScope&) = delete;

private:
    CBusyFlag& flag_;
};

}  // namespace NVireo::NWindows
