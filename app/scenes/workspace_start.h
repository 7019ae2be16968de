// The workspace's start: what the main start scene does before the first workspace.
#pragma once

#include <string>

namespace Main {

// The clip the workspace starts with: not loaded, 16-bit stereo at 44100 Hz (format tag
// and cbSize kept), silent for currentDurationMs (empty at the first start).
void PrepareWorkspaceClip();

// The command line's text after the program path, without every leading and trailing
// double quote.
std::string StripQuotes(const char* arguments);

// Stores the unquoted arguments as currentFilePath; when they name an existing file, also
// as jobPath, and starts the loading screen (answering true: it is now the current scene).
bool StartLoadingArguments(const char* arguments);

}  // namespace Main
