// Backend: code page 932 (Shift-JIS, Microsoft variant) <-> UTF-8, over glibc iconv.
// Two flavours:
// - text (messages, window titles, dialog texts): unmappable characters become '?';
// - paths: HostToProgramPath / ProgramToHostPath of hostpath.h, lossless for every
//   host name (see hostpath.h and cp932.cpp for the byte mapping).
#pragma once

#include <string>
#include <string_view>

namespace winapi::backend {

// Lead bytes of code page 932 double-byte characters: 0x81..0x9F, 0xE0..0xFC.
constexpr bool IsCp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
// Trail bytes: 0x40..0x7E, 0x80..0xFC.
constexpr bool IsCp932TrailByte(unsigned char byte) {
    return byte >= 0x40 && byte <= 0xFC && byte != 0x7F;
}

// Program text to UTF-8; a byte sequence code page 932 does not define becomes '?'.
std::string Cp932TextToUtf8(std::string_view text);
// UTF-8 to program text; a character code page 932 lacks (or a byte that is not valid
// UTF-8) becomes '?'.
std::string Utf8TextToCp932(std::string_view text);

}  // namespace winapi::backend
