// se-assets: draws the interface pictures and synthesises the interface sound effects
// that data/ holds, byte for byte the same on every run; and draws the program's icon.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace NAssets {

// One generated file: its path below the data folder ("/" separators, lower case, the
// package entry name) and its bytes.
struct CFile {
    std::string name;
    std::vector<uint8_t> bytes;
};

// The five interface sound effects, pd/se/<name>.wav: 16-bit mono PCM at 44100 Hz.
std::vector<CFile> MakeSoundEffects();
// The check-box pictures and the title logo, each with its mask (asset_names.h).
std::vector<CFile> MakePictures();

// Every generated file, sound effects first.
std::vector<CFile> MakeAll();

// The program's icon, drawn from the title logo at the sizes desktops ask for, as
// hicolor/<n>x<n>/apps/se-retimer.png (the icon theme's layout); built, not committed.
std::vector<CFile> MakeIcons();
// A PNG file of an 8-bit RGBA picture (top row first, 4 bytes a pixel).
std::vector<uint8_t> PngBytes(int width, int height, const std::vector<uint8_t>& rgba);

// Writes files below folder, making the folders they need; false with a reason when a
// file cannot be written.
bool WriteAll(const std::vector<CFile>& files, const std::string& folder, std::string& reason);

// Runs the command line: se-assets [--icons] OUT_FOLDER.
int RunAssets(int argc, char** argv);

}  // namespace NAssets
