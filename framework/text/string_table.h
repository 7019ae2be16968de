// String tables: every text the user sees and every settings key comes from one of two
// tables in the data package, looked up by a 32-bit id.
//
// Table file (32-bit little-endian integers): the header length L, L bytes of header
// text, the entry count N, then N entries of id, text length M and M bytes of text in
// code page 932 without terminator. The header text names the table in lookup errors.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "framework/platform/file.h"

namespace NVireo::NText {

// The application's table; Load turns the extension into "pd".
inline constexpr char kApplicationStringsName[] = "Program/String/Strings.txt";
// The framework's own table (captions, messages, settings keys): a fixed folder of the
// framework followed by "System.pd".
inline constexpr char kSystemStringsFolder[] = "Program/String/";
inline constexpr char kSystemStringsName[] = "Program/String/System.pd";

class CStringTable {
public:
    std::string header;
    std::map<uint32_t, std::string> texts;

    // Opens the entry path of the program package, its extension replaced by "pd" (kept
    // when it already is "pd" in any case), and reads the table from it. A missing entry
    // and a damaged table are fatal; if the report returns, the table holds what was read.
    void Load(const char* path);
    // Reads a table from file, whose table bytes run from its current position for size
    // bytes. The table is emptied first. Every length and count is checked against the
    // bytes left before anything is read or allocated; a table that runs short is
    // reported as "%d(%u),T=%u" of (position in the table, table size, bytes wanted).
    // Answers false when something was reported.
    bool Read(NVireo::NFile::NSTDIO::CBinary& file, uint64_t size);
    // The text of id. A missing id is fatal, reported as the header text followed by
    // "id=<id>\n"; if the report returns, the answer is an empty text.
    const std::string& Get(uint32_t id) const;
};

// The process-wide tables, loaded at start-up.
CStringTable& ApplicationStrings();
CStringTable& SystemStrings();

// The bytes of a table file with this header and these entries, in the given order
// (tests and the packer).
std::string StringTableBytes(const std::string& header,
                             const std::vector<std::pair<uint32_t, std::string>>& entries);

}  // namespace NVireo::NText
