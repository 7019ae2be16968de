#include "app/setup/settings.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/setup/data_paths.h"
#include "framework/error/error.h"
#include "framework/error/trace.h"
#include "framework/platform/file.h"
#include "framework/platform/home.h"
#include "framework/text/string_table.h"

namespace Appli {

namespace {

constexpr int kKeyWidth = 32;

// "<key padded to 32>=<value>" without the line end.
std::string Item(const std::string& key, const char* value) {
    SE_MARK();
    const int length = std::snprintf(nullptr, 0, "%-*s=", kKeyWidth, key.c_str());
    std::string line(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    std::snprintf(line.data(), line.size() + 1, "%-*s=", kKeyWidth, key.c_str());
    line += value;
    return line;
}

std::string Number(const char* format, long long value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The file's lines in order; an empty entry is an empty line.
std::vector<std::string> SettingsLines(const CSettings& settings, const CSettingsKeys& keys,
                                       const char* productName) {
    SE_MARK();
    std::vector<std::string> lines;
    lines.push_back(Item(keys[0], productName ? productName : ""));
    lines.push_back(Item(keys[1], Number("%lld", 1).c_str()));
    lines.emplace_back();
    lines.emplace_back();
    lines.push_back(Item(keys[2], Number("%lld", settings.left).c_str()));
    lines.push_back(Item(keys[3], Number("%lld", settings.top).c_str()));
    if (settings.style != kResizableStyle) {
        lines.emplace_back();
        lines.emplace_back();
        return lines;
    }
    lines.emplace_back();
    lines.push_back(Item(keys[4], Number("%lld", settings.maximised).c_str()));
    lines.emplace_back();
    lines.emplace_back();
    lines.push_back(Item(keys[5], Number("%lld", settings.clientWidth).c_str()));
    lines.push_back(Item(keys[6], Number("%lld", settings.clientHeight).c_str()));
    lines.emplace_back();
    return lines;
}

// A value token as a number: decimal, optionally signed; what does not parse gives 0.
long long ToNumber(const std::string& token) { return std::strtoll(token.c_str(), nullptr, 10); }

}  // namespace

CSettings& Settings() {
    static CSettings settings;
    return settings;
}

CSettingsKeys SettingsKeys() {
    SE_MARK();
    CSettingsKeys keys;
    const NVireo::NText::CStringTable& table = NVireo::NText::SystemStrings();
    for (size_t i = 0; i < keys.size(); ++i) keys[i] = table.Get(kSettingsKeyIds[i]);
    return keys;
}

std::string SettingsPath() { return JoinDataPath(SettingsFolder(), kSettingsFileName); }

std::string SettingsText(const CSettings& settings, const CSettingsKeys& keys,
                         const char* productName) {
    SE_MARK();
    std::string text;
    for (const std::string& line : SettingsLines(settings, keys, productName)) {
        text += line;
        text += '\n';
    }
    return text;
}

void SaveSettings(const char* productName) {
    SE_MARK();
    const CSettingsKeys keys = SettingsKeys();
    NVireo::NFile::EnterHomeFolder();
    const std::string folder = SettingsFolder();
    NVireo::NFile::MakeFolders(folder.c_str());  // one that cannot be made fails below
    const std::string path = JoinDataPath(folder, kSettingsFileName);
    NVireo::NFile::RemoveIfExists(path.c_str());
    for (const std::string& line : SettingsLines(Settings(), keys, productName)) {
        NVireo::NError::AppendLine(path.c_str(), line.c_str());
    }
}

bool ParseSettings(const char* path, const CSettingsKeys& keys, CSettings& settings) {
    SE_MARK();
    NVireo::NFile::NSTDIO::CText file;
    file.separator = '=';
    file.commentMarker = "//";
    if (!file.OpenText(path)) return false;
    std::vector<std::vector<std::string>> lines;
    if (!file.ReadTokenLines(lines)) return false;
    for (const std::vector<std::string>& tokens : lines) {
        if (tokens.size() != 2) continue;
        size_t index = 0;
        while (index < keys.size() && tokens[0] != keys[index]) ++index;
        const long long value = ToNumber(tokens[1]);
        switch (index) {
            case 1:
                settings.formatMarker = static_cast<uint32_t>(value);
                break;
            case 2:
                settings.left = static_cast<int32_t>(value);
                break;
            case 3:
                settings.top = static_cast<int32_t>(value);
                break;
            case 4:
                settings.maximised = static_cast<uint32_t>(value);
                break;
            case 5:
                settings.clientWidth = static_cast<uint32_t>(value);
                break;
            case 6:
                settings.clientHeight = static_cast<uint32_t>(value);
                break;
            default:
                break;  // the product name, or a key the program does not know
        }
    }
    return true;
}

bool LoadSettings() {
    SE_MARK();
    const CSettingsKeys keys = SettingsKeys();
    return ParseSettings(SettingsPath().c_str(), keys, Settings());
}

}  // namespace Appli
