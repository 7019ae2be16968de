// The file layer: buffered stdio streams with fixed-size binary reads and writes, a text
// reader with a line tokenizer, and file-system helpers. Paths are code page 932 text.
// Failures are fatal and go through Raise, except where a function says otherwise
// (the Try* calls, missing files for OpenText, Exists, IsWritable and RemoveIfExists).
#pragma once

#include <io.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace NVireo::NSTDIO {

class CBase {
public:
    virtual ~CBase() = default;
};

}  // namespace NVireo::NSTDIO

namespace NVireo::NFile::NSTDIO {

inline constexpr int kModeText = 0x4000;    // the runtime library's _O_TEXT
inline constexpr int kModeBinary = 0x8000;  // the runtime library's _O_BINARY

class CBasic : public NVireo::NSTDIO::CBase {
public:
    FILE* stream = nullptr;  // null when closed
    int mode = 0;

    CBasic() = default;
    CBasic(const CBasic&) = delete;
    CBasic& operator=(const CBasic&) = delete;
    ~CBasic() override;  // closes; a failing close is reported

    virtual bool IsBinary() const;

    // Closes any open stream, then opens path; a failure is reported with the path.
    void Open(const char* path, const char* modeText);
    // Like Open, but a file that cannot be opened answers false (GetLastError says why).
    bool TryOpen(const char* path, const char* modeText);
    // Takes over an already open stdio stream (closing any open one first).
    void Adopt(FILE* file, int newMode);
    void Close();
    // Flushes and closes; false (nothing reported) when buffered data could not be
    // written or the close failed, as when a disk fills while a file is saved.
    bool TryClose() {
        if (stream == nullptr) return true;
        FILE* file = stream;
        stream = nullptr;
        const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
        return (std::fclose(file) == 0) && flushed;
    }

    bool AtEnd();
    // True for a stream that can tell its position and seek (a file; not a pipe, FIFO or
    // terminal, on which Size, Position, Seek and Skip report failures).
    bool IsSeekable() { return stream != nullptr && _ftelli64(stream) >= 0; }
    uint64_t Size();  // the whole file's length; the position is kept
    uint64_t Position();
    void Seek(uint64_t position);  // absolute
    void Skip(uint64_t count);     // forward from the current position

    // Text: one line with its line end (grows 1024 -> 2048 -> ...; over 16 MiB is fatal).
    // Binary: bytes up to and including the next '\n'. Empty at the end of the file.
    void ReadLine(std::string& out);

    // Exact reads in file order (little-endian); a short read is fatal ("%d(%u),T=%u").
    void ReadU8(uint8_t& out);
    void ReadU16(uint16_t& out);
    void ReadU32(uint32_t& out);
    void ReadBytes(void* bytes, size_t count);
    // The same, reported as the caller's own site; answers false after a short read.
    bool ReadBytes(void* bytes, size_t count, uint32_t site);
    // Exact read that reports nothing: false on a short read (for files the user chose).
    bool TryRead(void* bytes, size_t count);

    // Exact writes; a short write is fatal.
    void WriteU16(uint16_t value);
    void WriteU32(uint32_t value);
    void WriteBytes(const void* bytes, size_t count);
    // Like WriteBytes, but a short write answers false (disk full while saving a clip).
    bool TryWrite(const void* bytes, size_t count);

    // A 32-bit byte count followed by the bytes, without terminator.
    void WriteString(const std::string& text);
    void ReadString(std::string& out);
};

class CBinary : public CBasic {
public:
    bool IsBinary() const override { return true; }
};

class CText : public CBasic {
public:
    std::string path;
    std::string lineText;
    int state = 0;  // 0 idle, 1 file missing, 2 stopped at a non-empty remainder
    std::string commentMarker = "//";
    char separator = ',';
    int lineCounter = -1;

    bool IsBinary() const override { return false; }

    // Remembers path; a missing or unreadable file sets state 1 and answers false.
    bool OpenText(const char* textPath);
    // Reads every line into token lists; false when the file was missing.
    bool ReadTokenLines(std::vector<std::vector<std::string>>& lines);
    // Splits one line into tokens by the rules of the reader (comment, quotes, blanks).
    std::vector<std::string> Tokenize(const std::string& line) const;
};

}  // namespace NVireo::NFile::NSTDIO

namespace NVireo::NFile {

// True for a regular file (or a symbolic link to one) that can be opened for reading;
// false for anything else (missing, a folder, a FIFO, a device, a socket), which is
// never opened, so the answer never waits.
bool Exists(const char* path);
bool IsWritable(const char* path);
void EnsureFolder(const char* path);
// Makes path a folder, with every missing folder above it (absolute, or relative to the
// current folder); true when it is a folder afterwards. Reports nothing.
bool MakeFolders(const char* path);
void RemoveIfExists(const char* path);
std::string ReplaceExtension(const char* path, const char* extension);
void SplitPath(const char* path, std::string& folder, std::string& name);
// Copies at most limit bytes without splitting a double-byte character, then terminates
// (destination holds limit + 1 bytes).
void CopyLimited(char* destination, const char* source, size_t limit);

}  // namespace NVireo::NFile
