#include "comdlg32/filter.h"

#include <cstring>

#include "backend/cp932.h"

namespace winapi::comdlg32 {

namespace {

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

bool ReadFilterList(const char* list, std::vector<FilterPair>& pairs) {
    pairs.clear();
    if (list == nullptr) return true;
    const char* at = list;
    while (*at != '\0') {
        FilterPair pair;
        pair.description = backend::Cp932TextToUtf8(at);
        at += std::strlen(at) + 1;
        if (*at == '\0') return false;  // a description without patterns
        // ";" (0x3B) is never a trail byte of code page 932, so splitting bytes is safe.
        const std::string text = backend::Cp932TextToUtf8(at);
        at += std::strlen(at) + 1;
        size_t start = 0;
        for (;;) {
            const size_t end = text.find(';', start);
            const std::string pattern = Trimmed(text.substr(start, end - start));
            if (!pattern.empty()) pair.patterns.push_back(pattern);
            if (end == std::string::npos) break;
            start = end + 1;
        }
        if (pair.patterns.empty()) return false;
        pairs.push_back(std::move(pair));
    }
    return true;
}

std::string CaseInsensitiveGlob(const std::string& pattern) {
    std::string glob;
    for (const char c : pattern) {
        if (c >= 'a' && c <= 'z') {
            glob += '[';
            glob += c;
            glob += static_cast<char>(c - 'a' + 'A');
            glob += ']';
        } else if (c >= 'A' && c <= 'Z') {
            glob += '[';
            glob += static_cast<char>(c - 'A' + 'a');
            glob += c;
            glob += ']';
        } else if (c == '[' || c == ']' || c == '\\') {
            glob += '\\';  // escaped: literal for GTK's matcher as for fnmatch
            glob += c;
        } else {
            glob += c;
        }
    }
    return glob;
}

}  // namespace winapi::comdlg32
