// Error reporting: the one way the program reports a failure that is not an ordinary
// outcome. Raise records where and why, then hands the error to the installed handler,
// which reports it and ends the process. Under policy 1 (tests, the batch retimer) it
// throws CObject instead, so the caller can turn the failure into a message of its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace NVireo::NError {

// Reports a recorded error to the user; installed by the application at start-up.
class IHandler {
public:
    virtual void Handle() = 0;
    virtual ~IHandler() = default;
};

// Thrown by Raise under policy 1; it carries nothing, the record holds the details.
class CObject {};

struct CErrorRecord {
    char file[260];            // the reporting site's file text; empty: nothing recorded
    uint32_t line;             // the site number
    char message[4096];
    char systemMessage[4096];  // the system's text for the last failed call
    std::unique_ptr<IHandler> handler;
    // 0: hand the error to the handler; 1: throw CObject; n >= 2: Raise returns n - 1.
    uint32_t policy;
};

CErrorRecord& Record();

// Set by the first error raised and never cleared while the program runs: markers,
// frames and input stop, and later raises return at once.
extern std::atomic<int> errorInProgress;

// Replaces (and deletes) the installed handler; null is allowed.
void SetErrorHandler(IHandler* handler);

// "file: line\nmessage\nsystemMessage", or empty when nothing is recorded.
std::string ErrorText();

// Forgets a recorded error and clears errorInProgress. Only for callers that catch
// CObject under policy 1 and go on (tests, the batch retimer between files).
void Clear();

// The file text every report site of this program uses.
inline constexpr const char kSite[] = "? __FILE__";

}  // namespace NVireo::NError

// Reports an error. Under policy 0 it does not return; under policy 1 it throws
// NVireo::NError::CObject; under a higher policy it returns policy - 1. It also returns
// (0) at once when an error is already being handled: callers must stay safe after it.
uint32_t Raise(const char* file, uint32_t line, const char* message);

// Stores the system's text for the last failed system call in the record; call it right
// after the failing call and before Raise.
void RecordSystemError();
