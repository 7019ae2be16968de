// The application information: product name, company name and version text, read from
// the program's version record, and the texts built from them (window title, instance
// name, copyright line).
#pragma once

#include <string>

namespace Appli {

struct CApplicationInfo {
    std::string productName;
    std::string versionText;
    std::string companyName;
};

// The process-wide information; empty until LoadApplicationInfo.
CApplicationInfo& ApplicationInfo();

// Fills ApplicationInfo() from the version record of the program file programPath
// (code page 932). Without a record, the application strings 0, 3 and 4 stand in;
// a missing text of the record stays empty. A record that cannot be read is fatal.
void LoadApplicationInfo(const char* programPath);

// The year of the copyright line.
inline constexpr unsigned kCopyrightYear = 2026;

// "<product> : Ver <version>".
std::string WindowTitle();
// "<product> " (the format "%s %s" with an empty second part): the name of the
// single-instance mutex and of the main window's class.
std::string InstanceName();
// "Copyright (C) <year> <company>".
std::string CopyrightLine();

}  // namespace Appli
