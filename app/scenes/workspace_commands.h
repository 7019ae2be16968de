// What the workspace's commands do beyond its own screen: the open-file and save-file
// dialogs with their accessibility checks, playback and the messages for ordinary outcomes.
#pragma once

#include <string>

namespace Scene::Main {

// Shows text in a system-modal box without caption, owned by the main window.
void ShowMessage(const std::string& text);

// Both dialogs start in the current clip's folder, else the folder of the last file
// chosen in a dialog, else the user's home folder.
//
// The open-file dialog (the main window hidden while it is shown); the chosen file is
// loaded as StartLoading says (answers true when the workspace is gone).
bool ChooseFileToLoad();

// The save-file dialog: ".wav" completed, replacing a file confirmed first, then a path
// that can be written is stored in jobPath and the saving wait screen starts (answers
// true). A path that cannot be written shows "<path>は\n現在、書き込みができません".
bool ChooseFileToSave();

// Plays the shared clip from its start; a clip the sound device refuses shows a message
// instead, and so does the first play without a sound device (the program goes on
// without sound; later plays say nothing).
void PlayCurrentClip();
// Whether the message about the missing sound device was shown in this run.
bool& NoDeviceMessageShown();

// A regular file that can be read: stores path in jobPath and starts the loading wait
// screen (answers true: the current scene is gone). Anything else (missing, unreadable,
// a folder, a FIFO, a device) shows "<path>は\n現在、読み込みができません" and answers
// false; nothing is opened that could make the program wait.
bool StartLoading(const std::string& path);

}  // namespace Scene::Main
