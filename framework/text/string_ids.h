// The ids of every text the program takes from its two string tables, in one list per
// table. Code names a text by its constant here (never by a bare number), and the tests
// walk these lists to make sure the built package holds every one of them.
//
// The application table holds the product's own texts: its name and version, the
// captions and descriptions the screens put on buttons, scroll bars and check boxes, and
// why a WAV file was refused.
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
    X(RefusedNotSeekable, 2000)       \
    X(RefusedAborted, 2001)           \
    X(RefusedNotRiffWave, 2002)       \
    X(RefusedNoDataChunk, 2003)       \
    X(RefusedNoFmtChunk, 2004)        \
    X(RefusedDataBeforeFmt, 2005)     \
    X(RefusedChunkPastEnd, 2006)      \
    X(RefusedFmtTooShort, 2007)       \
    X(RefusedEndsInFmt, 2008)         \
    X(RefusedExtensibleShort, 2009)   \
    X(RefusedUnsupportedFormat, 2010) \
    X(RefusedNoDuration, 2011)        \
    X(RefusedBlockBelowFrame, 2012)   \
    X(RefusedBlockNotFrame, 2013)     \
    X(RefusedUnknownSizeLarge, 2014)  \
    X(RefusedDataPastEnd, 2015)       \
    X(RefusedOutOfMemory, 2016)       \
    X(RefusedEndsInData, 2017)        \
    X(RefusedCannotOpen, 2018)        \
    X(RefusedNotWaveName, 2019)       \
    X(RefusedShorterThanHeader, 2020) \
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
    X(ErrorUnwritten, 5350)        \
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
