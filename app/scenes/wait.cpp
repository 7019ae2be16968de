// The wait screens: start a worker, poll it once per frame, and when it has ended apply
// its result or tell the user what went wrong, then open a new workspace.
#include "app/scenes/wait.h"

#include <windows.h>

#include <cstring>
#include <utility>

#include "app/gui/help_line.h"
#include "app/scenes/jobs.h"
#include "app/scenes/undo.h"
#include "app/scenes/wait_widgets.h"
#include "app/shell/frame_timer.h"
#include "framework/error/trace.h"
#include "framework/window/window.h"
#include "sound/output/sound_device.h"

namespace Scene {

void GoToTimeChangeWait() {
    SE_MARK();
    new Main::CTimeChangeWait;
    ::Main::FrameTimer().Restart();
    SE_MARK();
}

}  // namespace Scene

namespace Scene::Main {

namespace {

// Waits for a worker that was started; one whose start failed (already reported) has
// nothing to wait for.
void WaitForWorker(NVireo::NWindows::NThread::CBasic& worker) {
    SE_MARK();
    if (worker.handle != nullptr && !worker.IsFinished()) worker.WaitForEnd();
}

}  // namespace

void Button::Break::CNexter::Select(int32_t) {
    SE_MARK();
    // The new workspace deletes the wait screen, whose destructor stops the change.
    GoToWorkSpace();
}

// ---------------------------------------------------------------------------------------
// BWait

BWait::BWait() {
    SE_MARK();
    NVireo::NDirectX::NSound::ReleaseClip();
    SetWaitBar("しばらくお待ちください");
}

BWait::~BWait() { SE_MARK(); }

void BWait::Draw() {
    SE_MARK();
    ClearBackBuffer();
    DrawContent();
    Help::Line::DrawOverlay();
}

void BWait::ShowMessage(const std::string& text) {
    SE_MARK();
    MessageBoxA(NVireo::NWindow::MainWindowHandle(), text.c_str(), "", MB_OK | MB_SYSTEMMODAL);
}

// ---------------------------------------------------------------------------------------
// CTimeChangeWait

CTimeChangeWait::CTimeChangeWait() {
    SE_MARK();
    progress = std::make_unique<CProgressText>();
    breakButton = std::make_unique<Button::Break::CObject>();
    const CClipState& state = SharedClipState();
    worker.requestedMs = state.requestedDurationMs;
    worker.clip.Format() = state.clip.Format();
    worker.clip.chunks = state.clip.chunks;
    if (worker.clip.data.Resize(state.clip.data.length)) {
        if (state.clip.data.length != 0) {
            std::memcpy(worker.clip.data.data, state.clip.data.data, state.clip.data.length);
        }
    } else {
        // The copy does not fit in memory: the job ends at once as aborted and the screen
        // says so.
        copyFailed = true;
        worker.job.abort = true;
    }
    worker.Start("TimeChangeWait");
    SetWaitTitle("再生時間変更中");
}

CTimeChangeWait::~CTimeChangeWait() {
    SE_MARK();
    worker.job.abort = true;
    WaitForWorker(worker);
    breakButton.reset();
    progress.reset();
}

std::string CTimeChangeWait::ProgressText() const {
    SE_MARK();
    return Jobs::ProgressLine(worker.job.progress.load(std::memory_order_relaxed),
                              worker.job.outFrames.load(std::memory_order_relaxed));
}

void CTimeChangeWait::DrawContent() {
    SE_MARK();
    const std::string text = ProgressText();
    if (!text.empty()) progress->Draw(120, 200, text);
    breakButton->Draw();
}

void CTimeChangeWait::Update() {
    SE_MARK();
    if (!worker.IsFinished()) {
        // A click on "中止" switches scenes: nothing of this scene is touched after it.
        breakButton->Step();
        return;
    }
    if (copyFailed || worker.result == EChangeResult::NoMemory) {
        ShowMessage(kNoMemoryMessage);
    } else if (worker.IsAborted() || worker.HasFailed() || worker.result != EChangeResult::Done) {
        // A change the engine cannot do (a format without whole frames, a result no WAV
        // file holds) leaves the clip, its duration and its waveform as they were.
        ShowMessage(kChangeFailedMessage);
    } else {
        Undo::Remember();
        CClipState& state = SharedClipState();
        state.currentDurationMs = worker.requestedMs;
        state.clip = std::move(worker.clip);
    }
    GoToWorkSpace();
}

// ---------------------------------------------------------------------------------------
// CLoading

CLoading::CLoading() {
    SE_MARK();
    worker.path = SharedClipState().jobPath;
    worker.Start("CLoading");
    SetWaitTitle("読み込み中");
}

CLoading::~CLoading() {
    SE_MARK();
    worker.wave.abort = true;
    WaitForWorker(worker);
    worker.clip.data.Clear();
}

void CLoading::Update() {
    SE_MARK();
    if (!worker.IsFinished()) return;
    if (worker.IsAborted()) {
        ShowMessage(worker.path + "\n" + "読み込みに失敗しました");
    } else if (worker.HasFailed() &&
               std::strcmp(worker.wave.rejection, NWaveRejection::kOutOfMemory) == 0) {
        ShowMessage(worker.path + "\n" + kNoMemoryMessage);
    } else if (worker.HasFailed()) {
        const std::string reason = Jobs::RefusalReason(worker.wave.rejection);
        ShowMessage(worker.path + "\n" + "ファイルは不正です" +
                    (reason.empty() ? "" : "\n" + reason));
    } else {
        Undo::Remember();
        CClipState& state = SharedClipState();
        state.loaded = true;
        state.clip = std::move(worker.clip);
        state.currentDurationMs = static_cast<uint32_t>(GetDurationMs(state.clip));
        state.currentFilePath = worker.path;
    }
    GoToWorkSpace();
}

// ---------------------------------------------------------------------------------------
// CSaving

CSaving::CSaving() {
    SE_MARK();
    worker.path = SharedClipState().jobPath;
    worker.Start("CSaving");
    SetWaitTitle("書き込み中");
}

CSaving::~CSaving() {
    SE_MARK();
    // Only when the program closes during a save: the writer gives up, and since it
    // writes beside the target and renames only a complete file, whatever was at the
    // path stays as it was.
    if (!worker.IsFinished()) {
        worker.wave.abort = true;
        WaitForWorker(worker);
    }
}

void CSaving::Update() {
    SE_MARK();
    if (!worker.IsFinished()) return;
    if (worker.IsAborted() || worker.HasFailed()) {
        ShowMessage(worker.path + "を" + "\n" + "正常に保存できませんでした");
    } else {
        SharedClipState().currentFilePath = worker.path;
    }
    GoToWorkSpace();
}

}  // namespace Scene::Main
