// The classes CoCreateInstance can make, each provided by its own service.
#pragma once

#include <unknwn.h>

namespace winapi::backend {

// dshow: a new filter graph, answered as interface riid (E_NOINTERFACE for one it lacks).
HRESULT CreateFilterGraph(REFIID riid, void** object);

}  // namespace winapi::backend
