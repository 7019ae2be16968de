#include "sound/output/media_player.h"

#include <cstdio>

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"

namespace Site = NVireo::NError::NSite::NMediaPlayer;

namespace NVireo::NDirectX::NShow::NMedia {

namespace {

// Events that mean the graph can no longer play: the program stops with their name.
bool IsFatalEvent(LONG code) {
    switch (code) {
        case 2:
        case 3:
        case 5:
        case 6:
        case 7:
        case 8:
        case 9:
        case 10:
        case 11:
        case 12:
        case 16:
        case 17:
        case 18:
        case 19:
        case 20:
        case 21:
        case 22:
        case 23:
        case 25:
        case 26:
        case 27:
        case 29:
        case 31:
        case 36:
        case 80:
        case 512:
        case 513:
            return true;
        default:
            return false;
    }
}

template <typename T>
void ReleaseInterface(T*& pointer) {
    if (pointer != nullptr) pointer->Release();
    pointer = nullptr;
}

}  // namespace

bool CheckShow(HRESULT result, uint32_t site) {
    SE_MARK();
    if (SUCCEEDED(result)) return true;
    char message[64];
    std::snprintf(message, sizeof message, "error code=0x%x", static_cast<unsigned>(result));
    Raise(NVireo::NError::kSite, site, message);
    return false;
}

const char* CPlayer::EventName(LONG code) {
    SE_MARK();
    switch (code) {
        case 1:
            return "EC_COMPLETE";
        case 2:
            return "EC_USERABORT";
        case 3:
            return "EC_ERRORABORT";
        case 5:
            return "EC_REPAINT";
        case 6:
            return "EC_STREAM_ERROR_STOPPED";
        case 7:
            return "EC_STREAM_ERROR_STILLPLAYING";
        case 8:
            return "EC_ERROR_STILLPLAYING";
        case 9:
            return "EC_PALETTE_CHANGED";
        case 10:
            return "EC_VIDEO_SIZE_CHANGED";
        case 11:
            return "EC_QUALITY_CHANGE";
        case 12:
            return "EC_SHUTTING_DOWN";
        case 13:
            return "EC_CLOCK_CHANGED";
        case 14:
            return "EC_PAUSED";
        case 16:
            return "EC_OPENING_FILE";
        case 17:
            return "EC_BUFFERING_DATA";
        case 18:
            return "EC_FULLSCREEN_LOST";
        case 19:
            return "EC_ACTIVATE";
        case 20:
            return "EC_NEED_RESTART";
        case 21:
            return "EC_WINDOW_DESTROYED";
        case 22:
            return "EC_DISPLAY_CHANGED";
        case 23:
            return "EC_STARVATION";
        case 24:
            return "EC_OLE_EVENT";
        case 25:
            return "EC_NOTIFY_WINDOW";
        case 26:
            return "EC_STREAM_CONTROL_STOPPED";
        case 27:
            return "EC_STREAM_CONTROL_STARTED";
        case 28:
            return "EC_END_OF_SEGMENT";
        case 29:
            return "EC_SEGMENT_STARTED";
        case 31:
            return "EC_DEVICE_LOST";
        case 36:
            return "EC_STEP_COMPLETE";
        case 80:
            return "EC_GRAPH_CHANGED";
        case 512:
            return "EC_SNDDEV_IN_ERROR";
        case 513:
            return "EC_SNDDEV_OUT_ERROR";
        default:
            return nullptr;
    }
}

CPlayer::~CPlayer() {
    SE_MARK();
    StopThread();
    ReleaseGraph();
}

int32_t CPlayer::Run() {
    SE_MARK();
    LONG code = 0;
    LONG_PTR param1 = 0, param2 = 0;
    bool held = false;  // the parameters of the last event are still to be freed
    int32_t exitCode = 0;
    while (graph != nullptr) {
        if (stop) {
            exitCode = -1;
            break;
        }
        if (held) {
            held = false;
            if (!CheckShow(event->FreeEventParams(code, param1, param2), Site::kFreeEvent)) break;
        }
        const HRESULT got = event->GetEvent(&code, &param1, &param2, 0);
        if (got == E_ABORT) {  // no event waiting
            Sleep(1);
            continue;
        }
        if (!CheckShow(got, Site::kGetEvent)) break;
        held = true;
        if (code == EC_COMPLETE) {
            // Counting plays down; an endless count (-1) is never used up.
            if (playCount > 0 && --playCount == 0) break;
            std::lock_guard hold(transport_);
            SeekToStart();
            if (!IsPaused()) RunGraph();
        } else if (code == EC_END_OF_SEGMENT) {
            break;
        } else if (IsFatalEvent(code)) {
            Raise(NVireo::NError::kSite, Site::kFatalEvent, EventName(code));
            break;
        }
    }
    if (held) CheckShow(event->FreeEventParams(code, param1, param2), Site::kFreeEvent);
    return exitCode;
}

void CPlayer::WaitForState() {
    SE_MARK();
    OAFilterState state = State_Stopped;
    for (int i = 0; i < 10000; ++i) {
        const HRESULT result = control->GetState(1, &state);
        if (result == S_OK) return;
        if (result == VFW_S_CANT_CUE) {
            CheckShow(E_FAIL, Site::kCantCue);
            return;
        }
        if (!CheckShow(result, Site::kGetState)) return;
        Sleep(1);
    }
}

void CPlayer::RunGraph() {
    SE_MARK();
    const HRESULT result = control->Run();
    if (!CheckShow(result, Site::kRun)) return;
    if (result == S_FALSE) WaitForState();
}

HRESULT CPlayer::PauseGraph() {
    SE_MARK();
    std::lock_guard hold(transport_);
    return control->Pause();
}

void CPlayer::SeekToStart() {
    SE_MARK();
    LONGLONG start = 0;
    CheckShow(seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr,
                                    AM_SEEKING_NoPositioning),
              Site::kSeek);
}

bool CPlayer::IsStopped() {
    SE_MARK();
    OAFilterState state = State_Stopped;
    const HRESULT result = control->GetState(1, &state);
    CheckShow(result, Site::kGetState);
    return state == State_Stopped;
}

bool CPlayer::IsPaused() {
    SE_MARK();
    OAFilterState state = State_Stopped;
    const HRESULT result = control->GetState(1, &state);
    CheckShow(result, Site::kGetState);
    return state == State_Paused;
}

void CPlayer::StopThread() {
    SE_MARK();
    if (handle == nullptr) return;
    stop = true;
    WaitForEnd();
    Close();
}

void CPlayer::ReleaseGraph() {
    SE_MARK();
    ReleaseInterface(audio);
    ReleaseInterface(seeking);
    ReleaseInterface(event);
    ReleaseInterface(control);
    ReleaseInterface(graph);
}

}  // namespace NVireo::NDirectX::NShow::NMedia
