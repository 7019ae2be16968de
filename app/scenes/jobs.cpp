// The worker bodies of the wait screens and the rules they follow.
#include "app/scenes/jobs.h"

#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/scenes/wait.h"
#include "framework/error/trace.h"
#include "framework/platform/file.h"
#include "framework/text/string_ids.h"
#include "framework/text/string_table.h"
#include "sound/wavefile.h"

namespace Jobs {

namespace {

namespace Id = StringId::Application;

struct CReason {
    const char* rejection;
    uint32_t text;
};
constexpr CReason kReasons[] = {
    {NWaveRejection::kNotSeekable, Id::RefusedNotSeekable},
    {NWaveRejection::kAborted, Id::RefusedAborted},
    {NWaveRejection::kNotRiffWave, Id::RefusedNotRiffWave},
    {NWaveRejection::kNoDataChunk, Id::RefusedNoDataChunk},
    {NWaveRejection::kNoFmtChunk, Id::RefusedNoFmtChunk},
    {NWaveRejection::kDataBeforeFmt, Id::RefusedDataBeforeFmt},
    {NWaveRejection::kChunkPastEnd, Id::RefusedChunkPastEnd},
    {NWaveRejection::kFmtTooShort, Id::RefusedFmtTooShort},
    {NWaveRejection::kEndsInFmt, Id::RefusedEndsInFmt},
    {NWaveRejection::kExtensibleTooShort, Id::RefusedExtensibleShort},
    {NWaveRejection::kUnsupportedFormat, Id::RefusedUnsupportedFormat},
    {NWaveRejection::kNoDuration, Id::RefusedNoDuration},
    {NWaveRejection::kBlockBelowFrame, Id::RefusedBlockBelowFrame},
    {NWaveRejection::kBlockNotFrame, Id::RefusedBlockNotFrame},
    {NWaveRejection::kUnknownSizeTooLarge, Id::RefusedUnknownSizeLarge},
    {NWaveRejection::kDataPastEnd, Id::RefusedDataPastEnd},
    {NWaveRejection::kOutOfMemory, Id::RefusedOutOfMemory},
    {NWaveRejection::kEndsInData, Id::RefusedEndsInData},
    {NWaveRejection::kCannotOpen, Id::RefusedCannotOpen},
    {kNotWaveName, Id::RefusedNotWaveName},
    {kShorterThanHeader, Id::RefusedShorterThanHeader},
};

}  // namespace

std::string RefusalReason(const char* rejection) {
    SE_MARK();
    if (rejection == nullptr) return std::string();
    for (const CReason& reason : kReasons) {
        if (std::strcmp(reason.rejection, rejection) == 0) {
            return NVireo::NText::ApplicationStrings().Get(reason.text);
        }
    }
    return rejection;
}

bool HasWaveExtension(const char* path) {
    SE_MARK();
    // A dot is never the trail byte of a double-byte character, so the last one found
    // byte by byte is the last character.
    const char* dot = std::strrchr(path, '.');
    return dot != nullptr && _stricmp(dot + 1, "wav") == 0;
}

std::string ProgressLine(uint32_t done, uint32_t total) {
    SE_MARK();
    if (total == 0) return std::string();
    const uint32_t percent = static_cast<uint32_t>(static_cast<uint64_t>(done) * 100 / total);
    char text[96];
    std::snprintf(text, sizeof text, "残り処理数 %u/%u(%u%%)", done, total, percent);
    return text;
}

}  // namespace Jobs

namespace Scene::Main {

namespace {

// A worker's members must outlive its thread: its owner waits before destroying it, and
// this wait covers an owner that did not (a thread never started has none).
void EndBeforeMembers(NVireo::NWindows::NThread::CBasic& worker) {
    SE_MARK();
    if (worker.handle != nullptr && !worker.IsFinished()) worker.WaitForEnd();
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Duration change

CTimeChangeWait::CCThread::CCThread() { SE_MARK(); }

CTimeChangeWait::CCThread::~CCThread() {
    SE_MARK();
    EndBeforeMembers(*this);
}

int32_t CTimeChangeWait::CCThread::Run() {
    SE_MARK();
    raiseOnOutOfMemory = false;
    // The change looks at abort before it starts and never clears it, so a cancel that
    // came before this point ends the job at once.
    result = ChangeDuration(job, static_cast<double>(requestedMs), clip);
    return 0;
}

// ---------------------------------------------------------------------------------------
// Loading

CLoading::CCThread::CCThread() { SE_MARK(); }

CLoading::CCThread::~CCThread() {
    SE_MARK();
    EndBeforeMembers(*this);
}

int32_t CLoading::CCThread::Run() {
    SE_MARK();
    // Running out of memory on a big file ends the job as aborted, not the program.
    raiseOnOutOfMemory = false;
    if (!Jobs::HasWaveExtension(path.c_str())) {
        wave.rejection = Jobs::kNotWaveName;
        failed = true;
        return 0;
    }
    NVireo::NFile::NSTDIO::CBinary stream;
    // A file that vanished or cannot be read since it was chosen, or that is no longer a
    // regular file (a FIFO would hold the job until something wrote to it): the load
    // failed, but the file was never seen to be invalid.
    if (!NVireo::NFile::Exists(path.c_str()) || !stream.TryOpen(path.c_str(), "rb")) {
        throw NVireo::NWindows::NThread::CException();
    }
    // The size is asked only of a stream that can tell it; the reader says why it turns
    // away one that cannot.
    bool read = false;
    if (stream.IsSeekable() && stream.Size() < Jobs::kSmallestWaveFile) {
        wave.rejection = Jobs::kShorterThanHeader;
    } else {
        read = Transfer(wave, stream, EDirection::Input, clip);
    }
    stream.TryClose();  // read-only: nothing to lose if the close fails
    if (!read) failed = true;
    return 0;
}

// ---------------------------------------------------------------------------------------
// Saving

CSaving::CCThread::CCThread() { SE_MARK(); }

CSaving::CCThread::~CCThread() {
    SE_MARK();
    EndBeforeMembers(*this);
}

int32_t CSaving::CCThread::Run() {
    SE_MARK();
    raiseOnOutOfMemory = false;
    // The clip state's clip is read here while the saving screen is the only scene;
    // nothing on the main thread touches it until this job has finished.
    if (!SaveToFile(wave, path.c_str(), SharedClipState().clip)) failed = true;
    return 0;
}

}  // namespace Scene::Main
