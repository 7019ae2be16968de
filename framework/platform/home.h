// The program's home folder: the folder that holds the executable, where settings, error
// reports and screenshots are written and from which relative paths are resolved.
#pragma once

#include <string>

namespace NVireo::NFile {

// The folder of the executable with its trailing separator (code page 932); empty when
// the system cannot tell where the executable is.
const std::string& HomeFolder();

// Points the home folder elsewhere (tests); a separator is added when missing. Call it
// before other threads use the home folder.
void SetHomeFolder(const char* folder);

// Makes the home folder the current folder; false (GetLastError says why) on failure.
bool EnterHomeFolder();

// A copy of the home folder (at most 255 bytes, never a split double-byte character) in
// a fixed buffer, kept by SetHomeFolder, for the last-resort writes that must not
// allocate; empty until SetHomeFolder.
const char* EmergencyHomeFolder();
// Makes the emergency copy current (the home folder itself while the copy is empty).
bool EnterEmergencyHomeFolder();

}  // namespace NVireo::NFile
