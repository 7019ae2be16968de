// The workspace's start.
#include "app/scenes/workspace_start.h"

#include "app/scenes/workspace_commands.h"
#include "framework/error/trace.h"
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

bool StartLoadingNamedFile(const std::string& path) {
    SE_MARK();
    SharedClipState().currentFilePath = path;
    return !path.empty() && Scene::Main::StartLoading(path);
}

}  // namespace Main
