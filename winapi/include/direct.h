// direct.h of the Microsoft C runtime: folder creation, implemented by the winapi library.
#pragma once

// Creates one folder (code page 932 path); 0 on success, -1 with errno set
// (EEXIST when something of that name exists).
int _mkdir(const char* path);
