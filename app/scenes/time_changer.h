// The duration dialog: a scene in which the user picks the clip's new playback duration
// on a scroll bar, in steps of 100 ms from 100 ms to ten minutes, sees under the value
// what that does to the clip (a multiple of its duration and the pitch change in
// semitones), and confirms (Q) or cancels (W). Confirming a loaded clip starts the duration change
// behind its wait screen; cancelling returns to the workspace with nothing changed.
#pragma once

#include <cstdint>
#include <string>

#include "app/gui/button.h"
#include "app/gui/label.h"
#include "app/gui/scroll_bar_object.h"
#include "app/shell/scene.h"

namespace Scene::Main {

class CTimeChanger : public CInterface {
public:
    // The buttons' owner: 0 confirms, anything else cancels.
    class CNexter {
    public:
        static void Select(int32_t id);
    };

    // Bar values 1 to 6000 stand for 100 ms to 600000 ms.
    static constexpr int32_t kStepMs = 100;
    static constexpr int32_t kMinimumValue = 1;
    static constexpr int32_t kMaximumValue = 6000;

    // The bar at (100, 200), 200 long, starting at the current duration (integer
    // hundreds of milliseconds, kept within the range); confirm at x 96 and cancel at
    // x 416 on row 300; the title "再生時間変更" and the bar's hint.
    CTimeChanger();
    ~CTimeChanger() override;

    // The bar's value text (the bar steps in the widgets' tick), the ratio line; the
    // buttons' shortcuts.
    void Update() override;
    // Black, the bar, the buttons, then the help line and description boxes.
    void Draw() override;

    // The milliseconds the bar stands at.
    uint32_t ChosenMs();
    // "%uミリ秒(約%0.2f秒)(約%0.2f分)" for ms, in plain decimal minutes.
    static std::string ValueText(uint32_t ms);
    // "x1.25 / -3.86 半音": ms as a multiple of currentMs and the pitch change that makes,
    // 12 x log2(currentMs / ms) semitones (up when shorter, signed, 0.00 for none); empty
    // without a current duration.
    static std::string RatioText(uint32_t ms, uint32_t currentMs);

    // The dialog being shown, or null.
    static CTimeChanger* Current();

    ::Button::Box::CColumn<CNexter> buttons;
    ::ScrollBar::CObject bar;
    // The ratio line, one line under the bar's value text; empty for a clip not loaded.
    ::Label::Aid::TS::CSingle ratio;
};

}  // namespace Scene::Main
