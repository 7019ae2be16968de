// The button family: the GUI palette and the pulse colour; the press, release, shortcut
// and capture-end state machine with its owner calls; box captions and descriptions with
// the key line; check boxes toggling on press and hit-tested by their picture's mask; the
// column's shortcut polls; and the plates' pixels on the headless device.
#include "app/gui/button.h"

#include <d3d8_seams.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "app/audio/sound_effects.h"
#include "app/gui/check_box.h"
#include "app/gui/plate.h"
#include "app/shell/app_state.h"
#include "app/shell/frame_timer.h"
#include "app/shell/keyboard_handler.h"
#include "framework/gui/dispatch.h"
#include "framework/gui/palette.h"
#include "framework/package/package.h"
#include "framework/platform/home.h"
#include "framework/render/direct3d.h"
#include "framework/text/string_table.h"
#include "framework/window/keyboard.h"
#include "framework/window/window.h"
#include "support/audio_child.h"
#include "support/main_window_fixture.h"
#include "support/test_support.h"
#include "support/user32_support.h"

namespace {

namespace N3D = NVireo::NDirectX::N3D;
using NVireo::NGUI::NButton::kIdle;
using NVireo::NGUI::NButton::kPressed;

TEST(GuiPalette, ChannelsDoubleAndHalveAroundTheBaseKeepingItsAlpha) {
    const struct {
        DWORD base, light, dark;
    } cases[] = {
        {0xE0827D73u, 0xE0FFFAE6u, 0xE0413E39u},  // the program's base
        {0x80FF0001u, 0x80FF0002u, 0x807F0000u},  // clamped at 255, odd halves truncated
        {0x00000000u, 0x00000000u, 0x00000000u},
        {0xFF7F8081u, 0xFFFEFFFFu, 0xFF3F4040u},  // 127 doubles to 254, 128 clamps
    };
    for (const auto& c : cases) {
        const NVireo::NGUI::CGuiPalette p = NVireo::NGUI::PaletteFrom(c.base);
        EXPECT_EQ(p.fill, c.base) << std::hex << c.base;
        EXPECT_EQ(p.light, c.light) << std::hex << c.base;
        EXPECT_EQ(p.dark, c.dark) << std::hex << c.base;
    }
}

TEST(GuiPalette, SettingItAgainReplacesEveryColour) {
    NVireo::NGUI::SetGuiPalette(0xFF204060u);
    EXPECT_EQ(NVireo::NGUI::GuiPalette().light, 0xFF4080C0u);
    NVireo::NGUI::SetGuiPalette(NVireo::NGUI::kDefaultGuiBase);
    EXPECT_EQ(NVireo::NGUI::GuiPalette().fill, 0xE0827D73u);
    EXPECT_EQ(NVireo::NGUI::GuiPalette().light, 0xE0FFFAE6u);
    EXPECT_EQ(NVireo::NGUI::GuiPalette().dark, 0xE0413E39u);
}

TEST(GuiPalette, PulseColourIsAnOpaqueGreyUpToHalfWhite) {
    const struct {
        float pulse;
        DWORD color;
    } cases[] = {
        {0.0f, 0xFF000000u},  {0.5f, 0xFF404040u},
        {1.0f, 0xFF808080u},  {0.999f, 0xFF7F7F7Fu},
        {0.05f, 0xFF060606u}, {-0.05f, 0xFF000000u},
        {1.05f, 0xFF808080u}, {std::numeric_limits<float>::quiet_NaN(), 0xFF000000u},
    };
    for (const auto& c : cases) EXPECT_EQ(NVireo::NGUI::PulseColor(c.pulse), c.color) << c.pulse;
}

// Each owner records what its buttons hand over.
std::vector<int32_t>& Calls() {
    static std::vector<int32_t> calls;
    return calls;
}
struct COwner {
    static void Select(int32_t id) { Calls().push_back(id); }
};
// An owner whose Select takes no id.
struct CBareOwner {
    static void Select() { Calls().push_back(-100); }
};

// Description lines from texts.
struct Lines : Help::CLines {
    Lines(std::initializer_list<const char*> texts) {
        for (const char* text : texts) Help::AddLine(*this, text);
    }
};

// The main window, keys, headless device and package of the widget tests, with the
// owners' record emptied for each test.
class Buttons : public gui_test::MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        Calls().clear();
    }

    static std::vector<std::string> Texts(const Help::CLines& lines) {
        std::vector<std::string> texts;
        for (const auto& line : lines) texts.emplace_back(line.c_str());
        return texts;
    }

    NVireo::NGUI::PointerPosition pointer_{0, 0, 0, 0};
};

TEST_F(Buttons, SetUpTakesTheRectangleTheKeyAndTheDescriptionWithTheKeyLine) {
    Button::Box::CPlate<COwner> button;
    EXPECT_EQ(button.ownerWindow, window_.hwnd) << "registered against the main window";
    EXPECT_EQ(button.id, -1);
    button.Setup(RECT{10, 20, 137, 47}, "読み込み", Lines({"一行目", "二行目"}), 'Q', 3);
    EXPECT_EQ(button.id, 3);
    EXPECT_EQ(button.x, 10);
    EXPECT_EQ(button.y, 20);
    EXPECT_EQ(button.shortcutKey, 'Q');
    EXPECT_STREQ(button.idleText.text.c_str(), "Q 読み込み");
    EXPECT_STREQ(button.pressedText.text.c_str(), "Q 読み込み");
    EXPECT_EQ(button.idleText.ChipCount(), 6u);
    const std::vector<std::string> expected = {"一行目", "二行目", "ショートカットキー: Q"};
    EXPECT_EQ(Texts(button.description), expected);
    // The caption sits 4 pixels in, centred vertically; the pressed look a pixel lower.
    EXPECT_EQ(button.captionX, 14);
    EXPECT_EQ(button.captionY, 20 + (27 - Button::kBoxCaptionHeight) / 2);

    // Without a key: two blanks and no key line; set-up again replaces everything.
    button.SetupAt(200, "保存", Lines({"説明"}), 0, 5);
    EXPECT_EQ(button.left, 200);
    EXPECT_EQ(button.top, 300);
    EXPECT_EQ(button.right, 327);
    EXPECT_EQ(button.bottom, 331);
    EXPECT_STREQ(button.idleText.text.c_str(), "  保存");
    EXPECT_EQ(Texts(button.description), std::vector<std::string>{"説明"});
}

TEST_F(Buttons, BoxHitTestsIncludeTheTopLeftAndExcludeTheBottomRight) {
    Button::Box::CPlate<COwner> button;
    button.Setup(RECT{10, 20, 137, 47}, "A", Lines({}), 0, 0);
    const struct {
        int32_t x, y;
        bool hit;
    } cases[] = {{10, 20, true},   {136, 46, true}, {9, 20, false}, {10, 19, false},
                 {137, 30, false}, {50, 47, false}, {70, 33, true}};
    for (const auto& c : cases) {
        EXPECT_EQ(button.HitTest(c.x, c.y), c.hit) << c.x << "," << c.y;
        EXPECT_EQ(button.HitTestPointer(c.x, c.y), c.hit) << c.x << "," << c.y;
    }
    button.SetEnabled(false);
    EXPECT_FALSE(button.HitTest(70, 33)) << "disabled";
    button.SetEnabled(true);
    button.Unregister();
    EXPECT_FALSE(button.HitTest(70, 33)) << "unregistered";
}

TEST_F(Buttons, PressAndReleaseClickOnceAndCaptureEndCancels) {
    Button::Box::CPlate<COwner> button;
    button.Setup(RECT{10, 20, 137, 47}, "A", Lines({"d"}), 0, 7);
    button.OnLeftUp(pointer_, 0);
    EXPECT_TRUE(Calls().empty()) << "a release without a press does nothing";

    button.OnLeftDown(pointer_, MK_LBUTTON);
    EXPECT_EQ(button.state, uint32_t{kPressed});
    EXPECT_TRUE(Calls().empty()) << "the owner hears of the click on release";
    button.OnLeftUp(pointer_, 0);
    EXPECT_EQ(button.state, uint32_t{kIdle});
    EXPECT_EQ(Calls(), std::vector<int32_t>{7});
    button.OnLeftUp(pointer_, 0);
    EXPECT_EQ(Calls(), std::vector<int32_t>{7}) << "a second release is no second click";

    button.OnLeftDown(pointer_, MK_LBUTTON);
    button.OnCaptureEnd(pointer_, MK_LBUTTON | MK_RBUTTON);
    EXPECT_EQ(button.state, uint32_t{kIdle});
    button.OnLeftUp(pointer_, 0);
    EXPECT_EQ(Calls(), std::vector<int32_t>{7}) << "cancelled: the release does nothing";
}

TEST_F(Buttons, LockedIgnoresPressesAndInactiveGoesDownButDoesNothing) {
    Button::Box::CPlate<COwner> button;
    button.Setup(RECT{10, 20, 137, 47}, "A", Lines({"d"}), 'Q', 2);

    button.locked = 1;
    button.OnLeftDown(pointer_, MK_LBUTTON);
    EXPECT_EQ(button.state, uint32_t{kIdle});
    button.OnLeftUp(pointer_, 0);
    Key(SDLK_q, true);
    EXPECT_FALSE(button.PollShortcut());
    EXPECT_FALSE(button.PollShortcut());
    Key(SDLK_q, false);
    EXPECT_EQ(button.state, uint32_t{kIdle});
    EXPECT_TRUE(Calls().empty());

    button.locked = 0;
    button.inactive = 1;
    button.OnLeftDown(pointer_, MK_LBUTTON);
    EXPECT_EQ(button.state, uint32_t{kPressed}) << "an inactive button still goes down";
    button.OnPointerMove(pointer_, MK_LBUTTON);
    EXPECT_EQ(Help::Normal::SharedBox().lines.count, 0) << "and shows no description";
    button.OnLeftUp(pointer_, 0);
    EXPECT_EQ(button.state, uint32_t{kIdle});
    Key(SDLK_q, true);
    EXPECT_FALSE(button.PollShortcut());
    EXPECT_FALSE(button.PollShortcut());
    Key(SDLK_q, false);
    EXPECT_TRUE(Calls().empty());

    button.inactive = 0;
    button.OnPointerMove(pointer_, 0);
    EXPECT_EQ(Texts(Help::Normal::SharedBox().lines),
              (std::vector<std::string>{"d", "ショートカットキー: Q"}));
    EXPECT_EQ(Help::Normal::SharedBox().mode, int32_t{Help::Normal::kModeButton});
    button.OnPointerLeave(pointer_, 0);
    EXPECT_EQ(Help::Normal::SharedBox().lines.count, 0);
}

TEST_F(Buttons, TheShortcutFiresOnceOneFrameAfterTheKeyWentDown) {
    Button::Box::CPlate<COwner> button;
    button.Setup(RECT{10, 20, 137, 47}, "A", Lines({}), 'W', 1);
    EXPECT_FALSE(button.PollShortcut());

    Key(SDLK_w, true);
    EXPECT_FALSE(button.PollShortcut()) << "the frame that sees the press";
    EXPECT_EQ(button.state, uint32_t{kPressed});
    EXPECT_EQ(button.pressedByKey, 1u);
    EXPECT_TRUE(Calls().empty());
    EXPECT_TRUE(button.PollShortcut()) << "the next frame";
    EXPECT_EQ(button.state, uint32_t{kIdle});
    EXPECT_EQ(Calls(), std::vector<int32_t>{1});
    for (int frame = 0; frame < 5; ++frame) EXPECT_FALSE(button.PollShortcut()) << "held";
    Key(SDLK_w, false);
    EXPECT_FALSE(button.PollShortcut());

    // Released before the next frame: it fires all the same.
    Key(SDLK_w, true);
    EXPECT_FALSE(button.PollShortcut());
    Key(SDLK_w, false);
    EXPECT_TRUE(button.PollShortcut()) << "fires whether or not the key is still held";
    EXPECT_EQ(Calls(), (std::vector<int32_t>{1, 1}));

    // Other keys, a key of 0 and a disabled button do nothing.
    Key(SDLK_q, true);
    EXPECT_FALSE(button.PollShortcut());
    EXPECT_FALSE(button.PollShortcut());
    Key(SDLK_q, false);
    button.SetEnabled(false);
    Key(SDLK_w, true);
    EXPECT_FALSE(button.PollShortcut());
    EXPECT_FALSE(button.PollShortcut());
    Key(SDLK_w, false);
    EXPECT_EQ(Calls(), (std::vector<int32_t>{1, 1}));
}

TEST_F(Buttons, NoShortcutWhileTheWindowIsInactive) {
    Button::Box::CPlate<COwner> button;
    button.Setup(RECT{10, 20, 137, 47}, "A", Lines({}), 'E', 9);
    // A press seen just before the window went inactive fires once it is active again.
    Key(SDLK_e, true);
    EXPECT_FALSE(button.PollShortcut());
    Main::State().active = 0;
    EXPECT_FALSE(button.PollShortcut());
    EXPECT_TRUE(Calls().empty());
    Main::State().active = 1;
    EXPECT_TRUE(button.PollShortcut());
    Key(SDLK_e, false);
    EXPECT_EQ(Calls(), std::vector<int32_t>{9});

    Main::State().active = 0;
    Key(SDLK_e, true);
    for (int frame = 0; frame < 3; ++frame) EXPECT_FALSE(button.PollShortcut());
    EXPECT_EQ(button.state, uint32_t{kIdle});
    Key(SDLK_e, false);
    EXPECT_EQ(Calls(), std::vector<int32_t>{9});
}

TEST_F(Buttons, OwnersWithoutAnIdAreCalledWithout) {
    Button::Box::CPlate<CBareOwner> button;
    button.Setup(RECT{10, 20, 137, 47}, "中止", Lines({}), 'A', 0);
    button.OnLeftDown(pointer_, MK_LBUTTON);
    button.OnLeftUp(pointer_, 0);
    Key(SDLK_a, true);
    button.PollShortcut();
    EXPECT_TRUE(button.PollShortcut());
    Key(SDLK_a, false);
    EXPECT_EQ(Calls(), (std::vector<int32_t>{-100, -100}));
}

TEST_F(Buttons, ColumnRowsAndItsPollStopsAtTheFirstButtonThatFires) {
    Button::Box::CColumn<COwner> column;
    column.x = 256;
    column.y = 200;
    const RECT row0 = column.RowRect(0);
    const RECT row2 = column.RowRect(2);
    EXPECT_EQ(row0.left, 256);
    EXPECT_EQ(row0.top, 202);
    EXPECT_EQ(row0.right, 383);
    EXPECT_EQ(row0.bottom, 229);  // 127 x 27
    EXPECT_EQ(row2.top, 266);     // rows 32 apart
    EXPECT_EQ(row2.bottom, 293);

    const char* captions[] = {"一", "二", "三"};
    for (int32_t i = 0; i < 3; ++i) {
        column.AddButton().Setup(column.RowRect(i), captions[i], Lines({}), Button::ShortcutKey(i),
                                 i);
    }
    EXPECT_EQ(column.buttons.count, 3);

    // Q and W in the same frame: both go down; the next frames fire them one at a time.
    Key(SDLK_q, true);
    Key(SDLK_w, true);
    EXPECT_FALSE(column.PollButtons());
    EXPECT_TRUE(column.PollButtons());
    EXPECT_EQ(Calls(), std::vector<int32_t>{0});
    EXPECT_TRUE(column.PollButtons());
    EXPECT_EQ(Calls(), (std::vector<int32_t>{0, 1}));
    EXPECT_FALSE(column.PollButtons());
    Key(SDLK_q, false);
    Key(SDLK_w, false);

    // Locked and inactive buttons are skipped: their key does nothing.
    auto* third = &*++ ++column.buttons.begin();
    third->locked = 1;
    Key(SDLK_e, true);
    EXPECT_FALSE(column.PollButtons());
    EXPECT_FALSE(column.PollButtons());
    Key(SDLK_e, false);
    third->locked = 0;
    third->inactive = 1;
    Key(SDLK_e, true);
    EXPECT_FALSE(column.PollButtons());
    EXPECT_FALSE(column.PollButtons());
    Key(SDLK_e, false);
    EXPECT_EQ(Calls(), (std::vector<int32_t>{0, 1}));
}

TEST_F(Buttons, CheckBoxesToggleOnPressAndKeepTheirStateWhenTheCaptureEnds) {
    Button::OnOf::CCheckBox<COwner> box("Graphic Effect");
    box.Setup(300, Lines({"切り替え"}));
    EXPECT_EQ(box.x, 220);
    EXPECT_EQ(box.y, 300);
    EXPECT_EQ(box.id, 0);
    EXPECT_EQ(Texts(box.description), std::vector<std::string>{"切り替え"}) << "no key line";
    EXPECT_EQ(box.labelX, 32 + 222);
    EXPECT_EQ(box.labelY, 300 + (32 - 12) / 2);
    EXPECT_STREQ(box.labelText.text.c_str(), "Graphic Effect");

    box.OnLeftDown(pointer_, MK_LBUTTON);
    EXPECT_EQ(box.state, 1u);
    EXPECT_EQ(Calls(), std::vector<int32_t>{1});
    box.OnLeftUp(pointer_, 0);
    EXPECT_EQ(box.state, 1u) << "releases do nothing";
    box.OnCaptureEnd(pointer_, 0);
    EXPECT_EQ(box.state, 1u) << "the capture end keeps the state";
    box.locked = 1;  // not consulted
    box.OnLeftDown(pointer_, MK_LBUTTON);
    EXPECT_EQ(box.state, 0u);
    EXPECT_EQ(Calls(), (std::vector<int32_t>{1, 0}));
}

TEST_F(Buttons, CheckBoxesAreHitOnlyWhereThePictureIsOpaque) {
    Button::OnOf::CSE box;
    box.Setup(150, Lines({}));
    const Button::Image::CChip& on = box.pictures->on;
    ASSERT_EQ(on.MaskWidth(), 32u);
    ASSERT_EQ(on.MaskHeight(), 32u);
    EXPECT_STREQ(box.labelText.text.c_str(), "SE");
    // The first opaque column of the middle row: the pixel before it misses.
    int32_t first = 0;
    while (first < 32 && !on.Covers(first, 16)) ++first;
    ASSERT_GT(first, 0) << "the picture has a see-through margin";
    ASSERT_LT(first, 16);
    const struct {
        int32_t x, y;
        bool hit;
    } cases[] = {
        {220 + 16, 150 + 16, true},     // the middle
        {220, 150, false},              // the see-through corner
        {220 + first, 150 + 16, true},  // the edge of the box
        {220 + first - 1, 150 + 16, false},
        {220 + 32, 150 + 16, false},  // right of the picture
        {220 + 16, 150 + 32, false},  // below it
        {219, 150 + 16, false},       // left of it
        {220 + 16, 149, false},       // above it
    };
    for (const auto& c : cases) EXPECT_EQ(box.HitTest(c.x, c.y), c.hit) << c.x << "," << c.y;
    EXPECT_FALSE(box.HitTestPointer(236, 166)) << "check boxes keep the base's pointer test";
    box.SetEnabled(false);
    EXPECT_FALSE(box.HitTest(236, 166));
}

TEST_F(Buttons, TheEffectBoxSwitchesTheInterfaceSounds) {
    Button::OnOf::CSE effects;
    effects.Setup(150, Lines({}));
    effects.clickSound = 0;
    SoundEffectBank().SetEnabled(0);
    effects.OnLeftDown(pointer_, MK_LBUTTON);
    EXPECT_TRUE(SoundEffectBank().IsEnabled());
    effects.OnLeftDown(pointer_, MK_LBUTTON);
    EXPECT_FALSE(SoundEffectBank().IsEnabled());
    Button::OnOf::CBGM music;
    music.Setup(100, Lines({}));
    EXPECT_STREQ(music.labelText.text.c_str(), "BGM");
}

TEST_F(Buttons, TheFullBackPlateReadsXAndSizesItselfToItsCaption) {
    Button::FullBack::CObject plate;
    EXPECT_FALSE(plate.HitTest(0, 0)) << "not hit before its caption is laid out";
    plate.Setup(0, 96);
    EXPECT_STREQ(plate.displayedCaption.c_str(), "[X] 全戻り");
    EXPECT_EQ(plate.shortcutKey, 'X');
    EXPECT_EQ(plate.id, 0);
    EXPECT_EQ(plate.fontHeight, 12);
    EXPECT_EQ(Texts(plate.description),
              (std::vector<std::string>{"通常画面に一気に戻ります", "ショートカットキー: X"}));
    EXPECT_EQ(plate.left, 0);
    EXPECT_EQ(plate.top, 96);
    EXPECT_EQ(plate.right, plate.captionText.Width() + 8);
    EXPECT_EQ(plate.bottom, 96 + 12 + 8);
    EXPECT_TRUE(plate.HitTest(0, 96));
    EXPECT_FALSE(plate.HitTest(plate.right, 100));
    // Its owner has no Select: the key only runs the click.
    Key(SDLK_x, true);
    EXPECT_FALSE(plate.PollShortcut());
    EXPECT_TRUE(plate.PollShortcut());
    Key(SDLK_x, false);
    EXPECT_TRUE(Calls().empty());
}

// The click sound: the "OK" effect on a press when the button's sound flag is set, none
// for a locked button or with the flag cleared. In a child, with SDL's dummy audio driver.
TEST(ButtonSounds, APressClicksOnlyWithItsSoundFlagAndNotWhenLocked) {
    TempFolder folder;
    audiotest::Notes notes(folder / "notes.txt");
    const std::string package = NVireo::NFile::HomeFolder() + "Data/package";
    const int code = audiotest::RunWithDriver("dummy", "", [&] {
        RaisePolicy policy;
        NVireo::NRender::ProgramPackage().OpenFrom(package.c_str());
        CHILD_CHECK(notes, NVireo::NDirectX::NSound::SoundDevice().Create(nullptr) == DS_OK);
        CSoundEffectBank& bank = SoundEffectBank();
        bank.Reset(new SE::CSEID);
        bank.SetEnabled(1);
        auto& ok = bank.slots[0]->buffer;
        const NVireo::NGUI::PointerPosition pointer{0, 0, 0, 0};
        Button::Box::CPlate<COwner> button;
        button.clickSound = 0;
        button.OnLeftDown(pointer, MK_LBUTTON);
        CHILD_CHECK(notes, button.state == kPressed && ok.Empty());
        button.OnCaptureEnd(pointer, 0);
        button.clickSound = 1;
        button.locked = 1;
        button.OnLeftDown(pointer, MK_LBUTTON);
        CHILD_CHECK(notes, button.state == kIdle && ok.Empty());
        button.locked = 0;
        button.OnLeftDown(pointer, MK_LBUTTON);
        CHILD_CHECK(notes, !ok.Empty() && ok.IsPlaying());
        notes.Add("DONE");
    });
    ASSERT_EQ(code, kChildReturned);
    audiotest::ExpectDone(notes);
}

// ---- Through the widget dispatcher -----------------------------------------------------

TEST_F(Buttons, APressDraggedOntoTheBackgroundStillClicksOnRelease) {
    Button::Box::CPlate<COwner> button;
    button.Setup(RECT{100, 100, 227, 127}, "A", Lines({}), 0, 6);
    MoveTo(150, 110);
    ASSERT_TRUE(button.IsActive());
    Mouse(SDL_BUTTON_LEFT, true, 150, 110);
    EXPECT_EQ(button.state, uint32_t{kPressed});
    MoveTo(400, 400);
    EXPECT_EQ(button.state, uint32_t{kPressed}) << "held: it keeps the mouse";
    Mouse(SDL_BUTTON_LEFT, false, 400, 400);
    EXPECT_EQ(Calls(), std::vector<int32_t>{6});
    EXPECT_EQ(button.state, uint32_t{kIdle});
    EXPECT_FALSE(button.IsActive()) << "the capture ended with the release";
}

TEST_F(Buttons, ASecondButtonWhileHeldCancelsTheClick) {
    Button::Box::CPlate<COwner> button;
    button.Setup(RECT{100, 100, 227, 127}, "A", Lines({"d"}), 0, 6);
    MoveTo(150, 110);
    Mouse(SDL_BUTTON_LEFT, true, 150, 110);
    Mouse(SDL_BUTTON_RIGHT, true, 150, 110);
    EXPECT_EQ(button.state, uint32_t{kIdle});
    EXPECT_EQ(Help::Normal::SharedBox().lines.count, 0) << "the description goes too";
    Mouse(SDL_BUTTON_LEFT, false, 150, 110);
    Mouse(SDL_BUTTON_RIGHT, false, 150, 110);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(Buttons, TheDescriptionFollowsTheHoverWithTheKeyLine) {
    Button::Box::CPlate<COwner> button;
    button.Setup(RECT{100, 100, 227, 127}, "A", Lines({"読み込みます"}), 'T', 4);
    MoveTo(150, 110);
    EXPECT_EQ(Texts(Help::Normal::SharedBox().lines),
              (std::vector<std::string>{"読み込みます", "ショートカットキー: T"}));
    const int32_t left = Help::Normal::SharedBox().left;
    MoveTo(160, 112);
    EXPECT_EQ(Help::Normal::SharedBox().left, left + 10) << "placed beside the pointer again";
    MoveTo(300, 300);
    EXPECT_EQ(Help::Normal::SharedBox().lines.count, 0);
}

TEST_F(Buttons, AClickOnASeeThroughPixelOfACheckBoxMissesIt) {
    Button::OnOf::CCheckBox<COwner> box("Graphic Effect");
    box.Setup(300, Lines({}));
    MoveTo(220, 300);  // the corner of the picture
    EXPECT_FALSE(box.IsActive());
    Mouse(SDL_BUTTON_LEFT, true, 220, 300);
    Mouse(SDL_BUTTON_LEFT, false, 220, 300);
    EXPECT_EQ(box.state, 0u);
    MoveTo(236, 316);
    Mouse(SDL_BUTTON_LEFT, true, 236, 316);
    EXPECT_EQ(box.state, 1u) << "toggled on the press";
    Mouse(SDL_BUTTON_LEFT, false, 236, 316);
    NVireo::NGUI::PickAtCursor();  // a frame: the still pointer finds the box again
    Mouse(SDL_BUTTON_LEFT, true, 236, 316);
    Mouse(SDL_BUTTON_LEFT, false, 236, 316);
    EXPECT_EQ(box.state, 0u);
    EXPECT_EQ(Calls(), (std::vector<int32_t>{1, 0}));
}

// ---- Pixels --------------------------------------------------------------------------

// The colour c blended at its alpha over black, as 0xRRGGBB.
uint32_t OverBlack(DWORD c) {
    const uint32_t a = c >> 24;
    uint32_t out = 0;
    for (int shift : {16, 8, 0}) out |= (((c >> shift) & 0xFF) * a / 255) << shift;
    return out;
}

using headless::ColorDistance;

class ButtonPixels : public Buttons {
protected:
    // Draws draw over black and answers the target as 0xRRGGBB, top row first.
    std::vector<uint32_t> Frame(const std::function<void()>& draw) {
        EXPECT_TRUE(N3D::Device().BeginScene());
        N3D::ApplyDefaultStates();
        N3D::Device().ClearAll();
        draw();
        EXPECT_TRUE(N3D::Device().EndScene());
        UINT w = 0, h = 0;
        std::vector<DWORD> pixels = SeReadRenderTarget(N3D::Device().Get(), &w, &h);
        std::vector<uint32_t> rgb;
        for (DWORD p : pixels) rgb.push_back(p & 0xFFFFFFu);
        return rgb;
    }
    static uint32_t At(const std::vector<uint32_t>& frame, int32_t x, int32_t y) {
        return frame.at(static_cast<size_t>(y) * N3D::kBackBufferWidth + static_cast<size_t>(x));
    }
};

TEST_F(ButtonPixels, ABoxButtonIsFilledAndEdgedAndSinksWhenPressed) {
    Button::Box::CPlate<COwner> button;
    button.Setup(RECT{100, 100, 300, 140}, "", Lines({}), 0, 0);  // "  ": blank caption
    const NVireo::NGUI::CGuiPalette& palette = NVireo::NGUI::GuiPalette();
    const uint32_t fill = OverBlack(palette.fill);
    const uint32_t light = OverBlack(palette.light);
    const uint32_t dark = OverBlack(palette.dark);
    EXPECT_EQ(light, 0xE0DBCAu);

    for (bool pressed : {false, true}) {
        SCOPED_TRACE(pressed ? "pressed" : "idle");
        button.state = pressed ? kPressed : kIdle;
        const std::vector<uint32_t> frame = Frame([&] { button.Draw(); });
        const uint32_t topLeft = pressed ? dark : light;
        const uint32_t bottomRight = pressed ? light : dark;
        EXPECT_LE(ColorDistance(At(frame, 200, 120), fill), 1) << std::hex << At(frame, 200, 120);
        EXPECT_LE(ColorDistance(At(frame, 200, 100), topLeft), 1);      // top edge
        EXPECT_LE(ColorDistance(At(frame, 100, 120), topLeft), 1);      // left edge
        EXPECT_LE(ColorDistance(At(frame, 200, 139), bottomRight), 1);  // bottom edge
        EXPECT_LE(ColorDistance(At(frame, 299, 120), bottomRight), 1);  // right edge
        EXPECT_EQ(At(frame, 200, 140), 0u) << "the bottom is exclusive";
        EXPECT_EQ(At(frame, 300, 120), 0u) << "the right is exclusive";
        EXPECT_EQ(At(frame, 99, 120), 0u);
        // The key strip darkens the fill a little at the left.
        const uint32_t strip = At(frame, 108, 120);
        EXPECT_LT(strip & 0xFF0000, fill & 0xFF0000);
        EXPECT_GT(strip & 0xFF0000, 0u);
    }

    button.SetEnabled(false);
    const std::vector<uint32_t> frame = Frame([&] { button.Draw(); });
    EXPECT_EQ(At(frame, 200, 120), 0u) << "a disabled button draws nothing";
}

TEST_F(ButtonPixels, TheActiveButtonUnderThePointerGlowsWithThePulse) {
    Button::Box::CPlate<COwner> button;
    button.Setup(RECT{100, 100, 300, 140}, "", Lines({}), 0, 0);
    const uint32_t fill = OverBlack(NVireo::NGUI::GuiPalette().fill);
    const float savedPulse = Main::Pulse().value;
    Main::Pulse().value = 1.0f;
    MoveTo(200, 120);
    ASSERT_TRUE(button.IsActive());
    std::vector<uint32_t> frame = Frame([&] { button.Draw(); });
    EXPECT_LE(ColorDistance(At(frame, 200, 120), fill + 0x808080u), 1)
        << std::hex << At(frame, 200, 120);
    Main::Pulse().value = 0.5f;
    frame = Frame([&] { button.Draw(); });
    EXPECT_LE(ColorDistance(At(frame, 250, 130), fill + 0x404040u), 1);
    // Active but the cursor elsewhere: no glow.
    MoveTo(50, 50);
    NVireo::NGUI::Registry().active = &button;
    NVireo::NGUI::Registry().activeOwner = button.ownerWindow;
    frame = Frame([&] { button.Draw(); });
    EXPECT_LE(ColorDistance(At(frame, 200, 120), fill), 1);
    NVireo::NGUI::ClearActiveWidget();
    Main::Pulse().value = savedPulse;
}

TEST_F(ButtonPixels, AHoveredCheckBoxGlowsOnlyInsideItsPicture) {
    Button::OnOf::CSE box;
    box.Setup(150, Lines({}));
    const float savedPulse = Main::Pulse().value;
    Main::Pulse().value = 1.0f;
    const std::vector<uint32_t> plain = Frame([&] { box.Draw(); });
    MoveTo(236, 166);
    ASSERT_TRUE(box.IsActive());
    const std::vector<uint32_t> glowing = Frame([&] { box.Draw(); });
    EXPECT_GT(At(glowing, 236, 166) & 0xFF, At(plain, 236, 166) & 0xFF);
    EXPECT_EQ(At(glowing, 220, 150), 0u) << "the see-through corner stays dark";
    Main::Pulse().value = savedPulse;
}

// Pixels of the caption area that are mostly red, and that are mostly white.
std::pair<int, int> RedAndWhite(const std::vector<uint32_t>& frame, int32_t left, int32_t top,
                                int32_t right, int32_t bottom) {
    int red = 0, white = 0;
    for (int32_t y = top; y < bottom; ++y) {
        for (int32_t x = left; x < right; ++x) {
            const uint32_t p = frame.at(static_cast<size_t>(y) * N3D::kBackBufferWidth + x);
            const uint32_t r = p >> 16, g = (p >> 8) & 0xFF, b = p & 0xFF;
            if (r > 200 && g < 60 && b < 60) ++red;
            if (r > 200 && g > 200 && b > 200) ++white;
        }
    }
    return {red, white};
}

TEST_F(ButtonPixels, TheCaptionIsWhiteAndTurnsRedWhenLocked) {
    Button::Box::CPlate<COwner> button;
    button.Setup(RECT{100, 100, 300, 140}, "再生", Lines({}), 'R', 0);
    // Inside the edges, whose light colour would count as white.
    std::vector<uint32_t> frame = Frame([&] { button.Draw(); });
    auto [red, white] = RedAndWhite(frame, 101, 101, 299, 139);
    EXPECT_EQ(red, 0);
    EXPECT_GT(white, 20);
    button.locked = 1;
    frame = Frame([&] { button.Draw(); });
    std::tie(red, white) = RedAndWhite(frame, 101, 101, 299, 139);
    EXPECT_GT(red, 20);
    EXPECT_EQ(white, 0);
}

TEST_F(ButtonPixels, TheFullBackPlateSinksWithDarkEdgesAllRound) {
    Button::FullBack::CObject plate;
    plate.Setup(0, 96);
    const NVireo::NGUI::CGuiPalette& palette = NVireo::NGUI::GuiPalette();
    const int32_t middleX = plate.right - 2;
    const int32_t middleY = (plate.top + plate.bottom) / 2;
    for (bool pressed : {false, true}) {
        SCOPED_TRACE(pressed ? "pressed" : "idle");
        plate.state = pressed ? kPressed : kIdle;
        const std::vector<uint32_t> frame = Frame([&] { plate.Draw(); });
        const uint32_t topLeft = OverBlack(pressed ? palette.dark : palette.light);
        EXPECT_LE(ColorDistance(At(frame, middleX, plate.top), topLeft), 1);
        EXPECT_LE(ColorDistance(At(frame, 0, middleY), topLeft), 1);
        EXPECT_LE(ColorDistance(At(frame, middleX, plate.bottom - 1), OverBlack(palette.dark)), 1);
        EXPECT_LE(ColorDistance(At(frame, plate.right - 1, middleY), OverBlack(palette.dark)), 1);
        EXPECT_LE(ColorDistance(At(frame, middleX, middleY), OverBlack(palette.fill)), 1);
    }
}

}  // namespace
