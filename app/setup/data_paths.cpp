#include "app/setup/data_paths.h"

#include "framework/error/trace.h"
#include "framework/platform/cp932.h"

namespace Appli {

namespace {

// Whether text ends with the single-byte character c (a double-byte character whose
// trail byte equals c does not count).
bool EndsWithCharacter(const std::string& text, char c) {
    size_t i = 0, last = std::string::npos;
    while (i < text.size()) {
        last = i;
        i += NVireo::NCp932::CharacterLength(text, i);
    }
    return last != std::string::npos && last == text.size() - 1 && text[last] == c;
}

}  // namespace

std::string JoinDataPath(const std::string& folder, const std::string& name) {
    SE_MARK();
    if (folder.empty()) return name;
    const char separator = folder.find('/') != std::string::npos ? '/' : '\\';
    std::string path = folder;
    if (!EndsWithCharacter(path, separator)) path += separator;
    return path + name;
}

}  // namespace Appli
