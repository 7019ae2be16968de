// The workspace's one step back and one step forward.
#include "app/scenes/undo.h"

#include <optional>
#include <string>
#include <utility>

#include "framework/error/trace.h"
#include "sound/clip.h"

namespace Scene::Main::Undo {

namespace {

struct CStep {
    CSoundClip clip;
    bool loaded = false;
    uint32_t durationMs = 0;
    std::string filePath;
};

struct CHistory {
    std::optional<CStep> back, forward;
};

CHistory& History() {
    static CHistory history;
    return history;
}

CStep TakeState() {
    CClipState& state = SharedClipState();
    CStep step;
    step.clip = std::move(state.clip);
    step.loaded = state.loaded;
    step.durationMs = state.currentDurationMs;
    step.filePath = state.currentFilePath;
    return step;
}

void PutState(CStep& step) {
    CClipState& state = SharedClipState();
    state.clip = std::move(step.clip);
    state.loaded = step.loaded;
    state.currentDurationMs = step.durationMs;
    state.currentFilePath = std::move(step.filePath);
}

// Puts from in place of the shared state, which goes to to.
bool Swap(std::optional<CStep>& from, std::optional<CStep>& to) {
    if (!from) return false;
    CStep current = TakeState();
    PutState(*from);
    from.reset();
    to = std::move(current);
    return true;
}

}  // namespace

void Remember() {
    SE_MARK();
    CHistory& history = History();
    history.forward.reset();
    history.back = TakeState();
}

bool Back() {
    SE_MARK();
    CHistory& history = History();
    return Swap(history.back, history.forward);
}

bool Forward() {
    SE_MARK();
    CHistory& history = History();
    return Swap(history.forward, history.back);
}

void Forget() {
    SE_MARK();
    History() = CHistory{};
}

}  // namespace Scene::Main::Undo
