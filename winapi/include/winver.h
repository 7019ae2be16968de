// winver.h: the version resource as this program reads it. Included by windows.h;
// include windows.h instead.
#pragma once
#include "windows.h"
