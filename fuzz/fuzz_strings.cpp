// Fuzz target for the string table reader: any bytes as a table either read or are
// reported, never crash, never read beyond the table, never allocate more than it holds.
// The bytes after the table (a second copy of the input) must stay unread.
#include <cstdint>
#include <cstdio>
#include <string>

#include "framework/error/error.h"
#include "framework/text/string_table.h"
#include "fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Reports throw CObject; a damaged table may be reported, it must not crash.
    NVireo::NError::Record().policy = 1;
    const std::string path = WriteFuzzFile("strings", {Bytes(data, size), Bytes(data, size)});
    if (path.empty()) return 0;

    NVireo::NText::CStringTable table;
    NVireo::NFile::NSTDIO::CBinary stream;
    stream.Open(path.c_str(), "rb");
    bool read = false;
    try {
        read = table.Read(stream, size);
    } catch (const NVireo::NError::CObject&) {
        NVireo::NError::Clear();
    }
    if (stream.Position() > size) __builtin_trap();
    if (read) {
        uint64_t bytes = 8 + table.header.size();
        for (const auto& [id, text] : table.texts) {
            bytes += 8 + text.size();
            if (table.Get(id) != text) __builtin_trap();
        }
        if (bytes > size) __builtin_trap();
    }
    return 0;
}
