// The register of failure sites: every number the program passes to Raise as the "line"
// of a report (or writes on the emergency path), by the file that reports it. A number
// names one place in the code for good: users send their Error.log files
// ("? __FILE__: 83004"), so a site keeps its number when its code moves, and a new site
// takes a free number from its file's range.
//
// SE_SITE_RANGES gives each group of sites its range and the file or files that report
// with it; SE_SITES lists the sites: X(group, name, number) declares
// NVireo::NError::NSite::group::name. A file names its own group once and reports with
// its constants:
//     namespace Site = NVireo::NError::NSite::NFile;
//     Report(Site::kOpen, path);
// tests/framework/error/sites_test.cpp checks that each site lies in its group's range,
// that ranges do not overlap, that no two sites share a number unless kSharedNumbers
// lists it, that a file reports only with the groups the table gives it, and that no
// Raise is passed a bare number.
//
// The sites of the widget files (mover.cpp to help_line.cpp below) reported their line
// number until they were named; each keeps the number it had then, and its range holds
// just those numbers. A new site in such a file widens the range into numbers no other
// range holds.
//
// Not in the register: a report whose file text is "CRT" carries a C runtime error
// number (the title scenes) or a start-up checkpoint (app/shell/program.cpp) instead of
// a site number.
#pragma once

#include <cstdint>

// X(group, files, first, last), in the order of the numbers.
#define SE_SITE_RANGES(X)                                                \
    X(NMover, "framework/gui/mover.cpp", 10, 25)                         \
    X(NWidget, "framework/gui/widget.cpp", 72, 72)                       \
    X(NApplicationInfo, "app/setup/application_info.cpp", 73, 73)        \
    X(NScrollBar, "framework/gui/scroll_bar.cpp", 90, 90)                \
    X(NDescription, "app/gui/description.cpp", 174, 174)                 \
    X(NDispatch, "framework/gui/dispatch.cpp", 200, 200)                 \
    X(NHelpLine, "app/gui/help_line.cpp", 221, 221)                      \
    X(NString, "framework/containers/nstring.cpp", 2100, 2199)           \
    X(NWindow, "framework/window/window.cpp", 8100, 8119)                \
    X(NDroppedFiles, "framework/window/dropped_files.cpp", 8120, 8129)   \
    X(NWindowPlacement, "app/shell/window_placement.cpp", 8130, 8139)    \
    X(NMainWindow, "app/shell/main_window.cpp", 8140, 8149)              \
    X(NDeviceContext, "framework/window/device_context.cpp", 8150, 8159) \
    X(NProgram, "app/shell/program.cpp", 11000, 11099)                   \
    X(NError, "framework/error/error.cpp", 13000, 13099)                 \
    X(NTrace, "framework/error/trace.cpp", 13100, 13199)                 \
    X(NClip, "sound/clip.cpp", 21000, 21099)                             \
    X(NSoundDevice, "sound/output/sound_device.cpp", 41000, 41099)       \
    X(NSoundEffects, "app/audio/sound_effects.cpp", 41100, 41199)        \
    X(NMediaPlayer, "sound/output/media_player.cpp", 42000, 42099)       \
    X(NMusic, "app/audio/bgm.cpp", 42100, 42199)                         \
    X(NSetting, "app/scenes/setting.cpp", 72000, 72099)                  \
    X(NThread, "framework/platform/thread.cpp", 82100, 82199)            \
    X(NFile, "framework/platform/file.cpp", 83000, 83099)                \
    X(NDialog, "framework/window/dialog.cpp", 84000, 84099)              \
    X(NDirect3D,                                                         \
      "framework/render/direct3d.cpp "                                   \
      "framework/render/device_logs.cpp",                                \
      86100, 86199)                                                      \
    X(NBitmap, "framework/render/bitmap.cpp", 86200, 86299)              \
    X(NTexture, "framework/render/texture.cpp", 86300, 86399)            \
    X(NEffects, "framework/render/effects.cpp", 86400, 86499)            \
    X(NSprites, "app/gui/sprites.h", 86401, 86401)                       \
    X(NPackage, "framework/package/package.cpp", 86500, 86599)           \
    X(NGlyph, "framework/render/text_glyph.cpp", 86600, 86609)           \
    X(NText, "framework/render/text.cpp", 86610, 86689)                  \
    X(NTextCaches, "app/gui/text_caches.cpp", 86690, 86699)              \
    X(NStringTable, "framework/text/string_table.cpp", 87000, 87099)

// X(group, name, number), in the order of the ranges.
#define SE_SITES(X)                                                             \
    /* A timed action asked for a position it does not have. */                 \
    X(NMover, kMoveTo, 10)                                                      \
    X(NMover, kReserved3, 15)                                                   \
    X(NMover, kGetPosition, 20)                                                 \
    X(NMover, kReserved5, 25)                                                   \
    X(NWidget, kReserved15, 72)                                                 \
    X(NApplicationInfo, kVersionInfo, 73)                                       \
    X(NScrollBar, kClock, 90)                                                   \
    X(NDescription, kCursorPosition, 174)                                       \
    X(NDispatch, kCursorPosition, 200)                                          \
    X(NHelpLine, kCursorPosition, 221)                                          \
    X(NString, kEraseRange, 2101)                                               \
    X(NWindow, kModuleHandle, 8101)                                             \
    X(NWindow, kRegisterClass, 8102)                                            \
    X(NWindow, kUnregisterClass, 8103)                                          \
    X(NWindow, kProcedureOutOfMemory, 8104)                                     \
    X(NWindow, kProcedureException, 8105)                                       \
    X(NWindow, kDestroyWindow, 8106)                                            \
    X(NWindow, kCreateWindow, 8107)                                             \
    X(NWindow, kAdjustWindowRect, 8108)                                         \
    X(NWindow, kCenterClient, 8109)                                             \
    X(NWindow, kMoveClient, 8110)                                               \
    X(NDroppedFiles, kForegroundWindow, 8120)                                   \
    X(NWindowPlacement, kWindowRect, 8130)                                      \
    X(NWindowPlacement, kClientRect, 8131)                                      \
    X(NMainWindow, kClientRect, 8140)                                           \
    X(NMainWindow, kReserved3, 8141)                                            \
    X(NDeviceContext, kGetDC, 8150)                                             \
    X(NDeviceContext, kReleaseDC, 8151)                                         \
    X(NDeviceContext, kCreateCompatibleDC, 8152)                                \
    X(NDeviceContext, kDeleteObject, 8153)                                      \
    X(NProgram, kEscapedException, 11001)                                       \
    X(NProgram, kPureCall, 11002)                                               \
    X(NProgram, kCoInitialize, 11003)                                           \
    X(NProgram, kUpdateWindow, 11004)                                           \
    X(NProgram, kLoopException, 11005)                                          \
    X(NProgram, kOutOfMemory, 11006)                                            \
    X(NProgram, kFillRect, 11007)                                               \
    X(NProgram, kTextOut, 11008)                                                \
    X(NProgram, kClientRect, 11009)                                             \
    /* Start-up refused: no font for the interface's text. */                   \
    X(NProgram, kNoFont, 11010)                                                 \
    /* The emergency path: a log that cannot be opened. */                      \
    X(NError, kHandlerless, 13001)                                              \
    X(NError, kAppendLine, 13002)                                               \
    X(NError, kAppendFormatted, 13003)                                          \
    X(NError, kErrorLog, 13004)                                                 \
    /* Written to ThreadError.log when a ninth thread asks for a trace slot. */ \
    X(NTrace, kNoFreeSlot, 13101)                                               \
    X(NClip, kTooLong, 21002)                                                   \
    X(NSoundDevice, kCooperativeLevel, 41001)                                   \
    X(NSoundDevice, kCreateBuffer, 41002)                                       \
    X(NSoundDevice, kQueryBuffer, 41003)                                        \
    X(NSoundDevice, kLock, 41004)                                               \
    X(NSoundDevice, kUnlock, 41005)                                             \
    X(NSoundDevice, kVolume, 41006)                                             \
    X(NSoundDevice, kStop, 41007)                                               \
    X(NSoundDevice, kPosition, 41008)                                           \
    X(NSoundDevice, kPlay, 41009)                                               \
    X(NSoundDevice, kStatus, 41010)                                             \
    X(NSoundEffects, kRejectedEffect, 41101)                                    \
    X(NMediaPlayer, kFreeEvent, 42001)                                          \
    X(NMediaPlayer, kGetEvent, 42002)                                           \
    X(NMediaPlayer, kFatalEvent, 42003)                                         \
    X(NMediaPlayer, kRun, 42004)                                                \
    X(NMediaPlayer, kCantCue, 42005)                                            \
    X(NMediaPlayer, kSeek, 42006)                                               \
    X(NMediaPlayer, kGetState, 42007)                                           \
    X(NMediaPlayer, kStop, 42008)                                               \
    X(NMusic, kCreateGraph, 42101)                                              \
    X(NMusic, kQueryControl, 42102)                                             \
    X(NMusic, kQueryEvent, 42103)                                               \
    X(NMusic, kQuerySeeking, 42104)                                             \
    X(NMusic, kQueryAudio, 42105)                                               \
    X(NMusic, kVolume, 42107)                                                   \
    X(NMusic, kPause, 42108)                                                    \
    X(NMusic, kStop, 42109)                                                     \
    X(NSetting, kBacker, 72001)                                                 \
    X(NThread, kJobOutOfMemory, 82101)                                          \
    X(NThread, kJobException, 82102)                                            \
    X(NThread, kCreateThread, 82103)                                            \
    X(NThread, kWaitForEnd, 82104)                                              \
    X(NThread, kCloseRunning, 82105)                                            \
    X(NThread, kCloseHandle, 82106)                                             \
    X(NFile, kNoOpenFile, 83001)                                                \
    X(NFile, kShortRead, 83002)                                                 \
    X(NFile, kShortWrite, 83003)                                                \
    X(NFile, kOpen, 83004)                                                      \
    X(NFile, kClose, 83005)                                                     \
    X(NFile, kSizeToEnd, 83006)                                                 \
    X(NFile, kSizeBack, 83007)                                                  \
    X(NFile, kPosition, 83008)                                                  \
    X(NFile, kSeek, 83009)                                                      \
    X(NFile, kSkip, 83010)                                                      \
    X(NFile, kReadCharacter, 83011)                                             \
    X(NFile, kReadLine, 83012)                                                  \
    X(NFile, kLineTooLong, 83013)                                               \
    X(NFile, kShortString, 83014)                                               \
    X(NFile, kHomeFolder, 83015)                                                \
    X(NFile, kMakeFolder, 83016)                                                \
    X(NFile, kDeleteFile, 83017)                                                \
    X(NDialog, kSubclassFailure, 84001)                                         \
    X(NDialog, kInvalidFileName, 84002)                                         \
    X(NDialog, kBufferTooSmall, 84003)                                          \
    X(NDirect3D, kDesktopMode, 86101)                                           \
    X(NDirect3D, kDesktopFormat, 86102)                                         \
    X(NDirect3D, kEnumModes, 86103)                                             \
    X(NDirect3D, kNoBackBufferMode, 86104)                                      \
    X(NDirect3D, kWriteLog, 86105)                                              \
    X(NDirect3D, kCreateDirect3D, 86110)                                        \
    X(NDirect3D, kNoDirect3D, 86111)                                            \
    X(NDirect3D, kCreateMode, 86112)                                            \
    X(NDirect3D, kDisplayMode, 86113)                                           \
    X(NDirect3D, kCreateCaps, 86114)                                            \
    X(NDirect3D, kDepthFormat, 86115)                                           \
    X(NDirect3D, kDepthMatch, 86116)                                            \
    X(NDirect3D, kNoDevice, 86119)                                              \
    X(NDirect3D, kBeginScene, 86120)                                            \
    X(NDirect3D, kEndScene, 86121)                                              \
    X(NDirect3D, kClear, 86122)                                                 \
    X(NDirect3D, kSetFVF, 86123)                                                \
    X(NDirect3D, kDrawUP, 86124)                                                \
    X(NDirect3D, kSetRenderState, 86125)                                        \
    X(NDirect3D, kSetTextureStageState, 86126)                                  \
    X(NDirect3D, kSetTexture, 86127)                                            \
    X(NDirect3D, kCreateTexture, 86128)                                         \
    X(NDirect3D, kGetRenderTarget, 86129)                                       \
    X(NDirect3D, kSetViewport, 86130)                                           \
    X(NDirect3D, kCooperativeLevel, 86131)                                      \
    X(NDirect3D, kStartDevice, 86140)                                           \
    X(NDirect3D, kStartCaps, 86141)                                             \
    X(NDirect3D, kReCreateResources, 86150)                                     \
    X(NDirect3D, kStillLost, 86151)                                             \
    X(NDirect3D, kResetFailed, 86152)                                           \
    X(NDirect3D, kResetOutOfResources, 86153)                                   \
    X(NBitmap, kNotBitmap, 86201)                                               \
    X(NBitmap, kBitCount, 86202)                                                \
    X(NBitmap, kTooLarge, 86203)                                                \
    X(NBitmap, kShortImage, 86204)                                              \
    X(NBitmap, kReadHeader, 86205)                                              \
    X(NBitmap, kReadRow, 86206)                                                 \
    X(NBitmap, kReadPadding, 86207)                                             \
    X(NBitmap, kShortFile, 86208)                                               \
    X(NTexture, kNoDevice, 86301)                                               \
    X(NTexture, kFormat, 86302)                                                 \
    X(NTexture, kTextureReCreate, 86310)                                        \
    X(NTexture, kTextureKind, 86311)                                            \
    X(NTexture, kTextureDesc, 86312)                                            \
    X(NTexture, kMaskSize, 86313)                                               \
    X(NTexture, kImagesDesc, 86314)                                             \
    X(NTexture, kImagesLock, 86315)                                             \
    X(NTexture, kImagesUnlock, 86316)                                           \
    X(NTexture, kEntrySize, 86320)                                              \
    X(NTexture, kEntryTooLarge, 86321)                                          \
    X(NTexture, kEntryShort, 86322)                                             \
    X(NTexture, kEntryPixels, 86323)                                            \
    X(NTexture, kEntryDesc, 86324)                                              \
    X(NTexture, kEntryLock, 86325)                                              \
    X(NTexture, kEntryUnlock, 86326)                                            \
    X(NTexture, kOffScreenReCreate, 86330)                                      \
    X(NTexture, kOffScreenKind, 86331)                                          \
    X(NTexture, kSurfaceReCreate, 86340)                                        \
    X(NTexture, kDescriptorSource, 86350)                                       \
    X(NTexture, kOpenPicture, 86351)                                            \
    X(NTexture, kImageSource, 86352)                                            \
    X(NTexture, kCaptureTargetDesc, 86360)                                      \
    X(NTexture, kCaptureCreateImage, 86361)                                     \
    X(NTexture, kCaptureCopy, 86362)                                            \
    X(NTexture, kCaptureImageDesc, 86363)                                       \
    X(NTexture, kCaptureLock, 86364)                                            \
    X(NEffects, kNoDevice, 86401)                                               \
    X(NEffects, kAssemble, 86402)                                               \
    X(NEffects, kCreatePixelShader, 86403)                                      \
    X(NEffects, kDeletePixelShader, 86404)                                      \
    X(NSprites, kReload, 86401)                                                 \
    X(NPackage, kMissingPackage, 86501)                                         \
    X(NPackage, kShortDirectory, 86502)                                         \
    X(NPackage, kShortEntry, 86503)                                             \
    X(NPackage, kMissingEntry, 86504)                                           \
    X(NGlyph, kSelectObject, 86601)                                             \
    X(NGlyph, kTextMetrics, 86602)                                              \
    X(NGlyph, kGlyphSize, 86603)                                                \
    X(NGlyph, kGlyphBits, 86604)                                                \
    X(NText, kChipFont, 86610)                                                  \
    X(NText, kChipFontBack, 86611)                                              \
    X(NText, kChipDesc, 86612)                                                  \
    X(NText, kChipLock, 86613)                                                  \
    X(NText, kChipUnlock, 86614)                                                \
    X(NText, kSharedFontBack, 86620)                                            \
    X(NText, kLineFont, 86630)                                                  \
    X(NText, kChipSetFont, 86640)                                               \
    X(NTextCaches, kGetObject, 86690)                                           \
    X(NStringTable, kShortRead, 87001)                                          \
    X(NStringTable, kMissingId, 87002)

namespace NVireo::NError::NSite {

#define SE_SITE_CONSTANT(group, name, number) \
    namespace group {                         \
    inline constexpr uint32_t name = number;  \
    }
SE_SITES(SE_SITE_CONSTANT)
#undef SE_SITE_CONSTANT

// Numbers that two sites share, each kept because reports have carried it from both:
// 86401, a pixel shader made without a device (effects.cpp) and a sprite whose pixels
// cannot be loaded again after a device reset (sprites.h).
inline constexpr uint32_t kSharedNumbers[] = {86401};

}  // namespace NVireo::NError::NSite
