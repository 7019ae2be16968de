// Writing a package from a folder: what se-pack does, as a function tests can call.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Packs every regular file under sourceFolder (host paths), recursively, into the
// package outPath. Each entry is named by its path relative to the folder in the
// program's code page 932, normalised as the reader looks names up (lower case, "/").
// Files and folders whose names start with "." are left out. Entries are written in
// name order; masks and name seeds come from a generator seeded with seed, or from the
// system's random source without one. Answers true, or false with a one-line reason.
bool PackFolder(const std::string& outPath, const std::string& sourceFolder,
                std::optional<uint32_t> seed, std::string& reason);

// se-pack's command line; answers the exit status (0 done, 1 failed, 2 usage).
int RunPacker(int argc, char** argv);
