// The setting scene: the "BGM", "SE" and "Graphic Effect" switches, the music and effect
// volumes and the brightness, each applied at once; back returns to the title, next goes
// on to the title through the opening start. The values live for the rest of the run and
// are not written to the settings file.
#pragma once

#include <cstdint>

#include "app/gui/button.h"
#include "app/gui/check_box.h"
#include "app/gui/label.h"
#include "app/gui/plate.h"
#include "app/gui/scroll_bar_object.h"
#include "app/shell/scene.h"

namespace Scene::Setting {

// The back button's owner: returns to where the scene was opened from.
class CBacker {
public:
    static void Select(int32_t);
};

// The graphic-effect check box's owner: switches the effect.
class CGraphicEffectChanger {
public:
    static void Select(int32_t state);
};

class CGraphicEffectButton : public ::Button::OnOf::CCheckBox<CGraphicEffectChanger> {
public:
    CGraphicEffectButton();
};

namespace Button {

// Every widget of the scene, set up from the current values.
class CBase : public Scene::CInterface {
public:
    // The next button's owner: on to the title through the opening start scene.
    class CNexterFirstRunning {
    public:
        static void Select(int32_t);
    };

    Label::CCaption caption;
    ::Button::FullBack::CObject fullBack;
    ::Button::Back::CObject<CBacker> back;
    ::Button::Next::CObject<CNexterFirstRunning> next;
    ::Button::OnOf::CBGM music;
    ScrollBar::CObject musicVolume;
    ::Button::OnOf::CSE effects;
    ScrollBar::CObject effectVolume;
    ScrollBar::CObject brightness;
    CGraphicEffectButton graphicEffect;

    CBase();
    void DrawScene() override {}
    void DrawEffect() override {}
    void Draw() override = 0;
    void Update() override = 0;
};

}  // namespace Button

class CMain : public Button::CBase {
public:
    // Black, then every widget and text, then the help line and description boxes.
    void Draw() override;
    // The volume bars follow their switches; the buttons' keys are polled (a fired one
    // ends the frame's work: the scene may be gone); the bars' values become the music
    // volume (applied to the playing music), the effect volume and the brightness.
    void Update() override;
};

// A bar's value as the value it stands for: value / maximum + the bar's display offset.
double BarFraction(const ScrollBar::CObject& bar);

}  // namespace Scene::Setting
