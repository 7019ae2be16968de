// Reading the package directory and opening entries. Every Raise below has its own site
// number (865xx); Raise may return (an error is already being handled, or a caller's
// policy), so each site stops reading and leaves what it has filled consistent. Sizes
// read from the file are checked against the bytes the file still holds before anything
// is allocated or read, so a damaged directory costs no more memory than the file.
#include "framework/package/package.h"

#include <cstdio>
#include <vector>

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/package/package_key.h"
#include "framework/platform/cp932.h"

namespace Site = NVireo::NError::NSite::NPackage;

namespace NVireo::NRender {

namespace {

using NVireo::NError::kSite;
using NVireo::NFile::NSTDIO::CBinary;

// The smallest directory entry: mask, offset, size and name length.
constexpr uint64_t kEntryHeaderBytes = 16;
constexpr uint32_t kSeedBytes = 4;

uint32_t LittleEndian32(const unsigned char* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// Reports a read of count bytes at position that the file cannot satisfy, in the words
// of the file layer's own short read.
void ReportShortRead(uint32_t site, uint64_t position, uint64_t fileSize, uint64_t count) {
    SE_MARK();
    char message[64];
    std::snprintf(message, sizeof message, "%d(%u),T=%u", static_cast<int>(position),
                  static_cast<unsigned>(fileSize),
                  static_cast<unsigned>(count > UINT32_MAX ? UINT32_MAX : count));
    Raise(kSite, site, message);
}

// One 32-bit value; false when the file ended first (the file layer reports it).
bool ReadValue(CBinary& file, uint64_t fileSize, uint32_t& out) {
    SE_MARK();
    const bool fits = file.Position() + 4 <= fileSize;
    file.ReadU32(out);
    return fits;
}

// One directory entry at the current position; false when the file cannot hold it
// (reported).
bool ReadEntry(CBinary& file, uint64_t fileSize, CPackage::Entry& entry) {
    SE_MARK();
    uint32_t mask = 0, offset = 0, size = 0, length = 0;
    if (!ReadValue(file, fileSize, mask) || !ReadValue(file, fileSize, offset) ||
        !ReadValue(file, fileSize, size) || !ReadValue(file, fileSize, length)) {
        return false;
    }
    const uint64_t position = file.Position();
    if (length > fileSize - position) {
        ReportShortRead(Site::kShortEntry, position, fileSize, length);
        return false;
    }
    std::vector<unsigned char> block(length);
    if (length != 0) {
        file.ReadBytes(block.data(), length);
        if (file.Position() != position + length) return false;
    }
    // A block too short for its seed holds no name; its seed bytes are what there is.
    unsigned char seedBytes[kSeedBytes] = {};
    for (uint32_t i = 0; i < kSeedBytes && i < length; ++i) seedBytes[i] = block[i];
    CPackageKey key(LittleEndian32(seedBytes));
    entry.offset = offset ^ mask;
    entry.size = size ^ mask;
    entry.name.clear();
    if (length > kSeedBytes) {
        entry.name.reserve(length - kSeedBytes);
        for (uint32_t i = kSeedBytes; i < length; ++i) {
            entry.name.push_back(static_cast<char>(block[i] ^ key.Next()));
        }
    }
    return true;
}

}  // namespace

std::string NormalizeEntryName(const char* name) {
    SE_MARK();
    std::string out;
    if (name == nullptr) return out;
    for (size_t length; (length = NCp932::CharacterLength(name)) != 0; name += length) {
        if (length == 2) {
            out.append(name, 2);  // the trail byte stays as it is, even "\" or "A".."Z"
        } else if (*name == '\\') {
            out.push_back('/');
        } else {
            out.push_back(NCp932::LowerAscii(*name));
        }
    }
    return out;
}

void CPackage::Open() {
    SE_MARK();
    OpenFrom(kProgramPackagePath);
}

void CPackage::OpenFrom(const char* packagePath) {
    SE_MARK();
    directory.Clear();
    path.clear();
    if (!NVireo::NFile::Exists(packagePath)) {
        NVireo::NString::BBasic<char> message;
        message.Format("The '%s' file could not be found.", packagePath);
        Raise(kSite, Site::kMissingPackage, message.c_str());
        return;
    }
    CBinary file;
    file.Open(packagePath, "rb");
    if (file.stream == nullptr) return;
    const uint64_t fileSize = file.Size();
    file.Seek(fileSize >= 4 ? fileSize - 4 : 0);
    uint32_t directoryOffset = 0;
    if (!ReadValue(file, fileSize, directoryOffset)) return;
    file.Seek(directoryOffset);
    uint32_t count = 0;
    if (!ReadValue(file, fileSize, count)) return;
    const uint64_t position = file.Position();
    if (count > (fileSize - position) / kEntryHeaderBytes) {
        ReportShortRead(Site::kShortDirectory, position, fileSize, count * kEntryHeaderBytes);
        return;
    }
    for (uint32_t i = 0; i < count; ++i) {
        Entry entry;
        if (!ReadEntry(file, fileSize, entry)) return;
        directory.Insert(entry);  // a repeated name keeps its first entry
    }
    file.Close();  // a failed close is reported by the file layer
    path = packagePath;
}

const CPackage::Entry* CPackage::Find(const char* name) const {
    SE_MARK();
    Entry key;
    key.name = NormalizeEntryName(name);
    const auto* found = directory.Find(key);
    return found ? &found->value : nullptr;
}

bool CPackage::OpenEntry(NVireo::NFile::NSTDIO::CBinary& file, Entry& entry, const char* name) {
    SE_MARK();
    const Entry* found = Find(name);
    if (found == nullptr) {
        std::string message = name ? name : "";
        message += "\n";
        message += NormalizeEntryName(name);
        message += "\n";
        message += path.empty() ? std::string("non initialized") : path + "\n";
        Raise(kSite, Site::kMissingEntry, message.c_str());
        file.Close();
        return false;
    }
    file.Open(path.c_str(), "rb");
    if (file.stream == nullptr) return false;
    file.Seek(found->offset);
    entry = *found;
    return true;
}

CPackage& ProgramPackage() {
    static CPackage package;
    return package;
}

CPackage& ScenarioPackage() {
    static CPackage package;
    return package;
}

}  // namespace NVireo::NRender
