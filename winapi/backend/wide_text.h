// UTF-16 text for the services that take wide strings: the way back from wide text to
// the program's code page 932, the reverse of MultiByteToWideChar.
#pragma once

#include <stringapiset.h>

#include <string>

namespace winapi::backend {

// Code page 932 text of a terminated UTF-16 string. Private-use characters U+E000..U+E757
// become the user-defined characters they stand for; a character code page 932 lacks
// becomes '?'.
std::string WideToProgramText(LPCWSTR wide);

}  // namespace winapi::backend
