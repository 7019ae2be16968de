// The workspace's start.
#include "app/scenes/workspace_start.h"

#include "app/scenes/wait.h"
#include "framework/error/trace.h"
#include "framework/platform/file.h"
#include "sound/clip.h"

namespace Main {

void PrepareWorkspaceClip() {
    SE_MARK();
    CClipState& state = SharedClipState();
    state.loaded = false;
    CSoundClip& clip = state.clip;
    clip.nChannels = 2;
    clip.nSamplesPerSec = 44100;
    clip.nBlockAlign = 4;
    clip.wBitsPerSample = 16;
    clip.nAvgBytesPerSec = 176400;
    MakeSilence(clip, state.currentDurationMs);
}

std::string StripQuotes(const char* arguments) {
    SE_MARK();
    std::string text = arguments != nullptr ? arguments : "";
    const size_t first = text.find_first_not_of('"');
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of('"');
    return text.substr(first, last - first + 1);
}

bool StartLoadingArguments(const char* arguments) {
    SE_MARK();
    CClipState& state = SharedClipState();
    state.currentFilePath = StripQuotes(arguments);
    // Exists answers false for folders and for files that cannot be read.
    if (state.currentFilePath.empty() || !NVireo::NFile::Exists(state.currentFilePath.c_str())) {
        return false;
    }
    state.jobPath = state.currentFilePath;
    new Scene::Main::CLoading;
    return true;
}

}  // namespace Main
