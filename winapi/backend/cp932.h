// Backend: code page 932 (Shift-JIS, Microsoft variant) <-> UTF-8, over glibc iconv.
// Two flavours:
// - text (messages, window titles, dialog texts): unmappable characters become '?';
// - paths: HostToProgramPath / ProgramToHostPath of hostpath.h, lossless for every
//   host name (see hostpath.h and cp932.cpp for the byte mapping).
// Also the layer's one test of lead and trail bytes and its ASCII case folding, which
// leaves double-byte characters whole (the code above the layer has its own in
// framework/platform/cp932.h).
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

// ASCII case folding: 'A'..'Z' as 'a'..'z'; any other byte as it is. For a single-byte
// character: the trail byte of a double-byte character may equal a letter and keeps its
// case, so callers step over double-byte characters whole.
constexpr unsigned char LowerAscii(unsigned char byte) {
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}
// Program text with its single-byte letters in upper case; double-byte characters stay
// as they are.
std::string Cp932UpperAscii(std::string_view text);

// Program text to UTF-8; a byte sequence code page 932 does not define becomes '?'.
std::string Cp932TextToUtf8(std::string_view text);
// UTF-8 to program text; a character code page 932 lacks (or a byte that is not valid
// UTF-8) becomes '?'.
std::string Utf8TextToCp932(std::string_view text);

}  // namespace winapi::backend
