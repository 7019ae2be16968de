// io.h and the secure stdio calls of the Microsoft C runtime that this program uses,
// implemented for Linux by the winapi library. Paths are code page 932 text; the layer
// converts them to the file system's UTF-8 names (see hostpath.h).
#pragma once

#include <cstdio>

typedef int errno_t;

// Opens path with a stdio mode ("rb", "wb", "r", "a", ...); 0 on success, else an errno
// value with *file set to null. A "t" in the mode is accepted and ignored.
errno_t fopen_s(FILE** file, const char* path, const char* mode);

// mode 0: exists; 2: writable; 4: readable; 6: both. 0 on success, -1 with errno set.
int _access(const char* path, int mode);
int _unlink(const char* path);
int _stricmp(const char* a, const char* b);
int _strnicmp(const char* a, const char* b, size_t count);

// 64-bit stream positions (declared by stdio.h of the Microsoft runtime): 0 / the position
// on success, -1 with errno set on failure.
int _fseeki64(FILE* file, long long offset, int origin);
long long _ftelli64(FILE* file);

// Stream and descriptor queries (stdio.h and io.h of the Microsoft runtime).
int _fileno(FILE* file);
int _isatty(int descriptor);  // nonzero for a terminal
