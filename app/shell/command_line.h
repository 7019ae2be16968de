// The command-line record: the program's file name and folder, the text after the
// program path (a quoted WAV path when the program is started with one), and that path
// as a file, taken relative to the folder the program was started in. The program's
// folder is its home folder.
#pragma once

#include <string>

namespace Main {

struct CCommandLine {
    std::string fileName;   // the program's file name
    std::string folder;     // the program's folder, with its trailing separator
    std::string arguments;  // everything after the blank that follows the program path
    // The file the arguments name (without their quotes), absolute: a relative one is
    // joined to the folder the program was started in. Empty without arguments.
    std::string file;
};

// Splits a command line: one leading double quote is skipped, the program path runs to
// the next double quote (or the end) and is split at its last separator; when a blank
// follows the closing quote, everything after that blank is the arguments, quotes kept.
// startFolder (with its trailing separator) is where a relative file is looked for.
CCommandLine ParseCommandLine(const char* line, const std::string& startFolder = {});

// The command line's text after the program path, without every leading and trailing
// double quote.
std::string StripQuotes(const char* arguments);

// The process's record, parsed from GetCommandLineA on first use, with the current
// folder of that moment as the start folder: the program asks for it before anything
// changes the current folder.
const CCommandLine& CommandLine();

// Makes the program's folder the home folder (and its emergency copy). A program started
// through a relative path names a folder relative to where it was started, which stops
// being true once the home folder is made current: then the executable's own folder,
// absolute, stands in.
void FixHomeFolder();

}  // namespace Main
