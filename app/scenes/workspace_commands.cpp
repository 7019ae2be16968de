// The workspace's dialogs, playback and messages.
#include "app/scenes/workspace_commands.h"

#include <windows.h>

#include "app/scenes/wait.h"
#include "app/scenes/workspace_model.h"
#include "app/shell/frame_timer.h"
#include "framework/error/trace.h"
#include "framework/platform/file.h"
#include "framework/window/dialog.h"
#include "framework/window/window.h"
#include "sound/clip.h"
#include "sound/output/sound_device.h"

namespace Scene::Main {

namespace {

namespace NDialog = NVireo::NCommonDialogBox::NFile;

// The one filter both dialogs show.
constexpr const char kFilterName[] = "Wave File";
constexpr const char kExtension[] = "wav";

// Where both dialogs start: the current clip's folder, else the last dialog's, else the
// user's home folder.
std::string DialogStartFolder() {
    SE_MARK();
    std::string folder, name;
    NVireo::NFile::SplitPath(SharedClipState().currentFilePath.c_str(), folder, name);
    return NDialog::StartFolder(folder);
}

}  // namespace

void ShowMessage(const std::string& text) {
    SE_MARK();
    MessageBoxA(NVireo::NWindow::MainWindowHandle(), text.c_str(), "", MB_OK | MB_SYSTEMMODAL);
}

bool StartLoading(const std::string& path) {
    SE_MARK();
    // The loading job opens the file for reading, and a file it cannot open would end
    // the program there: a missing or unreadable file, and anything that is not a file
    // (a folder, a FIFO, a device), is refused here instead.
    if (!NVireo::NFile::Exists(path.c_str())) {
        ShowMessage(path + "は\n現在、読み込みができません");
        return false;
    }
    SharedClipState().jobPath = path;
    new CLoading;
    ::Main::FrameTimer().Restart();
    return true;
}

bool ChooseFileToLoad() {
    SE_MARK();
    const HWND window = NVireo::NWindow::MainWindowHandle();
    NDialog::CDialog dialog(kFilterName, kExtension);
    dialog.startFolder = DialogStartFolder();
    ShowWindow(window, SW_HIDE);
    const bool chosen = dialog.ChooseOpenFile(window);
    ShowWindow(window, SW_SHOW);
    if (!chosen) return false;
    return StartLoading(dialog.name);
}

bool ChooseFileToSave() {
    SE_MARK();
    const HWND window = NVireo::NWindow::MainWindowHandle();
    NDialog::CDialog dialog(kFilterName, kExtension);
    dialog.startFolder = DialogStartFolder();
    if (!dialog.ChooseSaveFile(window)) return false;
    std::string path = dialog.name;
    if (!NDialog::ConfirmSavePath(path, window)) return false;
    if (!NVireo::NFile::IsWritable(path.c_str())) {
        ShowMessage(path + "は\n現在、書き込みができません");
        return false;
    }
    SharedClipState().jobPath = path;
    new CSaving;
    ::Main::FrameTimer().Restart();
    return true;
}

bool& NoDeviceMessageShown() {
    static bool shown = false;
    return shown;
}

void PlayCurrentClip() {
    SE_MARK();
    namespace NSound = NVireo::NDirectX::NSound;
    const CClipState& state = SharedClipState();
    const NSound::EClipPlay played = NSound::PlayClip(state.clip);
    if (played == NSound::EClipPlay::Refused) {
        ShowMessage(state.currentFilePath + "\nこの形式のデータは再生できません");
    } else if (played == NSound::EClipPlay::Silent && !NSound::SoundDevice().Exists() &&
               !NoDeviceMessageShown()) {
        // Without a sound device nothing can be heard: said once, then "再生" stays quiet.
        NoDeviceMessageShown() = true;
        ShowMessage("サウンドデバイスが使えないため、再生できません");
    }
}

}  // namespace Scene::Main
