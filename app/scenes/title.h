// The title: its start scene, and the title menu itself (reached with F9 and from the
// setting scene's back button): four box buttons that slide in under the logo, the
// copyright line and the help bar. "ゲームプレイ" returns to the workspace with the clip
// as it was, "設定変更" opens the setting scene, "終了" ends the program; "続きから" has
// no action in this program.
#pragma once

#include <cstdint>

#include "app/gui/button.h"
#include "app/gui/label.h"
#include "app/gui/sprites.h"
#include "app/shell/scene.h"
#include "framework/containers/list.h"
#include "framework/gui/mover.h"

namespace Scene::Title {

class CStart : public CInterface {
public:
    void Draw() override;    // clears the back buffer
    void Update() override;  // GoToTitle
};

// Where the setting scene was opened from: 2 at start-up, 1 once the title menu has
// handed a button over (the setting scene's back button then returns to the title).
uint32_t& SceneReturnMarker();

// The menu's texts by index (the index is also the button's id).
class CDescription {
public:
    static constexpr int32_t kCount = 4;
    static const char* Caption(int32_t index);
    static const char* Line(int32_t index);
};

// The menu's shortcut keys by index: Q, W, E, R.
class CID {
public:
    static uint16_t Key(int32_t index) { return Button::ShortcutKey(index); }
};

// What the menu's buttons do.
class CNexter {
public:
    static void Select(int32_t id);
};

// The logo picture, loaded from the package on construction; empty (and not drawn) when
// the package does not hold it.
class CLogoSprite : public Sprite::CBasic {
public:
    CLogoSprite();
};

// The menu mechanics: buttons laid out in a column, sliding in, polled for their keys.
template <typename TDescription, typename TID, typename TNexter>
class BMainButtonType : public CInterface {
public:
    using CButton = Button::Box::CPlate<TNexter>;
    using CMover = NVireo::NGUI::NAction::BMover1X<CButton>;

    Sprite::CBasic background;  // drawn only once a picture is loaded into it
    CLogoSprite logo;
    Button::Box::CColumn<TNexter> menu;
    Label::Out::CMainBoxer copyright;
    hoard::list::basic<hoard::ptr::auton<CMover>> movers;

    BMainButtonType();
    void DrawScene() override = 0;
    void DrawEffect() override {}
    // The scene, then the help line and description boxes.
    void Draw() override;
    // A runtime error number left set is reported; the movers step; the buttons' keys are
    // polled (true when one fired: the owner may have switched the scene).
    void Update() override;
    virtual void DrawMenu();
};

class CMain : public BMainButtonType<CDescription, CID, CNexter> {
public:
    // Clears the back and depth buffers, resets the texture stage, draws the menu.
    void DrawScene() override;
};

}  // namespace Scene::Title
