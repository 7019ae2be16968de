// The settings file Data\settings.ini (or settings.ini in the user's configuration
// folder, data_paths.h): the window placement the program keeps between runs. One item per line,
// "<key padded to 32>=<value>", keys from the system string table, blank lines between groups.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "framework/text/string_ids.h"

namespace Appli {

// WS_OVERLAPPEDWINDOW: a resizable window, whose file also holds the size.
inline constexpr uint32_t kResizableStyle = 0x00CF0000u;

// System string ids of the keys, in file order.
inline constexpr std::array<uint32_t, 7> kSettingsKeyIds = {
    StringId::System::SettingsProduct,     StringId::System::SettingsFormat,
    StringId::System::SettingsLeft,        StringId::System::SettingsTop,
    StringId::System::SettingsMaximised,   StringId::System::SettingsClientWidth,
    StringId::System::SettingsClientHeight};

struct CSettings {
    int32_t left = 0;
    int32_t top = 0;
    uint32_t maximised = 0;
    uint32_t clientWidth = 0;
    uint32_t clientHeight = 0;
    uint32_t formatMarker = 0;  // written as 1, never used
    // Not stored: the window style decides which items are written.
    uint32_t style = 0;
    // Set by start-up when there was no settings file to load.
    bool firstRun = false;
};

// The program's settings.
CSettings& Settings();

using CSettingsKeys = std::array<std::string, kSettingsKeyIds.size()>;
// The keys from the system string table (a missing one is fatal).
CSettingsKeys SettingsKeys();

// "Data\settings.ini", or the file in the user's configuration folder (data_paths.h).
std::string SettingsPath();

// The file's text for these settings and keys; productName is the value of the first item.
std::string SettingsText(const CSettings& settings, const CSettingsKeys& keys,
                         const char* productName);
// Makes the home folder current, makes sure the settings file's folder exists, deletes
// the old file and appends the lines one by one. A file that cannot be written takes the
// emergency path.
void SaveSettings(const char* productName);

// Reads the file at path into settings: each line of exactly two tokens ("=" separated,
// "//" starts a comment) whose first token equals a key (exactly, in key order) stores
// its number; the product name and unknown keys change nothing. False when the file
// cannot be opened.
bool ParseSettings(const char* path, const CSettingsKeys& keys, CSettings& settings);
// ParseSettings of SettingsPath() into Settings() with the system table's keys.
bool LoadSettings();

}  // namespace Appli
