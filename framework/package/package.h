// The package: one file that holds every data file the program reads at run time. Its
// directory is read once into an ordered set; each entry then opens as an ordinary
// binary stream positioned at the entry's first byte.
//
// Layout (32-bit little-endian integers): the entries' bytes from offset 0; at the
// directory offset the entry count N and N directory entries; the directory offset in
// the last 4 bytes of the file. A directory entry is mask, offset ^ mask, size ^ mask,
// the name block length L, and the name block: a 4-byte seed, then the name's bytes
// XOR-ed with the key stream of CPackageKey (package_key.h) started from that seed.
// Names are stored normalised: ASCII letters in lower case, "/" as separator.
#pragma once

#include <cstdint>
#include <string>

#include "framework/containers/set.h"
#include "framework/platform/file.h"
#include "framework/platform/home.h"

namespace NVireo::NRender {

// The program's package, relative to the current folder (the home folder).
using NVireo::NFile::kProgramPackagePath;

// The name as the directory stores it: ASCII "A".."Z" lower-cased and "\" turned into
// "/", outside double-byte characters only (a trail byte is never changed).
std::string NormalizeEntryName(const char* name);

class CPackage {
public:
    struct Entry {
        uint32_t offset = 0;  // of the first byte, from the start of the package file
        uint32_t size = 0;
        std::string name;  // normalised

        // Byte-wise order of the names: the directory's order and its lookup.
        bool operator<(const Entry& other) const { return name < other.name; }
    };

    std::string path;  // empty until opened
    hoard::set::basic<Entry> directory;

    // Opens the program package "Data/package".
    void Open();
    // Reads the directory of the package at packagePath, replacing any previous one. A
    // missing file, a short read in the directory and a failed close are fatal; if the
    // report returns, the package is left closed (or holds the entries read so far).
    void OpenFrom(const char* packagePath);
    // Opens the named entry into file, positioned at its first byte, and fills entry.
    // A name not in the directory is fatal; if the report returns, the answer is false
    // and file is closed.
    bool OpenEntry(NVireo::NFile::NSTDIO::CBinary& file, Entry& entry, const char* name);
    // The entry for name (normalised here), or null; reports nothing.
    const Entry* Find(const char* name) const;
};

// The program package, opened at start-up.
CPackage& ProgramPackage();
// The package scenario images come from; the program never opens it.
CPackage& ScenarioPackage();

}  // namespace NVireo::NRender
