// Where the program finds its files, relative to the home folder (start-up makes it the
// current folder), and how a folder and a file name are joined.
#pragma once

#include <string>

namespace Appli {

inline constexpr char kSoundEffectFolder[] = "pd/se/";  // interface sounds, <name>.wav
inline constexpr char kMusicFolder[] = "./";            // background music, <name>.wma
inline constexpr char kSettingsFolder[] = "Data";       // settings.ini
inline constexpr char kPackageFolder[] = "Data";        // the data package
inline constexpr char kReportFolderPath[] = "error/";   // error reports
inline constexpr char kSettingsFileName[] = "settings.ini";

// folder + name. An empty folder gives the name alone; otherwise the separator is "/"
// when the folder holds one, else "\", added only when the folder does not end with it.
std::string JoinDataPath(const std::string& folder, const std::string& name);

}  // namespace Appli
