// se-assets: writes the generated data files below a folder.
#include "tools/assets/assets.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace NAssets {
namespace {

const char kUsage[] =
    "usage: se-assets OUT_FOLDER\n"
    "       se-assets --icons OUT_FOLDER\n"
    "\n"
    "  Writes the interface sound effects (pd/se/*.wav) and pictures (pd/gui/*.bmp,\n"
    "  pd/title/*.bmp) below OUT_FOLDER, making the folders they need. The files are\n"
    "  the same on every run; `se-assets data` renews the ones the build packs.\n"
    "  --icons writes the program's icon instead, as the icon theme's folders hold it\n"
    "  (hicolor/<n>x<n>/apps/se-retimer.png); the build makes them for installing.\n"
    "\n"
    "Exit status: 0 written, 1 a file could not be written, 2 usage error.\n";

}  // namespace

std::vector<CFile> MakeAll() {
    std::vector<CFile> files = MakeSoundEffects();
    for (CFile& picture : MakePictures()) files.push_back(std::move(picture));
    return files;
}

bool WriteAll(const std::vector<CFile>& files, const std::string& folder, std::string& reason) {
    namespace fs = std::filesystem;
    for (const CFile& file : files) {
        const fs::path path = fs::path(folder) / file.name;
        std::error_code error;
        fs::create_directories(path.parent_path(), error);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.bytes.data()),
                  static_cast<std::streamsize>(file.bytes.size()));
        out.close();
        if (!out) {
            reason = "cannot write " + path.string();
            return false;
        }
    }
    return true;
}

int RunAssets(int argc, char** argv) {
    const bool icons = argc == 3 && std::strcmp(argv[1], "--icons") == 0;
    const char* folder = argv[argc - 1];
    if (argc != 2 + icons || folder[0] == '\0' || std::strncmp(folder, "--", 2) == 0) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string reason;
    if (!WriteAll(icons ? MakeIcons() : MakeAll(), folder, reason)) {
        std::fprintf(stderr, "se-assets: %s\n", reason.c_str());
        return 1;
    }
    return 0;
}

}  // namespace NAssets
