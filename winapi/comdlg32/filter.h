// comdlg32's reading of a dialog record's filter list, apart from GTK so it can be
// checked on its own.
#pragma once

#include <string>
#include <vector>

namespace winapi::comdlg32 {

// One pair of the list: the description shown and its patterns (UTF-8).
struct FilterPair {
    std::string description;
    std::vector<std::string> patterns;
};

// Reads a filter list in code page 932: description NUL patterns NUL, ..., NUL. The
// patterns are separated by ";" (blanks around them dropped). False for a list that is
// not well formed: a description without its patterns, or a pattern text with no pattern.
// A null or empty list gives no pairs.
bool ReadFilterList(const char* list, std::vector<FilterPair>& pairs);

// A Windows file pattern ("*" and "?" as wildcards, everything else literal, letters in
// any case) as a glob for GTK's matcher: "*.wav" becomes "*.[wW][aA][vV]"; "[", "]" and
// "\\" are escaped with a backslash so they stay literal.
std::string CaseInsensitiveGlob(const std::string& pattern);

}  // namespace winapi::comdlg32
