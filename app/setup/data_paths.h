// Where the program finds its files, relative to the home folder (start-up makes it the
// current folder), where it writes its own, and how a folder and a file name are joined.
// What it writes stays below the home folder while the program writes beside itself
// (framework/platform/home.h says when); otherwise each kind of file goes to the user's
// folder for it.
#pragma once

#include <string>

namespace Appli {

inline constexpr char kSoundEffectFolder[] = "pd/se/";  // interface sounds, <name>.wav
inline constexpr char kMusicFolder[] = "./";            // background music, <name>.wma
inline constexpr char kSettingsFolder[] = "Data";       // settings.ini
inline constexpr char kPackageFolder[] = "Data";        // the data package
inline constexpr char kReportFolderPath[] = "error/";   // error reports
inline constexpr char kScreenshotFolder[] = "ss/";      // screenshots
inline constexpr char kSettingsFileName[] = "settings.ini";

// folder + name. An empty folder gives the name alone; otherwise the separator is "/"
// when the folder holds one, else "\", added only when the folder does not end with it.
std::string JoinDataPath(const std::string& folder, const std::string& name);

// The settings file's folder: kSettingsFolder below the home folder, or the user's
// configuration folder (~/.config/se-retimer/).
std::string SettingsFolder();
// The folder the program's logs go below: empty (the home folder) while the program writes
// beside itself, else the user's state folder (~/.local/state/se-retimer/).
std::string StateFolder();
// The report folder, absolute with its separator: error/ in the home folder, or in the
// user's state folder (~/.local/state/se-retimer/error/).
std::string ReportFolder();
// The screenshots' folder: kScreenshotFolder below the home folder, or the user's
// pictures folder (~/Pictures/se-retimer/).
std::string ScreenshotFolder();
// The music file name: beside the program (kMusicFolder), or else, for a program that
// writes to the user's folders, in the user's data folder (~/.local/share/se-retimer/).
// The first of them that exists; empty when neither does.
std::string FindMusicFile(const std::string& name);

}  // namespace Appli
