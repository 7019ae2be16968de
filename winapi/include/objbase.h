// objbase.h: the COM library calls the program makes: initialising COM on a thread and
// creating the one class it asks for (the DirectShow filter graph).
#pragma once

#include "unknwn.h"

#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER 0x4
#define CLSCTX_ALL 0x17

#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0L)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154L)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110L)

// Initialises COM on the calling thread: S_OK the first time, S_FALSE when it already was
// (each success needs its CoUninitialize). reserved must be null.
HRESULT CoInitialize(LPVOID reserved);
void CoUninitialize();
// Creates an object of a class the layer provides (CLSID_FilterGraph, in-process) and
// answers the interface riid of it. CO_E_NOTINITIALIZED on a thread without COM,
// REGDB_E_CLASSNOTREG for any other class, CLASS_E_NOAGGREGATION with an outer object.
HRESULT CoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD context, REFIID riid,
                         LPVOID* object);
