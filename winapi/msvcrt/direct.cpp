// Microsoft C runtime direct.h: _mkdir.
// Supports: creating one folder (code page 932 path) with mode 0777 masked by the umask.
// Failures set errno (EEXIST when something of that name exists, ENOENT when the parent
// is missing) and the last error. Does not create parent folders.
#include <direct.h>
#include <hostpath.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "backend/syserror.h"

int _mkdir(const char* path) {
    if (path == nullptr) {
        winapi::backend::SetLastErrorFromErrno(EINVAL);
        errno = EINVAL;
        return -1;
    }
    const std::string hostPath = ProgramToHostPath(path);
    if (mkdir(hostPath.c_str(), 0777) != 0) {
        const int error = errno;
        winapi::backend::SetLastErrorFromErrno(error, hostPath);
        errno = error;
        return -1;
    }
    return 0;
}
