// A media player that is a thread: a DirectShow filter graph with the interfaces the
// program uses, and a worker that waits for the graph's events and restarts the stream
// when it has played to its end, as many times as the play count says.
#pragma once

#include <dshow.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "framework/platform/thread.h"

namespace NVireo::NDirectX::NShow::NMedia {

class CPlayer : public NVireo::NWindows::NThread::CBasic {
public:
    CPlayer() = default;
    ~CPlayer() override;

    // The event loop (the thread body): restarts the stream at EC_COMPLETE while plays
    // remain, leaves at EC_END_OF_SEGMENT, on the stop flag or when the graph is gone;
    // events that mean the graph broke are fatal, reported with the event's name.
    int32_t Run() override;

    // The graph's state, asked with a 1 ms time-out.
    bool IsStopped();
    bool IsPaused();
    // Runs the graph; when Run answers S_FALSE, waits for the state to settle.
    void RunGraph();
    // Pauses the graph and answers the graph's result. Taken together with the thread's
    // restart at the end of the stream, so a pause that comes just as the stream ends is
    // never undone: the stream goes back to its start and stays paused.
    HRESULT PauseGraph();
    // Seeks to the start (absolute, no stop position).
    void SeekToStart();
    // Sets the stop flag and waits for the thread to end (nothing when none runs).
    void StopThread();
    // Releases the graph and its four interfaces; the thread must have ended.
    void ReleaseGraph();

    // The name of an event code ("EC_COMPLETE" for 1), or null for a code without one.
    static const char* EventName(LONG code);

    IGraphBuilder* graph = nullptr;
    IMediaControl* control = nullptr;
    IMediaEventEx* event = nullptr;
    IMediaSeeking* seeking = nullptr;
    IBasicAudio* audio = nullptr;
    std::atomic<int32_t> playCount{0};  // -1: endless
    std::atomic<bool> stop{false};      // the thread's stop flag

private:
    std::mutex transport_;  // pausing against the thread's restart at the end

    // Waits up to 10000 x 1 ms for GetState to answer S_OK; VFW_S_CANT_CUE is fatal.
    void WaitForState();
};

// A failing DirectShow call is fatal with "error code=0x%x"; answers true on success.
bool CheckShow(HRESULT result, uint32_t site);

}  // namespace NVireo::NDirectX::NShow::NMedia
