// The ids of every text the program takes from its two string tables, in one list per
// table. Code names a text by its constant here (never by a bare number), and the tests
// walk these lists to make sure the built package holds every one of them.
//
// The application table holds the product's own texts: its name and version, and the
// captions and descriptions the screens put on buttons, scroll bars and check boxes.
// The system table holds the framework's texts: message-box captions and messages, the
// settings-file keys and the placeholder painted before the first frame.
#pragma once

#include <cstdint>

// X(name, id) for each text of the application table (Program/String/Strings.pd).
#define SE_APPLICATION_STRINGS(X)     \
    X(ProductName, 0)                 \
    X(CompanyName, 3)                 \
    X(VersionText, 4)                 \
    X(ScrollBarHelpThumb, 300)        \
    X(ScrollBarHelpArrows, 310)       \
    X(ScrollBarHelpTrack, 320)        \
    X(ScrollBarHelpWheel, 330)        \
    X(NextDescription, 400)           \
    X(NextCaption, 410)               \
    X(BackDescription, 500)           \
    X(BackCaption, 510)               \
    X(ConfirmDescription, 600)        \
    X(ConfirmCaption, 610)            \
    X(RatioDescription, 700)          \
    X(CancelDescription, 800)         \
    X(CancelCaption, 810)             \
    X(ShortcutKeyLine, 900)           \
    X(UndoHint, 1000)                 \
    X(MusicSwitchDescription, 1500)   \
    X(MusicVolumeDescription, 1510)   \
    X(EffectSwitchDescription, 1600)  \
    X(EffectVolumeDescription, 1610)  \
    X(BrightnessDescription, 1700)    \
    X(GraphicEffectDescription, 1710) \
    X(BrightnessLabel, 11220)         \
    X(MusicVolumeLabel, 11240)        \
    X(EffectVolumeLabel, 11260)

// X(name, id) for each text of the system table (Program/String/System.pd).
#define SE_SYSTEM_STRINGS(X)       \
    X(OverwriteQuestion, 200)      \
    X(OverwriteConfirm, 210)       \
    X(OverwriteCaption, 220)       \
    X(ErrorCaption, 5210)          \
    X(ErrorMessage, 5340)          \
    X(SettingsProduct, 11000)      \
    X(SettingsFormat, 11010)       \
    X(SettingsLeft, 11020)         \
    X(SettingsTop, 11030)          \
    X(SettingsMaximised, 11040)    \
    X(SettingsClientWidth, 11050)  \
    X(SettingsClientHeight, 11060) \
    X(StartingPlaceholder, 100000)

namespace StringId {
#define SE_STRING_ID_CONSTANT(name, id) inline constexpr uint32_t name = id;
namespace Application {
SE_APPLICATION_STRINGS(SE_STRING_ID_CONSTANT)
}
namespace System {
SE_SYSTEM_STRINGS(SE_STRING_ID_CONSTANT)
}
#undef SE_STRING_ID_CONSTANT

#define SE_STRING_ID_VALUE(name, id) id,
inline constexpr uint32_t kApplicationIds[] = {SE_APPLICATION_STRINGS(SE_STRING_ID_VALUE)};
inline constexpr uint32_t kSystemIds[] = {SE_SYSTEM_STRINGS(SE_STRING_ID_VALUE)};
#undef SE_STRING_ID_VALUE
}  // namespace StringId
