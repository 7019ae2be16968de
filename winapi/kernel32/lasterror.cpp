// kernel32 last error: GetLastError, SetLastError and FormatMessageA.
// Supports: a per-thread last-error code; FormatMessageA with FORMAT_MESSAGE_FROM_SYSTEM
// (inserts are never expanded) for the codes the layer sets. Other flags answer 0 with
// ERROR_INVALID_PARAMETER.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;

const char* SystemText(DWORD code) {
    switch (code) {
        case ERROR_SUCCESS:
            return "The operation completed successfully.";
        case ERROR_FILE_NOT_FOUND:
            return "The system cannot find the file specified.";
        case ERROR_PATH_NOT_FOUND:
            return "The system cannot find the path specified.";
        case ERROR_TOO_MANY_OPEN_FILES:
            return "The system cannot open the file.";
        case ERROR_ACCESS_DENIED:
            return "Access is denied.";
        case ERROR_INVALID_HANDLE:
            return "The handle is invalid.";
        case ERROR_NOT_ENOUGH_MEMORY:
            return "Not enough memory resources are available to process this command.";
        case ERROR_NOT_SAME_DEVICE:
            return "The system cannot move the file to a different disk drive.";
        case ERROR_WRITE_FAULT:
            return "The system cannot write to the specified device.";
        case ERROR_READ_FAULT:
            return "The system cannot read from the specified device.";
        case ERROR_HANDLE_EOF:
            return "Reached the end of the file.";
        case ERROR_GEN_FAILURE:
            return "A device attached to the system is not functioning.";
        case ERROR_HANDLE_DISK_FULL:
            return "The disk is full.";
        case ERROR_NOT_SUPPORTED:
            return "The request is not supported.";
        case ERROR_FILE_EXISTS:
            return "The file exists.";
        case ERROR_INVALID_PARAMETER:
            return "The parameter is incorrect.";
        case ERROR_INSUFFICIENT_BUFFER:
            return "The data area passed to a system call is too small.";
        case ERROR_DISK_FULL:
            return "There is not enough space on the disk.";
        case ERROR_INVALID_NAME:
            return "The filename, directory name, or volume label syntax is incorrect.";
        case ERROR_DIR_NOT_EMPTY:
            return "The directory is not empty.";
        case ERROR_ALREADY_EXISTS:
            return "Cannot create a file when that file already exists.";
        case ERROR_FILENAME_EXCED_RANGE:
            return "The filename or extension is too long.";
        case ERROR_DIRECTORY:
            return "The directory name is invalid.";
        case ERROR_NOT_OWNER:
            return "Attempt to release mutex not owned by caller.";
        default:
            return nullptr;
    }
}
}  // namespace

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD code) { lastError = code; }

DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD size,
                     va_list*) {
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || buffer == nullptr || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    char fallback[64];
    const char* text = SystemText(messageId);
    if (text == nullptr) {
        std::snprintf(fallback, sizeof fallback, "System error %u.", messageId);
        text = fallback;
    }
    // The system's texts end with a line break, as on Windows.
    const int written = std::snprintf(buffer, size, "%s\r\n", text);
    return written < 0 ? 0 : static_cast<DWORD>(std::strlen(buffer));
}
