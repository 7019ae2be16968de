// Fuzz target for the package reader: any bytes as a package either open or are
// reported, never crash, never read out of bounds, never allocate more than the file
// holds. Every entry of a directory that opens can be looked up by its own name when
// that name is stored normalised.
#include <cstdint>
#include <cstdio>
#include <string>

#include "framework/error/error.h"
#include "framework/package/package.h"
#include "fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Reports throw CObject; a damaged package may be reported, it must not crash.
    NVireo::NError::Record().policy = 1;
    const std::string path = WriteFuzzFile("package", {Bytes(data, size)});
    if (path.empty()) return 0;

    NVireo::NRender::CPackage package;
    try {
        package.OpenFrom(path.c_str());
    } catch (const NVireo::NError::CObject&) {
        NVireo::NError::Clear();
        return 0;
    }
    if (static_cast<uint64_t>(package.directory.count) * 16 > size) __builtin_trap();
    for (const NVireo::NRender::CPackage::Entry& stored : package.directory) {
        if (NVireo::NRender::NormalizeEntryName(stored.name.c_str()) != stored.name) continue;
        try {
            NVireo::NFile::NSTDIO::CBinary stream;
            NVireo::NRender::CPackage::Entry entry;
            if (!package.OpenEntry(stream, entry, stored.name.c_str())) __builtin_trap();
            if (entry.offset != stored.offset || entry.size != stored.size) __builtin_trap();
            unsigned char bytes[16];
            stream.TryRead(bytes, sizeof bytes);
        } catch (const NVireo::NError::CObject&) {
            // A name holding a zero byte is cut short by the lookup and may be missing.
            NVireo::NError::Clear();
            if (stored.name.find('\0') == std::string::npos) __builtin_trap();
        }
    }
    return 0;
}
