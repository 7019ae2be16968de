// The command-line record: the program's file name and folder, and the text after the
// program path (a quoted WAV path when the program is started with one). The program's
// folder is its home folder.
#pragma once

#include <string>

namespace Main {

struct CCommandLine {
    std::string fileName;   // the program's file name
    std::string folder;     // the program's folder, with its trailing separator
    std::string arguments;  // everything after the blank that follows the program path
};

// Splits a command line: one leading double quote is skipped, the program path runs to
// the next double quote (or the end) and is split at its last separator; when a blank
// follows the closing quote, everything after that blank is the arguments, quotes kept.
CCommandLine ParseCommandLine(const char* line);

// The process's record, parsed from GetCommandLineA on first use.
const CCommandLine& CommandLine();

// Makes the program's folder the home folder (and its emergency copy). A program started
// through a relative path names a folder relative to where it was started, which stops
// being true once the home folder is made current: then the executable's own folder,
// absolute, stands in.
void FixHomeFolder();

}  // namespace Main
