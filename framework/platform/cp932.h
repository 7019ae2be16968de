// Code page 932 text above the layer: which bytes lead a double-byte character, how many
// bytes the character at a position takes, and ASCII case folding. Every scan of program
// text (paths, package entry names, text on screen) steps by these, so the trail byte of a
// double-byte character, which may equal "\", "/" or an ASCII letter, is never taken for
// one. Header-only and in the lowest library that scans text, so every library above the
// layer may use it; the layer has its own in winapi/backend/cp932.h.
#pragma once

#include <cstddef>
#include <string_view>

namespace NVireo::NCp932 {

// Whether byte starts a double-byte character: 0x81-0x9F and 0xE0-0xFC.
constexpr bool IsLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Bytes of the character at text[pos]: 2 for a lead byte with a byte after it in text,
// 1 otherwise (a lead byte at the end stands alone).
constexpr size_t CharacterLength(std::string_view text, size_t pos) {
    return IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() ? 2 : 1;
}

// Bytes of the character a NUL-terminated text starts with: 0 at the terminator (and for
// null), 2 for a lead byte followed by a byte, 1 otherwise.
constexpr size_t CharacterLength(const char* text) {
    if (text == nullptr || text[0] == '\0') return 0;
    return IsLeadByte(static_cast<unsigned char>(text[0])) && text[1] != '\0' ? 2 : 1;
}

// 'A'-'Z' as 'a'-'z'; any other byte as it is. For a single-byte character: callers step
// over a double-byte character whole, so its trail byte keeps its case.
constexpr char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace NVireo::NCp932
