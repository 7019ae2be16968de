#include "framework/text/string_table.h"

#include <windows.h>

#include <cstdio>

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/package/package.h"

namespace Site = NVireo::NError::NSite::NStringTable;

namespace NVireo::NText {

using NVireo::NError::kSite;
using NVireo::NFile::NSTDIO::CBinary;

namespace {

// The table being read: its stream, where it started and how long it is.
struct CReader {
    CBinary& file;
    uint64_t start;
    uint64_t size;
    uint64_t offset = 0;  // bytes consumed so far

    uint64_t Left() const { return size - offset; }

    // Reports that count bytes are wanted where fewer are left.
    bool ShortRead(uint64_t count) {
        SE_MARK();
        char message[64];
        std::snprintf(message, sizeof message, "%d(%u),T=%u", static_cast<int>(offset),
                      static_cast<unsigned>(size),
                      static_cast<unsigned>(count > UINT32_MAX ? UINT32_MAX : count));
        SetLastError(ERROR_HANDLE_EOF);
        Raise(kSite, Site::kShortRead, message);
        return false;
    }

    bool U32(uint32_t& out) {
        SE_MARK();
        if (Left() < 4) return ShortRead(4);
        unsigned char bytes[4];
        if (!file.TryRead(bytes, 4)) return ShortRead(4);
        out = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
              static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
        offset += 4;
        return true;
    }

    bool Text(std::string& out) {
        SE_MARK();
        uint32_t length = 0;
        if (!U32(length)) return false;
        if (length > Left()) return ShortRead(length);
        out.assign(length, '\0');
        if (length != 0 && !file.TryRead(out.data(), length)) {
            out.clear();
            return ShortRead(length);
        }
        offset += length;
        return true;
    }
};

void Put32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

void CStringTable::Load(const char* path) {
    SE_MARK();
    header.clear();
    texts.clear();
    const std::string name = NVireo::NFile::ReplaceExtension(path, "pd");
    CBinary file;
    NVireo::NRender::CPackage::Entry entry;
    if (!NVireo::NRender::ProgramPackage().OpenEntry(file, entry, name.c_str())) return;
    // An entry the directory claims beyond the end of the package only has the bytes
    // the file holds.
    const uint64_t fileSize = file.Size();
    uint64_t size = entry.size;
    if (entry.offset > fileSize) {
        size = 0;
    } else if (size > fileSize - entry.offset) {
        size = fileSize - entry.offset;
    }
    Read(file, size);
}

bool CStringTable::Read(CBinary& file, uint64_t size) {
    SE_MARK();
    header.clear();
    texts.clear();
    CReader reader{file, file.Position(), size};
    if (!reader.Text(header)) return false;
    uint32_t count = 0;
    if (!reader.U32(count)) return false;
    // Each entry takes at least its id and its length: a damaged count is caught here,
    // before the loop runs.
    if (static_cast<uint64_t>(count) * 8 > reader.Left()) {
        return reader.ShortRead(static_cast<uint64_t>(count) * 8);
    }
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t id = 0;
        std::string text;
        if (!reader.U32(id) || !reader.Text(text)) return false;
        texts.insert_or_assign(id, std::move(text));
    }
    return true;
}

const std::string& CStringTable::Get(uint32_t id) const {
    SE_MARK();
    const auto found = texts.find(id);
    if (found != texts.end()) return found->second;
    char idText[32];
    std::snprintf(idText, sizeof idText, "id=%u\n", static_cast<unsigned>(id));
    const std::string message = header + idText;
    Raise(kSite, Site::kMissingId, message.c_str());
    static const std::string empty;
    return empty;
}

CStringTable& ApplicationStrings() {
    static CStringTable table;
    return table;
}

CStringTable& SystemStrings() {
    static CStringTable table;
    return table;
}

std::string StringTableBytes(const std::string& header,
                             const std::vector<std::pair<uint32_t, std::string>>& entries) {
    SE_MARK();
    std::string out;
    Put32(out, static_cast<uint32_t>(header.size()));
    out += header;
    Put32(out, static_cast<uint32_t>(entries.size()));
    for (const auto& [id, text] : entries) {
        Put32(out, id);
        Put32(out, static_cast<uint32_t>(text.size()));
        out += text;
    }
    return out;
}

}  // namespace NVireo::NText
