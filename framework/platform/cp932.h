// Code page 932 text above the layer: which bytes lead a double-byte character, how many
// bytes the character at a position takes, ASCII case folding, and how a name holding
// characters code page 932 lacks is shown on screen. Every scan of program
// text (paths, package entry names, text on screen) steps by these, so the trail byte of a
// double-byte character, which may equal "\", "/" or an ASCII letter, is never taken for
// one. Header-only and in the lowest library that scans text, so every library above the
// layer may use it; the layer has its own in winapi/backend/cp932.h.
#pragma once

#include <cstddef>
#include <string>
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

// The lead byte of the user-defined characters that carry, one byte each, a host name's
// character code page 932 lacks (winapi/include/hostpath.h). No font draws them.
inline constexpr unsigned char kHostByteLead = 0xF0;

// text as the screen shows it: every host character carried in user-defined characters
// (the bytes of one UTF-8 character: a first byte and the 0x80-0xBF bytes after it)
// becomes one "?", so an accented letter or an emoji reads as one "?", never as boxes.
// Everything else is kept. The text itself (a path) keeps its bytes for the files.
inline std::string ShownText(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    bool inHostCharacter = false;
    for (size_t pos = 0; pos < text.size();) {
        const size_t length = CharacterLength(text, pos);
        if (length == 2 && static_cast<unsigned char>(text[pos]) == kHostByteLead) {
            // The trail byte is the host byte itself for 0x80-0xFC; the few it cannot be
            // (0x40-0x43) stand for "\" and 0xFD-0xFF, none of which continues a character.
            const unsigned char host = static_cast<unsigned char>(text[pos + 1]);
            const bool continues = host >= 0x80 && host <= 0xBF;
            if (!(continues && inHostCharacter)) shown += '?';
            inHostCharacter = true;
        } else {
            shown.append(text, pos, length);
            inHostCharacter = false;
        }
        pos += length;
    }
    return shown;
}

}  // namespace NVireo::NCp932
