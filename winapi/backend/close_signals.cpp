// The close signals of close_signals.h: counters a signal handler may touch.
#include "backend/close_signals.h"

#include <signal.h>

#include <atomic>
#include <cerrno>
#include <mutex>

namespace winapi::backend {

namespace {

static_assert(std::atomic<unsigned>::is_always_lock_free, "signal handlers use the counters");
std::atomic<unsigned> requested{0};
std::atomic<unsigned> taken{0};

void OnCloseSignal(int signalNumber) {
    const int savedErrno = errno;  // the program checks errno after its own calls
    if (requested.load() != taken.load()) {
        // The last request was never taken: nothing answers, so the signal ends the
        // process as it would have without us.
        signal(signalNumber, SIG_DFL);
        raise(signalNumber);
    } else {
        requested.fetch_add(1);
    }
    errno = savedErrno;
}

}  // namespace

void CatchCloseSignals() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = OnCloseSignal;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        for (const int s : {SIGTERM, SIGINT, SIGHUP}) sigaction(s, &action, nullptr);
    });
}

unsigned CloseSignalCount() { return requested.load(); }

bool TakeCloseRequest() {
    const unsigned count = requested.load();
    if (count == taken.load()) return false;
    taken.store(count);
    return true;
}

bool CloseRequestedSince(unsigned count) {
    const unsigned now = requested.load();
    return now != count || now != taken.load();
}

}  // namespace winapi::backend
