// Code page 932 conversion: the lossless path mapping of hostpath.h and the text flavour.
#include "backend/cp932.h"

#include <gtest/gtest.h>
#include <hostpath.h>

#include <random>
#include <string>
#include <vector>

namespace {

using winapi::backend::Cp932TextToUtf8;
using winapi::backend::Cp932UpperAscii;
using winapi::backend::IsCp932LeadByte;
using winapi::backend::Utf8TextToCp932;

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char c : bytes) {
        text += digits[c >> 4];
        text += digits[c & 15];
        text += ' ';
    }
    return text;
}

std::string Utf8(char32_t c) {
    std::string s;
    if (c < 0x80) {
        s += static_cast<char>(c);
    } else if (c < 0x800) {
        s += static_cast<char>(0xC0 | (c >> 6));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        s += static_cast<char>(0xE0 | (c >> 12));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (c >> 18));
        s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    }
    return s;
}

// True when a single-byte "\" (a folder separator to the program) appears in the text.
bool HasSingleByteBackslash(const std::string& program) {
    for (size_t i = 0; i < program.size(); ++i) {
        if (program[i] == '\\') return true;
        if (IsCp932LeadByte(static_cast<unsigned char>(program[i]))) ++i;
    }
    return false;
}

struct PathCase {
    const char* host;
    const char* program;
};

// Both directions, exactly: the program's bytes for a host name, and back.
void ExpectBothWays(const PathCase& c) {
    EXPECT_EQ(Hex(HostToProgramPath(c.host)), Hex(c.program)) << "host " << Hex(c.host);
    EXPECT_EQ(Hex(ProgramToHostPath(c.program)), Hex(c.host)) << "host " << Hex(c.host);
}

TEST(HostPath, CharactersCodePage932HasBecomeItsBytes) {
    const PathCase cases[] = {
        {"folder/clip.wav", "folder/clip.wav"},
        {"\xE8\xA1\xA8.wav", "表.wav"},  // trail byte 0x5C
        {"a/\xE3\x82\xBD/b", "a/ソ/b"},  // trail byte 0x5C inside a path
        {"\xE7\xBA\x8A", "\xFA\x5C"},    // IBM extension, trail byte 0x5C
        {"\xEF\xBD\xB1", "\xB1"},        // half-width katakana
        {"~", "~"},
        // Of each pair glibc maps to one code, the one that comes back unchanged.
        {"\xEF\xBC\xBC", "\x81\x5F"},  // U+FF3C
        {"\xEF\xBD\x9E", "\x81\x60"},  // U+FF5E
        {"\xE2\x88\xA5", "\x81\x61"},  // U+2225
        {"\xEF\xBC\x8D", "\x81\x7C"},  // U+FF0D
        {"\xEF\xBF\xA0", "\x81\x91"},  // U+FFE0
        {"\xEF\xBF\xA1", "\x81\x92"},  // U+FFE1
        {"\xEF\xBF\xA2", "\x81\xCA"},  // U+FFE2
        {"\xE2\x80\x95", "\x81\x5C"},  // U+2015, trail byte 0x5C
    };
    for (const PathCase& c : cases) ExpectBothWays(c);
}

TEST(HostPath, WhatCodePage932LacksIsKeptByteByByte) {
    const PathCase cases[] = {
        {"a\\b",
         "a\xF0\x40"
         "b"},                                                     // a backslash in a Linux name
        {"caf\xC3\xA9", "caf\xF0\xC3\xF0\xA9"},                    // not in code page 932
        {"\xF0\x9F\x8E\xB5", "\xF0\xF0\xF0\x9F\xF0\x8E\xF0\xB5"},  // emoji
        {"\xEE\x80\x80", "\xF0\xEE\xF0\x80\xF0\x80"},              // private use; iconv says 0xF040
        {"\xEF\xA3\xBF", "\xF0\xEF\xF0\xA3\xF0\xBF"},              // U+F8FF, last private-use
        {"\xC2\xA5", "\xF0\xC2\xF0\xA5"},                          // U+00A5; iconv says "\"
        {"\xE2\x80\xBE", "\xF0\xE2\xF0\x80\xF0\xBE"},              // U+203E; iconv says "~"
        {"\xE2\x80\x96", "\xF0\xE2\xF0\x80\xF0\x96"},              // U+2016; 0x8161 is U+2225
        {"\xE3\x80\x9C", "\xF0\xE3\xF0\x80\xF0\x9C"},              // U+301C; 0x8160 is U+FF5E
        {"\xE2\x88\x92", "\xF0\xE2\xF0\x88\xF0\x92"},              // U+2212; 0x817C is U+FF0D
        {"\xC2\xA2\xC2\xA3\xC2\xAC",
         "\xF0\xC2\xF0\xA2\xF0\xC2\xF0\xA3\xF0\xC2\xF0\xAC"},      // U+00A2, U+00A3, U+00AC
        {"\xE2\x80\x94", "\xF0\xE2\xF0\x80\xF0\x94"},              // U+2014; 0x815C is U+2015
        {"\xFD\xFE\xFF", "\xF0\x41\xF0\x42\xF0\x43"},              // never valid UTF-8
        {"\x80", "\xF0\x80"},                                      // stray continuation byte
        {"\xC0\xAF", "\xF0\xC0\xF0\xAF"},                          // overlong "/"
        {"\xED\xA0\x80", "\xF0\xED\xF0\xA0\xF0\x80"},              // surrogate
        {"\xE8\xA1", "\xF0\xE8\xF0\xA1"},                          // cut short
        {"\xF4\x90\x80\x80", "\xF0\xF4\xF0\x90\xF0\x80\xF0\x80"},  // beyond U+10FFFF
    };
    for (const PathCase& c : cases) ExpectBothWays(c);
}

TEST(HostPath, ProgramPathsLeaveForTheHost) {
    const PathCase cases[] = {
        {"a/b/c", "a\\b\\c"},         // single-byte "\" separates folders
        {"\xE8\xA1\xA8/x", "表\\x"},  // "表" then a separator
        {"d/\xE3\x82\xBD", "d\\ソ"},  // a name ending in trail byte 0x5C
        {"\xE8\xA1\xA8\xE8\xA1\xA8", "表表"},
        {"\xEE\x80\x84", "\xF0\x44"},  // 0xF0 code outside the byte table
        {"\x85\x40", "\x85\x40"},      // no character: passes unchanged
        {"\x81", "\x81"},              // lead byte cut short
        {"\x81/x", "\x81/x"},          // lead byte before a non-trail byte
        {"\xA0\xFD", "\xA0\xFD"},      // single bytes that are no character
    };
    for (const PathCase& c : cases) {
        EXPECT_EQ(Hex(ProgramToHostPath(c.program)), Hex(c.host)) << Hex(c.program);
    }
}

TEST(HostPath, EveryCodePointRoundTrips) {
    size_t converted = 0;  // characters that became code page 932 characters of their own
    for (char32_t c = 1; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        const std::string host = Utf8(c);
        const std::string program = HostToProgramPath(host);
        if (ProgramToHostPath(program) != host || HasSingleByteBackslash(program)) {
            ADD_FAILURE() << "U+" << std::hex << static_cast<uint32_t>(c) << " -> " << Hex(program);
            return;
        }
        if (c >= 0x80 && static_cast<unsigned char>(program[0]) != 0xF0) ++converted;
    }
    // JIS X 0208 with the NEC and IBM extensions and half-width katakana: over 7,000.
    // Far fewer would mean iconv is missing and everything went byte by byte.
    EXPECT_GT(converted, 7000u);
}

TEST(HostPath, RandomByteStringsRoundTrip) {
    const std::vector<std::string> pieces = {
        "\\",
        "/",
        "a",
        "Z",
        ".",
        " ",
        "~",
        "\xE8\xA1\xA8",
        "\xE3\x82\xBD",
        "\xE6\x97\xA5\xE6\x9C\xAC",
        "\xEF\xBD\xB1",
        "\xEE\x80\x80",
        "\xEF\xA3\xBF",
        "\xF0\x9F\x8E\xB5",
        "\xF0\x9F\x98\x80",
        "\xC3\xA9",
        "\xC2\xA5",
        "\xE2\x80\xBE",
        "\xE3\x80\x9C",
        "\xEF\xBD\x9E",
        "\xE7\xBA\x8A",
        "\xF0\x40",
        "\xE8",
    };
    std::mt19937 random(932);
    std::uniform_int_distribution<int> pieceCount(0, 12), kind(0, 2), byte(1, 255);
    std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
    for (int round = 0; round < 20000; ++round) {
        std::string host;
        for (int n = pieceCount(random); n > 0; --n) {
            if (kind(random) == 0) {
                host += static_cast<char>(byte(random));
            } else {
                host += pieces[pick(random)];
            }
        }
        const std::string program = HostToProgramPath(host);
        ASSERT_EQ(Hex(ProgramToHostPath(program)), Hex(host));
        ASSERT_FALSE(HasSingleByteBackslash(program)) << Hex(host);
    }
}

TEST(Cp932Text, ConvertsTextAndMarksWhatCannotBe) {
    struct Case {
        const char* from;
        const char* to;
    };
    const Case toUtf8[] = {
        {"日本語 abc", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E abc"},
        {"表\\", "\xE8\xA1\xA8\\"},  // text keeps its backslash
        {"\xB1", "\xEF\xBD\xB1"},    // half-width katakana
        {"x\x85\x40y", "x?y"},       // an undefined double-byte code is one '?'
        {"\x81 a", "? a"},           // a lead byte before a non-trail byte
        {"a\x81", "a?"},             // a lead byte at the end
        {"\xA0\xFD", "??"},
        {"", ""},
    };
    for (const Case& c : toUtf8) {
        EXPECT_EQ(Hex(Cp932TextToUtf8(c.from)), Hex(c.to)) << Hex(c.from);
    }
    const Case fromUtf8[] = {
        {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E abc", "日本語 abc"},
        {"caf\xC3\xA9!", "caf?!"},
        {"\xF0\x9F\x8E\xB5.", "?."},  // one '?' for a whole character
        {"\xFF\xFE", "??"},
        {"\xE8\xA1", "?"},  // cut short at the end: one '?'
        {"\xE8\xA1x\xE8", "?x?"},
        {"\xED\xA0\x80", "???"},  // a surrogate is no start of a character
        {"\xEF\xBD\x9E", "\x81\x60"},
    };
    for (const Case& c : fromUtf8) {
        EXPECT_EQ(Hex(Utf8TextToCp932(c.from)), Hex(c.to)) << Hex(c.from);
    }
    // Longer than the converter's buffer in one go.
    std::string longText;
    for (int i = 0; i < 5000; ++i) longText += "表a";
    EXPECT_EQ(Utf8TextToCp932(Cp932TextToUtf8(longText)), longText);
}

// Class names compare in either case: only single-byte letters fold, the trail byte of
// a double-byte character (0x83 0x61 and 0x83 0x41 are two katakana) keeps its case.
TEST(Cp932Text, UpperCasesOnlySingleByteLetters) {
    struct Case {
        const char* from;
        const char* to;
    };
    const Case cases[] = {
        {"se Class-1", "SE CLASS-1"},
        {"\x83\x61x", "\x83\x61X"},
        {"\x83\x41\x83\x61", "\x83\x41\x83\x61"},
        {"\xC9z", "\xC9Z"},  // a half-width katakana is one byte
        {"a\x83", "A\x83"},  // a lead byte at the end stands alone
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(Hex(Cp932UpperAscii(c.from)), Hex(c.to)) << Hex(c.from);
}

}  // namespace
