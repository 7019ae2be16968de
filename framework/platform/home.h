// The program's home folder: the folder it reads its data from, made current at start-up
// so that relative paths are resolved there. A portable program (a build tree, a copy in
// a folder of its own) has its data beside the executable; an installed one has the
// executable in <prefix>/bin and its data in <prefix>/share/se-retimer.
//
// What the program writes (settings, error reports, screenshots) stays below the home
// folder while that is the program's own folder and can be written. Otherwise it goes
// to the user's folders of the XDG base directory rules, each in a folder se-retimer.
#pragma once

#include <string>

namespace NVireo::NFile {

// The program's data package below the home folder.
inline constexpr char kProgramPackagePath[] = "Data/package";
// The data folder of an installed program, from the folder above its executable's.
inline constexpr char kInstalledDataFolder[] = "share/se-retimer/";
// The name of the program's own folder among the user's folders.
inline constexpr char kUserFolderName[] = "se-retimer";

// The home folder with its trailing separator (code page 932); empty when the system
// cannot tell where the executable is.
const std::string& HomeFolder();

// Points the home folder at the program's folder (a separator is added when missing):
// that folder itself, or, when the package is not there but in the installed data
// folder (<prefix>/share/se-retimer/ for <prefix>/bin/), that data folder. Call it before other
// threads use the home folder.
void SetHomeFolder(const char* folder);

// Makes the home folder the current folder; false (GetLastError says why) on failure.
bool EnterHomeFolder();

// A copy of the home folder (at most 255 bytes, never a split double-byte character) in
// a fixed buffer, kept by SetHomeFolder, for the last-resort writes that must not
// allocate; empty until SetHomeFolder.
const char* EmergencyHomeFolder();
// Makes the emergency copy current (the home folder itself while the copy is empty).
bool EnterEmergencyHomeFolder();

// True while what the program writes goes below the home folder: the home folder is the
// program's own folder (not an installed data folder) and can be written.
bool WritesBesideProgram();

// The user's folders, each for its kind of file.
enum class EUserFolder {
    kConfig,    // $XDG_CONFIG_HOME, else ~/.config
    kState,     // $XDG_STATE_HOME, else ~/.local/state
    kData,      // $XDG_DATA_HOME, else ~/.local/share
    kPictures,  // `xdg-user-dir PICTURES`, else XDG_PICTURES_DIR of user-dirs.dirs,
                // else ~/Pictures
};
// The program's folder among the user's folders of a kind: "<folder>/se-retimer/",
// absolute, code page 932. An XDG variable counts only when it holds an absolute path.
// Empty when neither the variable nor HOME names a folder. Leaves errno as it was.
std::string UserFolder(EUserFolder kind);

// The pictures folder that the text of a user-dirs.dirs file names (XDG_PICTURES_DIR,
// "$HOME/..." or an absolute path, double-quoted), host bytes without a trailing
// separator; empty when the file names none, or names the home folder itself (which
// the file's rules take as no pictures folder).
std::string PicturesFolderOf(const std::string& userDirs, const std::string& home);

}  // namespace NVireo::NFile
