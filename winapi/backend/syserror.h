// Shared by the layer's services: how a failed Linux call becomes a Windows error code,
// and the one-time notice for a request the layer does not support.
#pragma once

#include <windows.h>

#include <string>

namespace winapi::backend {

// The Windows error code for an errno value. hostPath (UTF-8, may be empty) refines
// ENOENT: ERROR_PATH_NOT_FOUND when the folder part of the path is missing, else
// ERROR_FILE_NOT_FOUND.
DWORD ErrorFromErrno(int error, const std::string& hostPath = {});

// SetLastError(ErrorFromErrno(error, hostPath)); answers the code it set.
DWORD SetLastErrorFromErrno(int error, const std::string& hostPath = {});

// Says once per distinct text on stderr that the layer refused a request it does not
// support; the caller then answers its defined failure.
void WarnUnsupported(const char* what);

}  // namespace winapi::backend
