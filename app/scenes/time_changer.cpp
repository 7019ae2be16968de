// The duration dialog.
#include "app/scenes/time_changer.h"

#include <cmath>
#include <cstdio>

#include "app/gui/description.h"
#include "app/gui/help_line.h"
#include "app/scenes/wait.h"
#include "app/scenes/workspace.h"
#include "app/scenes/workspace_commands.h"
#include "app/scenes/workspace_model.h"
#include "app/shell/frame_timer.h"
#include "framework/containers/nstring.h"
#include "framework/error/trace.h"
#include "framework/text/string_ids.h"
#include "framework/text/string_table.h"
#include "sound/clip.h"

namespace Scene::Main {

namespace {

CTimeChanger*& CurrentSlot() {
    static CTimeChanger* current = nullptr;
    return current;
}

// The button ids.
constexpr int32_t kConfirm = 0;
constexpr int32_t kCancel = 1;

}  // namespace

CTimeChanger* CTimeChanger::Current() { return CurrentSlot(); }

CTimeChanger::CTimeChanger() {
    SE_MARK();
    Help::CLines description;
    Help::AddLine(description, "音声の再生時間(ミリ秒単位)");
    bar.Setup(100, 200, 200, "再生時間", description);
    bar.SetRange(kMinimumValue, kMaximumValue);
    bar.SetValue(static_cast<int32_t>(SharedClipState().currentDurationMs / kStepMs));
    bar.SetEnabled(true);

    CurrentSlot() = this;

    const NVireo::NText::CStringTable& strings = NVireo::NText::ApplicationStrings();
    ratio.fontHeight = bar.valueText.fontHeight;
    ratio.x = bar.valueText.x;
    ratio.y = bar.valueText.y + bar.valueText.fontHeight;
    ratio.SetText("");
    Help::AddLine(ratio.description, strings.Get(StringId::Application::RatioDescription).c_str());
    ratio.SetEnabled(true);
    const int32_t width = ::Button::NDetail::ScreenWidth();
    Help::CLines confirmLines;
    Help::AddLine(confirmLines, strings.Get(StringId::Application::ConfirmDescription).c_str());
    buttons.AddButton().SetupAt(width / 2 - width / 4 - 64,
                                strings.Get(StringId::Application::ConfirmCaption).c_str(),
                                confirmLines, ::Button::ShortcutKey(0), kConfirm);
    Help::CLines cancelLines;
    Help::AddLine(cancelLines, strings.Get(StringId::Application::CancelDescription).c_str());
    buttons.AddButton().SetupAt(width / 2 + width / 4 - 64,
                                strings.Get(StringId::Application::CancelCaption).c_str(),
                                cancelLines, ::Button::ShortcutKey(1), kCancel);

    Help::Line::SetTitle("再生時間変更");
    Help::Line::SetBarText("スクロールバーで再生時間を変更してください");
}

CTimeChanger::~CTimeChanger() {
    if (CurrentSlot() == this) CurrentSlot() = nullptr;
}

uint32_t CTimeChanger::ChosenMs() {
    SE_MARK();
    return static_cast<uint32_t>(bar.GetValue()) * kStepMs;
}

std::string CTimeChanger::ValueText(uint32_t ms) {
    SE_MARK();
    const double seconds = ms / 1000.0;
    NVireo::NString::BBasic<char> text;
    text.Format("%uミリ秒(約%0.2f秒)(約%0.2f分)", ms, seconds, seconds / 60.0);
    return text.c_str();
}

std::string CTimeChanger::RatioText(uint32_t ms, uint32_t currentMs) {
    SE_MARK();
    if (currentMs == 0 || ms == 0) return std::string();
    const double multiple = static_cast<double>(ms) / currentMs;
    double semitones = 12.0 * std::log2(static_cast<double>(currentMs) / ms);
    if (std::fabs(semitones) < 0.005) semitones = 0.0;  // never "-0.00"
    char text[64];
    std::snprintf(text, sizeof text,
                  multiple < 0.01 ? "x%.4f / %s%.2f 半音" : "x%.2f / %s%.2f 半音", multiple,
                  semitones > 0 ? "+" : "", semitones);
    return text;
}

void CTimeChanger::Update() {
    SE_MARK();
    // The bar's repeat runs in the widgets' tick, once a frame, before this update.
    if (!bar.disabled) {
        bar.SetValueText(ValueText(ChosenMs()).c_str());
        const CClipState& state = SharedClipState();
        ratio.SetText(state.loaded ? RatioText(ChosenMs(), state.currentDurationMs).c_str() : "");
    }
    buttons.PollButtons();  // last: a chosen button replaces this scene
}

void CTimeChanger::Draw() {
    SE_MARK();
    ClearBackBuffer();
    bar.Draw();
    ratio.Draw();
    buttons.DrawButtons();
    Help::Line::DrawOverlay();
}

void CTimeChanger::CNexter::Select(int32_t id) {
    SE_MARK();
    CTimeChanger* dialog = Current();
    if (id != kConfirm || dialog == nullptr) {
        GoToWorkSpace();
        return;
    }
    const uint32_t ms = dialog->ChosenMs();
    CClipState& state = SharedClipState();
    if (state.loaded) {
        state.requestedDurationMs = ms;
        GoToTimeChangeWait();
        return;
    }
    // Without a loaded clip there is nothing to change: the workspace gets a silent clip
    // of the chosen length, still not loaded (or, without the memory for it, the clip it
    // had).
    if (PutSilentClip(ms)) {
        state.currentDurationMs = ms;
    } else {
        ShowMessage(kNoMemoryMessage);
    }
    GoToWorkSpace();
}

}  // namespace Scene::Main
