// Fuzz target for the settings parser: any bytes as a settings file load without a
// crash or an out-of-bounds read, and what loaded saves as a text that loads to the same
// values.
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/setup/settings.h"
#include "framework/error/error.h"
#include "fuzz/fuzz_file.h"

namespace {

const Appli::CSettingsKeys kKeys = {"ProductName", "Format",      "Left",        "Top",
                                    "Maximised",   "ClientWidth", "ClientHeight"};

bool Same(const Appli::CSettings& a, const Appli::CSettings& b) {
    return a.left == b.left && a.top == b.top && a.maximised == b.maximised &&
           a.clientWidth == b.clientWidth && a.clientHeight == b.clientHeight;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NVireo::NError::Record().policy = 1;
    std::string path = WriteFuzzFile("settings", {Bytes(data, size)});
    if (path.empty()) return 0;

    Appli::CSettings loaded;
    loaded.style = Appli::kResizableStyle;
    try {
        if (!Appli::ParseSettings(path.c_str(), kKeys, loaded)) __builtin_trap();
    } catch (const NVireo::NError::CObject&) {
        // A line too long for the reader may be reported.
        NVireo::NError::Clear();
        return 0;
    }
    const std::string text = Appli::SettingsText(loaded, kKeys, "SE Retimer");
    path = WriteFuzzFile("settings", {text});
    if (path.empty()) return 0;
    Appli::CSettings again;
    again.style = Appli::kResizableStyle;
    try {
        if (!Appli::ParseSettings(path.c_str(), kKeys, again)) __builtin_trap();
    } catch (const NVireo::NError::CObject&) {
        __builtin_trap();
    }
    if (!Same(loaded, again)) __builtin_trap();
    return 0;
}
