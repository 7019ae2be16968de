// Backend: code page 932 <-> UTF-8 for the whole layer, over glibc iconv ("CP932"), and
// the path conversion declared in hostpath.h.
// Supports: text in both directions ('?' for what cannot be converted); paths losslessly
// from any host name and back. Does not: other code pages. Without a usable iconv (no
// gconv modules) it warns once and treats every non-ASCII character as unmappable, which
// keeps paths lossless and turns such text into '?'.
//
// Paths. A host (Linux) name is any byte string. Each well-formed UTF-8 character that
// code page 932 has, and that iconv converts back to exactly the same UTF-8, becomes its
// code page 932 bytes. Everything else is kept byte by byte as a user-defined double-byte
// character: lead byte 0xF0 and a trail byte from this table:
//     host byte 0x80..0xFC -> trail byte of the same value
//     host byte 0x5C ("\") -> 0x40, 0xFD -> 0x41, 0xFE -> 0x42, 0xFF -> 0x43
// That covers characters code page 932 lacks (accented Latin letters, emoji), a literal
// backslash in a Linux name (it would otherwise read as a folder separator), private-use
// characters U+E000..U+F8FF (iconv maps them onto the 0xF0.. user-defined codes used
// here), bytes that are not valid UTF-8, and glibc's one-way mappings: U+00A5 and U+203E
// become the single bytes 0x5C and 0x7E; U+2016/U+2225, U+2212/U+FF0D, U+301C/U+FF5E,
// U+2014/U+2015, U+00A2/U+FFE0, U+00A3/U+FFE1 and U+00AC/U+FFE2 share one code each, and
// only the member of each pair that comes back unchanged converts.
//
// On the way out, lead byte 0xF0 is always decoded by the table above (a trail byte
// outside it names the private-use character Windows gives that code), a single-byte 0x5C
// becomes "/", and a double-byte character whose trail byte is 0x5C ("表" 0x95 0x5C,
// "ソ" 0x83 0x5C) stays one character. Bytes that are no code page 932 character pass
// through unchanged.
#include "backend/cp932.h"

#include <hostpath.h>
#include <iconv.h>

#include <cerrno>

#include "backend/syserror.h"

namespace winapi::backend {

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// One pair of descriptors per thread: a descriptor keeps state and must not be shared.
class CConverters {
public:
    iconv_t toUtf8 = iconv_open("UTF-8", "CP932");
    iconv_t fromUtf8 = iconv_open("CP932", "UTF-8");

    CConverters() {
        if (toUtf8 == kNoConverter || fromUtf8 == kNoConverter) {
            WarnUnsupported("code page 932 conversion (iconv has no CP932 converter)");
        }
    }
    ~CConverters() {
        if (toUtf8 != kNoConverter) iconv_close(toUtf8);
        if (fromUtf8 != kNoConverter) iconv_close(fromUtf8);
    }
    CConverters(const CConverters&) = delete;
    CConverters& operator=(const CConverters&) = delete;
};

CConverters& Converters() {
    thread_local CConverters converters;
    return converters;
}

// Converts exactly the bytes of one character and appends the result; false (and
// nothing appended) when iconv rejects any of them.
bool ConvertCharacter(iconv_t converter, const char* input, size_t size, std::string& out) {
    if (converter == kNoConverter) return false;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    char buffer[16];
    char* in = const_cast<char*>(input);
    size_t inLeft = size;
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    if (iconv(converter, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) ||
        inLeft != 0 || outPtr == buffer) {
        return false;
    }
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    return true;
}

// Length (1..4) of the well-formed UTF-8 sequence at text[pos], 0 when there is none
// (stray continuation byte, overlong form, surrogate, beyond U+10FFFF, cut short); then
// *subpart, when given, receives the length of the longest start of a well-formed
// sequence there (at least 1), which text conversion replaces by one '?'.
size_t Utf8Sequence(std::string_view text, size_t pos, char32_t& codePoint,
                    size_t* subpart = nullptr) {
    const auto at = [&](size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    const size_t left = text.size() - pos;
    const unsigned char first = at(0);
    if (subpart) *subpart = 1;
    if (first < 0x80) {
        codePoint = first;
        return 1;
    }
    size_t length;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        codePoint = first & 0x1F;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        codePoint = first & 0x0F;
        if (first == 0xE0) low = 0xA0;
        if (first == 0xED) high = 0x9F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        codePoint = first & 0x07;
        if (first == 0xF0) low = 0x90;
        if (first == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if (i >= left) return 0;
        const unsigned char byte = at(i);
        const unsigned char min = i == 1 ? low : 0x80;
        const unsigned char max = i == 1 ? high : 0xBF;
        if (byte < min || byte > max) return 0;
        codePoint = (codePoint << 6) | (byte & 0x3F);
        if (subpart) *subpart = i + 1;
    }
    return length;
}

constexpr unsigned char kEscapeLead = 0xF0;

unsigned char EscapeTrail(unsigned char hostByte) {
    switch (hostByte) {
        case 0x5C:
            return 0x40;
        case 0xFD:
            return 0x41;
        case 0xFE:
            return 0x42;
        case 0xFF:
            return 0x43;
        default:
            return hostByte;  // 0x80..0xFC
    }
}

// The host byte behind an escape trail byte; false for trail bytes outside the table.
bool UnescapeTrail(unsigned char trail, unsigned char& hostByte) {
    switch (trail) {
        case 0x40:
            hostByte = 0x5C;
            return true;
        case 0x41:
            hostByte = 0xFD;
            return true;
        case 0x42:
            hostByte = 0xFE;
            return true;
        case 0x43:
            hostByte = 0xFF;
            return true;
        default:
            if (trail < 0x80 || trail > 0xFC) return false;
            hostByte = trail;
            return true;
    }
}

void AppendEscaped(std::string& out, unsigned char hostByte) {
    out += static_cast<char>(kEscapeLead);
    out += static_cast<char>(EscapeTrail(hostByte));
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {  // the private-use codes below are all in the BMP
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// Appends the code page 932 bytes of one UTF-8 character when it converts and converts
// back to the very same bytes; false (nothing appended) otherwise.
bool AppendRoundTripCharacter(CConverters& converters, const char* utf8, size_t size,
                              std::string& out) {
    std::string bytes;
    if (!ConvertCharacter(converters.fromUtf8, utf8, size, bytes)) return false;
    const unsigned char first = static_cast<unsigned char>(bytes[0]);
    if (first < 0x80 || first == kEscapeLead) return false;  // U+00A5 -> "\", U+203E -> "~"
    std::string back;
    if (!ConvertCharacter(converters.toUtf8, bytes.data(), bytes.size(), back)) return false;
    if (back != std::string_view(utf8, size)) return false;
    out += bytes;
    return true;
}

// Skips one code page 932 character (or one stray byte) at text[pos].
size_t Cp932CharacterLength(std::string_view text, size_t pos) {
    if (IsCp932LeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() &&
        IsCp932TrailByte(static_cast<unsigned char>(text[pos + 1]))) {
        return 2;
    }
    return 1;
}

size_t Utf8CharacterLength(std::string_view text, size_t pos) {
    char32_t codePoint;
    size_t subpart;
    const size_t length = Utf8Sequence(text, pos, codePoint, &subpart);
    return length == 0 ? subpart : length;
}

// Converts a whole text; what the converter rejects becomes one '?' per character.
std::string ConvertText(iconv_t converter, std::string_view text,
                        size_t (*characterLength)(std::string_view, size_t)) {
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    if (converter == kNoConverter) {
        for (size_t pos = 0; pos < text.size();) {
            const unsigned char byte = static_cast<unsigned char>(text[pos]);
            out += byte < 0x80 ? static_cast<char>(byte) : '?';
            pos += byte < 0x80 ? 1 : characterLength(text, pos);
        }
        return out;
    }
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (result != static_cast<size_t>(-1) || error == E2BIG) continue;
        // EILSEQ, or EINVAL for a character cut short at the end.
        out += '?';
        const size_t skip = characterLength(text, static_cast<size_t>(in - text.data()));
        in += skip;
        inLeft -= skip;
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

}  // namespace

std::string Cp932TextToUtf8(std::string_view text) {
    return ConvertText(Converters().toUtf8, text, Cp932CharacterLength);
}

std::string Utf8TextToCp932(std::string_view text) {
    return ConvertText(Converters().fromUtf8, text, Utf8CharacterLength);
}

std::string Cp932UpperAscii(std::string_view text) {
    std::string upper(text);
    for (size_t i = 0; i < upper.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(upper[i]);
        if (IsCp932LeadByte(byte) && i + 1 < upper.size()) {
            ++i;  // the trail byte keeps its case
        } else if (byte >= 'a' && byte <= 'z') {
            upper[i] = static_cast<char>(byte - 'a' + 'A');
        }
    }
    return upper;
}

}  // namespace winapi::backend

std::string HostToProgramPath(const std::string& hostPath) {
    using namespace winapi::backend;
    CConverters& converters = Converters();
    std::string out;
    out.reserve(hostPath.size() * 2);
    for (size_t pos = 0; pos < hostPath.size();) {
        const unsigned char byte = static_cast<unsigned char>(hostPath[pos]);
        if (byte < 0x80) {
            if (byte == '\\') {
                AppendEscaped(out, byte);
            } else {
                out += static_cast<char>(byte);
            }
            ++pos;
            continue;
        }
        char32_t codePoint;
        const size_t length = Utf8Sequence(hostPath, pos, codePoint);
        if (length == 0) {
            AppendEscaped(out, byte);
            ++pos;
            continue;
        }
        const bool privateUse = codePoint >= 0xE000 && codePoint <= 0xF8FF;
        if (privateUse ||
            !AppendRoundTripCharacter(converters, hostPath.data() + pos, length, out)) {
            for (size_t i = 0; i < length; ++i) {
                AppendEscaped(out, static_cast<unsigned char>(hostPath[pos + i]));
            }
        }
        pos += length;
    }
    return out;
}

std::string ProgramToHostPath(const std::string& programPath) {
    using namespace winapi::backend;
    CConverters& converters = Converters();
    std::string out;
    out.reserve(programPath.size() + programPath.size() / 2);
    for (size_t pos = 0; pos < programPath.size();) {
        const unsigned char byte = static_cast<unsigned char>(programPath[pos]);
        if (byte < 0x80) {
            out += byte == '\\' ? '/' : static_cast<char>(byte);
            ++pos;
            continue;
        }
        if (Cp932CharacterLength(programPath, pos) == 2) {
            const unsigned char trail = static_cast<unsigned char>(programPath[pos + 1]);
            unsigned char hostByte;
            if (byte != kEscapeLead) {
                if (!ConvertCharacter(converters.toUtf8, programPath.data() + pos, 2, out)) {
                    out.append(programPath, pos, 2);
                }
            } else if (UnescapeTrail(trail, hostByte)) {
                out += static_cast<char>(hostByte);
            } else {
                // 0xF0 0x44..0x7E, outside the table: the private-use character Windows
                // maps that code to (0xF040 is U+E000).
                AppendUtf8(out, 0xE000 + (trail - 0x40));
            }
            pos += 2;
            continue;
        }
        // A single non-ASCII byte: half-width katakana 0xA1..0xDF, or no character at all.
        if (!ConvertCharacter(converters.toUtf8, programPath.data() + pos, 1, out)) {
            out += static_cast<char>(byte);
        }
        ++pos;
    }
    return out;
}
