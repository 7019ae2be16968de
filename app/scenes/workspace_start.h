// The workspace's start: what the main start scene does before the first workspace.
#pragma once

#include <string>

namespace Main {

// The clip the workspace starts with: not loaded, 16-bit stereo at 44100 Hz (format tag
// and cbSize kept), silent for currentDurationMs (empty at the first start).
void PrepareWorkspaceClip();

// The file named on the command line (CCommandLine::file): stored as currentFilePath;
// loaded as a dropped file is (Scene::Main::StartLoading), answering true when the
// loading screen is now the current scene. A file that cannot be loaded is refused with
// the workspace's message, and the workspace opens empty. An empty path does nothing.
bool StartLoadingNamedFile(const std::string& path);

}  // namespace Main
