// Provisional C runtime calls; the path-converting versions replace these.
#include <io.h>

#include <strings.h>
#include <unistd.h>

#include <cerrno>

errno_t fopen_s(FILE** file, const char* path, const char* mode) {
    *file = std::fopen(path, mode);
    return *file ? 0 : errno;
}
int _access(const char* path, int mode) { return access(path, mode); }
int _unlink(const char* path) { return unlink(path); }
int _stricmp(const char* a, const char* b) { return strcasecmp(a, b); }
int _strnicmp(const char* a, const char* b, size_t count) { return strncasecmp(a, b, count); }
