// kernel32's MultiByteToWideChar for code page 932, and its reverse for the services,
// kept beside the code page 932 converter they are built on.
// Supports: CP_ACP and 932, flags 0 and MB_ERR_INVALID_CHARS. Does not: other code pages
// or flags (ERROR_INVALID_PARAMETER, said once on stderr).
#include "backend/wide_text.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "backend/cp932.h"
#include "backend/syserror.h"

namespace winapi::backend {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kPrivateFirst = 0xE000;
constexpr unsigned kUserLeadFirst = 0xF0, kUserLeadLast = 0xF9;
constexpr unsigned kTrailsPerLead = 188;  // 0x40..0x7E and 0x80..0xFC

// The code point of one UTF-8 character at text[i]; advances i. Malformed: U+FFFD.
char32_t DecodeUtf8(const std::string& text, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char first = byte(i);
    int length = first < 0x80         ? 1
                 : (first >> 5) == 6  ? 2
                 : (first >> 4) == 14 ? 3
                 : (first >> 3) == 30 ? 4
                                      : 0;
    if (length == 0 || i + static_cast<size_t>(length) > text.size()) {
        ++i;
        return kReplacement;
    }
    char32_t code = length == 1 ? first : first & (0x7F >> length);
    for (int k = 1; k < length; ++k) code = (code << 6) | (byte(i + static_cast<size_t>(k)) & 0x3F);
    i += static_cast<size_t>(length);
    return code;
}

std::string EncodeUtf8(char32_t code) {
    std::string out;
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
    return out;
}

void AppendUtf16(std::u16string& out, char32_t code) {
    if (code >= 0x10000) {
        code -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (code >> 10));
        out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
        out += static_cast<char16_t>(code);
    }
}

// Code page 932 text to UTF-16; false when a byte sequence is no character (it is then
// U+FFFD in out).
bool ToUtf16(std::string_view text, std::u16string& out) {
    bool valid = true;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        const bool pair = IsCp932LeadByte(lead) && i + 1 < text.size() &&
                          IsCp932TrailByte(static_cast<unsigned char>(text[i + 1]));
        if (pair && lead >= kUserLeadFirst && lead <= kUserLeadLast) {
            const auto trail = static_cast<unsigned char>(text[i + 1]);
            const unsigned index =
                (lead - kUserLeadFirst) * kTrailsPerLead + (trail - 0x40) - (trail >= 0x80 ? 1 : 0);
            out += static_cast<char16_t>(kPrivateFirst + index);
            i += 2;
            continue;
        }
        const size_t size = pair ? 2 : 1;
        const std::string utf8 = Cp932TextToUtf8(text.substr(i, size));
        i += size;
        if (utf8 == "?") {
            out += static_cast<char16_t>(kReplacement);
            valid = false;
            continue;
        }
        for (size_t k = 0; k < utf8.size();) AppendUtf16(out, DecodeUtf8(utf8, k));
    }
    return valid;
}

}  // namespace

std::string WideToProgramText(LPCWSTR wide) {
    std::string out;
    if (wide == nullptr) return out;
    for (size_t i = 0; wide[i] != 0; ++i) {
        char32_t code = wide[i];
        if (code >= 0xD800 && code < 0xDC00 && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code >= kPrivateFirst &&
                   code < kPrivateFirst + (kUserLeadLast - kUserLeadFirst + 1) * kTrailsPerLead) {
            const unsigned index = static_cast<unsigned>(code - kPrivateFirst);
            const unsigned trailIndex = index % kTrailsPerLead;
            out += static_cast<char>(kUserLeadFirst + index / kTrailsPerLead);
            out += static_cast<char>(0x40 + trailIndex + (trailIndex >= 0x3F ? 1 : 0));
        } else {
            out += Utf8TextToCp932(EncodeUtf8(code));
        }
    }
    return out;
}

}  // namespace winapi::backend

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int bytes, LPWSTR wide,
                        int wideChars) {
    if ((codePage != CP_ACP && codePage != 932) || (flags & ~DWORD{MB_ERR_INVALID_CHARS})) {
        winapi::backend::WarnUnsupported(
            "MultiByteToWideChar: code pages other than 932, or flags");
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (text == nullptr || bytes == 0 || bytes < -1 || wideChars < 0 ||
        (wideChars > 0 && wide == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::string_view source =
        bytes == -1 ? std::string_view(text, std::char_traits<char>::length(text) + 1)
                    : std::string_view(text, static_cast<size_t>(bytes));
    std::u16string out;
    if (!winapi::backend::ToUtf16(source, out) && (flags & MB_ERR_INVALID_CHARS)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (wideChars == 0) return static_cast<int>(out.size());
    if (out.size() > static_cast<size_t>(wideChars)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(out.begin(), out.end(), wide);
    return static_cast<int>(out.size());
}
