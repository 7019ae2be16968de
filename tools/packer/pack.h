// Writing a package from a folder: what se-pack does, as a function tests can call.
//
// Every file of the folder becomes the entry of its lower-case "/"-separated name,
// except the string tables' sources: each ".txt" file (UTF-8: a first line
// "#header <text>", "#" comments, blank lines, and "<id><TAB><text>" entries with \n, \t
// and \\ escapes) is compiled into the entry of the same name ending in ".pd", entries in
// id order and texts in code page 932 (glibc iconv). A malformed line, a bad escape, a
// repeated or out-of-range id, or a character code page 932 does not hold exactly stops
// the packing with "<file>:<line>: ...", so the build fails rather than pack a wrong
// text. The seed makes the package reproducible.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What PackFolder does with files whose names end in ".txt" (any case).
enum class TextFiles {
    Compile,    // string-table sources: packed compiled, as the entry ending in ".pd"
    AsTheyAre,  // packed like every other file (tests that hand in finished bytes)
};

// Packs every regular file under sourceFolder (host paths), recursively, into the
// package outPath. Each entry is named by its path relative to the folder in the
// program's code page 932, normalised as the reader looks names up (lower case, "/").
// Files and folders whose names start with "." are left out. A ".txt" file is, unless
// textFiles says otherwise, a string-table source: compiled by CompileStringTable and
// packed as the entry of the same name ending in ".pd". Every other file is packed as
// it is. Entries are written in name order; masks and name seeds come from a generator
// seeded with seed, or from the system's random source without one. Answers true, or
// false with a one-line reason (nothing is left at outPath then).
bool PackFolder(const std::string& outPath, const std::string& sourceFolder,
                std::optional<uint32_t> seed, std::string& reason,
                TextFiles textFiles = TextFiles::Compile);

// Compiles the source of a string table into the table file the program reads
// (framework/text/string_table.h): header text, then the entries in id order, every text
// in code page 932. The source is UTF-8 text (a leading byte-order mark is skipped;
// lines end in LF or CR LF):
//   #header <text>      the first line: the table's header text, which names the table
//                       in lookup errors
//   # ...               a comment; blank lines are skipped as well
//   <id><TAB><text>     one entry: a decimal id from 0 to 4294967295, one tab, the text
// Texts (and the header) may write a line break as \n, a tab as \t and a backslash as
// \\; any other backslash is an error. A text may be empty. Every character must be one
// that code page 932 holds and gives back unchanged (no private-use characters, no
// control characters other than tab). sourceName names the file in messages. Answers
// true with table filled, or false with "<sourceName>:<line>: <what is wrong>".
bool CompileStringTable(const std::string& source, const std::string& sourceName,
                        std::string& table, std::string& reason);

// se-pack's command line; answers the exit status (0 done, 1 failed, 2 usage).
int RunPacker(int argc, char** argv);
