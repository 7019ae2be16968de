// The file layer over the C runtime (io.h, direct.h) and kernel32 file calls. Every
// Raise below has its own site number (830xx); Raise may return (an error is already
// being handled, or a caller's policy), so each site leaves its outputs zeroed or empty
// and returns.
#include "framework/platform/file.h"

#include <direct.h>
#include <hostfile.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/platform/cp932.h"
#include "framework/platform/home.h"

namespace Site = NVireo::NError::NSite::NFile;

namespace {

using NVireo::NError::kSite;

constexpr size_t kFirstLineBuffer = 1024;
constexpr size_t kLargestLineBuffer = 16777216;  // 16 MiB, terminator included

using NVireo::NCp932::CharacterLength;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Position just after the last folder separator of path (0 when there is none).
size_t NameStart(const std::string& path) {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); i += CharacterLength(path, i)) {
        if (IsSeparator(path[i])) start = i + 1;
    }
    return start;
}

// stdio calls do not set the last error; name the failure for the report.
void SetStreamError(FILE* stream, bool writing) {
    if (writing) {
        SetLastError(errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT);
    } else {
        SetLastError(std::ferror(stream) ? ERROR_READ_FAULT : ERROR_HANDLE_EOF);
    }
}

void Report(uint32_t site, const char* message) {
    RecordSystemError();
    Raise(kSite, site, message);
}

// The length of the file behind stream without reporting; 0 when it cannot be told.
uint64_t QuietSize(FILE* stream) {
    const long long here = _ftelli64(stream);
    if (here < 0 || _fseeki64(stream, 0, SEEK_END) != 0) return 0;
    const long long end = _ftelli64(stream);
    _fseeki64(stream, here, SEEK_SET);
    return end < 0 ? 0 : static_cast<uint64_t>(end);
}

int ModeOf(const char* modeText) {
    if (modeText == nullptr) return 0;
    if (std::strchr(modeText, 't') != nullptr) return NVireo::NFile::NSTDIO::kModeText;
    if (std::strchr(modeText, 'b') != nullptr) return NVireo::NFile::NSTDIO::kModeBinary;
    return 0;
}

}  // namespace

namespace NVireo::NFile::NSTDIO {

namespace {

// A call on a closed stream is a bug in the caller; reported, then the call does nothing.
bool Ready(const CBasic& file) {
    if (file.stream != nullptr) return true;
    SetLastError(ERROR_INVALID_PARAMETER);
    Report(Site::kNoOpenFile, "no open file");
    return false;
}

// One fread of exactly count bytes. A short read answers false; reported at site (with
// the position it started at, the file's size and the count) unless site is 0, and then
// the bytes are zeroed.
bool ReadExact(CBasic& file, void* bytes, size_t count, uint32_t site) {
    const bool report = site != 0;
    if (report ? !Ready(file) : file.stream == nullptr) {
        if (count != 0) std::memset(bytes, 0, count);
        return false;
    }
    const size_t got = std::fread(bytes, 1, count, file.stream);
    if (got == count) return true;
    if (report) {
        SetStreamError(file.stream, false);
        const long long end = _ftelli64(file.stream);
        const long long start = end < 0 ? -1 : end - static_cast<long long>(got);
        char message[64];
        std::snprintf(message, sizeof message, "%d(%u),T=%u", static_cast<int>(start),
                      static_cast<unsigned>(QuietSize(file.stream)), static_cast<unsigned>(count));
        Report(site, message);
        std::memset(bytes, 0, count);
    }
    return false;
}

// One fwrite of exactly count bytes; a short write answers false and is reported when
// report is set.
bool WriteExact(CBasic& file, const void* bytes, size_t count, bool report) {
    if (report ? !Ready(file) : file.stream == nullptr) return false;
    if (std::fwrite(bytes, 1, count, file.stream) == count) return true;
    SetStreamError(file.stream, true);  // also for quiet writes: callers tell the user why
    if (report) {
        char message[64];
        std::snprintf(message, sizeof message, "write,T=%u", static_cast<unsigned>(count));
        Report(Site::kShortWrite, message);
    }
    return false;
}

}  // namespace

CBasic::~CBasic() {
    try {
        Close();
    } catch (const NVireo::NError::CObject&) {
        // Under the throwing policy Raise throws; a destructor must not pass that on.
        // The failure stays in the error record.
    }
}

bool CBasic::IsBinary() const { return (mode & kModeBinary) != 0; }

void CBasic::Open(const char* path, const char* modeText) {
    SE_MARK();
    if (!TryOpen(path, modeText)) Report(Site::kOpen, path);
}

bool CBasic::TryOpen(const char* path, const char* modeText) {
    SE_MARK();
    Close();
    FILE* file = nullptr;
    if (fopen_s(&file, path, modeText) != 0 || file == nullptr) return false;
    stream = file;
    mode = ModeOf(modeText);
    return true;
}

void CBasic::Adopt(FILE* file, int newMode) {
    SE_MARK();
    Close();
    stream = file;
    mode = newMode;
}

void CBasic::Close() {
    SE_MARK();
    if (stream == nullptr) return;
    FILE* file = stream;
    stream = nullptr;
    errno = 0;
    if (std::fclose(file) != 0) {
        SetLastError(errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT);
        Report(Site::kClose, "close");
    }
}

bool CBasic::AtEnd() {
    SE_MARK();
    if (stream == nullptr) return true;
    if (IsBinary()) return Position() >= Size();
    return std::feof(stream) != 0;
}

uint64_t CBasic::Size() {
    SE_MARK();
    if (!Ready(*this)) return 0;
    const long long here = _ftelli64(stream);
    if (here < 0 || _fseeki64(stream, 0, SEEK_END) != 0) {
        Report(Site::kSizeToEnd, "size");
        return 0;
    }
    const long long end = _ftelli64(stream);
    if (end < 0 || _fseeki64(stream, here, SEEK_SET) != 0) {
        Report(Site::kSizeBack, "size");
        return 0;
    }
    return static_cast<uint64_t>(end);
}

uint64_t CBasic::Position() {
    SE_MARK();
    if (!Ready(*this)) return 0;
    const long long here = _ftelli64(stream);
    if (here < 0) {
        Report(Site::kPosition, "position");
        return 0;
    }
    return static_cast<uint64_t>(here);
}

void CBasic::Seek(uint64_t position) {
    SE_MARK();
    if (!Ready(*this)) return;
    if (_fseeki64(stream, static_cast<long long>(position), SEEK_SET) != 0) {
        Report(Site::kSeek, "seek");
    }
}

void CBasic::Skip(uint64_t count) {
    SE_MARK();
    if (!Ready(*this)) return;
    if (_fseeki64(stream, static_cast<long long>(count), SEEK_CUR) != 0)
        Report(Site::kSkip, "skip");
}

void CBasic::ReadLine(std::string& out) {
    SE_MARK();
    out.clear();
    if (!Ready(*this)) return;
    if (IsBinary()) {
        for (;;) {
            const int c = std::getc(stream);
            if (c == EOF) {
                if (std::ferror(stream)) {
                    SetStreamError(stream, false);
                    Report(Site::kReadCharacter, "read line");
                }
                return;
            }
            out += static_cast<char>(c);
            if (c == '\n') return;
        }
    }
    std::string buffer(kFirstLineBuffer, '\0');
    size_t used = 0;
    for (;;) {
        if (std::fgets(buffer.data() + used, static_cast<int>(buffer.size() - used), stream) ==
            nullptr) {
            if (std::ferror(stream)) {
                SetStreamError(stream, false);
                Report(Site::kReadLine, "read line");
                return;
            }
            break;  // the end of the file
        }
        used += std::strlen(buffer.data() + used);
        if ((used > 0 && buffer[used - 1] == '\n') || std::feof(stream)) break;
        if (used + 1 < buffer.size()) continue;  // stopped early at a zero byte
        // The buffer is full and the line goes on, unless the file ends right here.
        const int next = std::getc(stream);
        if (next == EOF) break;
        std::ungetc(next, stream);
        if (buffer.size() >= kLargestLineBuffer) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            Report(Site::kLineTooLong, "line longer than 16 MiB");
            return;
        }
        buffer.resize(buffer.size() * 2);
    }
    out.assign(buffer.data(), used);
}

void CBasic::ReadU8(uint8_t& out) {
    SE_MARK();
    ReadExact(*this, &out, 1, Site::kShortRead);
}

void CBasic::ReadU16(uint16_t& out) {
    SE_MARK();
    uint8_t bytes[2];
    ReadExact(*this, bytes, sizeof bytes, Site::kShortRead);
    out = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

void CBasic::ReadU32(uint32_t& out) {
    SE_MARK();
    uint8_t bytes[4];
    ReadExact(*this, bytes, sizeof bytes, Site::kShortRead);
    out = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
          static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void CBasic::ReadBytes(void* bytes, size_t count) {
    ReadExact(*this, bytes, count, Site::kShortRead);
}

bool CBasic::ReadBytes(void* bytes, size_t count, uint32_t site) {
    SE_MARK();
    return ReadExact(*this, bytes, count, site);
}

bool CBasic::TryRead(void* bytes, size_t count) { return ReadExact(*this, bytes, count, 0); }

void CBasic::WriteU16(uint16_t value) {
    SE_MARK();
    const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    WriteExact(*this, bytes, sizeof bytes, true);
}

void CBasic::WriteU32(uint32_t value) {
    SE_MARK();
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    WriteExact(*this, bytes, sizeof bytes, true);
}

void CBasic::WriteBytes(const void* bytes, size_t count) {
    SE_MARK();
    WriteExact(*this, bytes, count, true);
}

bool CBasic::TryWrite(const void* bytes, size_t count) {
    SE_MARK();
    return WriteExact(*this, bytes, count, false);
}

void CBasic::WriteString(const std::string& text) {
    SE_MARK();
    WriteU32(static_cast<uint32_t>(text.size()));
    WriteBytes(text.data(), text.size());
}

void CBasic::ReadString(std::string& out) {
    SE_MARK();
    out.clear();
    uint32_t count = 0;
    ReadU32(count);
    if (count == 0) return;
    // A damaged count must not allocate gigabytes: it cannot exceed what the file holds.
    const uint64_t position = Position();
    const uint64_t size = Size();
    if (position > size || count > size - position) {
        SetLastError(ERROR_HANDLE_EOF);
        char message[64];
        std::snprintf(message, sizeof message, "%d(%u),T=%u", static_cast<int>(position),
                      static_cast<unsigned>(size), static_cast<unsigned>(count));
        Report(Site::kShortString, message);
        return;
    }
    out.resize(count);
    ReadBytes(out.data(), count);
}

bool CText::OpenText(const char* textPath) {
    SE_MARK();
    path = textPath ? textPath : "";
    lineText.clear();
    lineCounter = -1;
    if (!TryOpen(path.c_str(), "r")) {
        state = 1;
        return false;
    }
    state = 0;
    return true;
}

bool CText::ReadTokenLines(std::vector<std::vector<std::string>>& lines) {
    SE_MARK();
    lines.clear();
    if (stream == nullptr) return false;
    for (;;) {
        ReadLine(lineText);
        if (lineText.empty()) break;
        ++lineCounter;
        lines.push_back(Tokenize(lineText));
    }
    Close();
    return true;
}

// The rules: the line ends at the first comment marker. Before each token, blanks, tabs
// and line ends are skipped. A token that starts with a double quote runs to the closing
// quote (it may hold the separator; the quotes are dropped), and whatever follows it up
// to the separator is dropped too. Any other token runs to the separator, less trailing
// blanks, tabs and line ends. Each separator ends a token, so "a," gives "a" and "".
// The scan moves by whole characters: a trail byte never counts as a separator, quote
// or comment.
std::vector<std::string> CText::Tokenize(const std::string& line) const {
    SE_MARK();
    std::vector<std::string> tokens;
    size_t end = line.size();
    if (!commentMarker.empty()) {
        for (size_t i = 0; i < line.size(); i += CharacterLength(line, i)) {
            if (line.compare(i, commentMarker.size(), commentMarker) == 0) {
                end = i;
                break;
            }
        }
    }
    const auto isBlank = [this](char c) {
        return c != separator && (c == ' ' || c == '\t' || c == '\r' || c == '\n');
    };
    const std::string_view scanned(line.data(), end);
    const auto next = [&](size_t pos) { return pos + CharacterLength(scanned, pos); };
    size_t pos = 0;
    bool afterSeparator = false;
    for (;;) {
        while (pos < end && isBlank(line[pos])) ++pos;
        if (pos >= end) {
            if (afterSeparator) tokens.emplace_back();
            break;
        }
        if (line[pos] == '"') {
            size_t close = pos + 1;
            while (close < end && line[close] != '"') close = next(close);
            tokens.emplace_back(line, pos + 1, close - pos - 1);
            pos = close < end ? close + 1 : end;
            while (pos < end && line[pos] != separator) pos = next(pos);
        } else {
            size_t stop = pos;
            while (stop < end && line[stop] != separator) stop = next(stop);
            size_t last = stop;
            while (last > pos && (line[last - 1] == ' ' || line[last - 1] == '\t' ||
                                  line[last - 1] == '\r' || line[last - 1] == '\n')) {
                --last;
            }
            tokens.emplace_back(line, pos, last - pos);
            pos = stop;
        }
        if (pos >= end) break;
        ++pos;  // the separator
        afterSeparator = true;
    }
    return tokens;
}

}  // namespace NVireo::NFile::NSTDIO

namespace NVireo::NFile {

bool Exists(const char* path) {
    SE_MARK();
    if (path == nullptr || path[0] == '\0') return false;
    // Opening a FIFO waits for a writer and a device may never end: only a regular file
    // (or a link to one) is opened to see that it can be read.
    hostfile::EKind kind = hostfile::EKind::Missing;
    if (hostfile::KindAt(path, kind, true) != 0 || kind != hostfile::EKind::Regular) return false;
    FILE* file = nullptr;
    if (fopen_s(&file, path, "r") != 0 || file == nullptr) return false;
    std::fclose(file);
    return true;
}

bool IsWritable(const char* path) {
    SE_MARK();
    if (path == nullptr || path[0] == '\0' || _access(path, 0) != 0) return true;
    if (_access(path, 2) != 0) return false;
    FILE* file = nullptr;
    if (fopen_s(&file, path, "a") != 0 || file == nullptr) return false;
    std::fclose(file);
    return true;
}

void EnsureFolder(const char* path) {
    SE_MARK();
    if (!EnterHomeFolder()) {
        Report(Site::kHomeFolder, HomeFolder().c_str());
        return;
    }
    if (path == nullptr || path[0] == '\0') return;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    if (_mkdir(path) != 0) Report(Site::kMakeFolder, path);
}

bool MakeFolders(const char* path) {
    SE_MARK();
    const auto isFolder = [](const std::string& folder) {
        const DWORD attributes = GetFileAttributesA(folder.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    };
    const std::string text = path ? path : "";
    const auto make = [&](const std::string& folder) {
        return isFolder(folder) || _mkdir(folder.c_str()) == 0 || isFolder(folder);
    };
    // Each folder along the path from the top (at each separator), then the whole path.
    for (size_t i = 0; i < text.size(); i += CharacterLength(text, i)) {
        if (i > 0 && IsSeparator(text[i]) && !make(text.substr(0, i))) return false;
    }
    return !text.empty() && make(text);
}

void RemoveIfExists(const char* path) {
    SE_MARK();
    if (path == nullptr || path[0] == '\0' || _access(path, 0) != 0) return;
    if (!DeleteFileA(path)) Report(Site::kDeleteFile, path);
}

std::string ReplaceExtension(const char* path, const char* extension) {
    SE_MARK();
    std::string text = path ? path : "";
    const char* wanted = extension ? extension : "";
    size_t dot = std::string::npos;
    for (size_t i = NameStart(text); i < text.size(); i += CharacterLength(text, i)) {
        if (text[i] == '.') dot = i;
    }
    if (dot == std::string::npos) {
        if (wanted[0] != '\0') {
            text += '.';
            text += wanted;
        }
        return text;
    }
    if (_stricmp(text.c_str() + dot + 1, wanted) == 0) return text;
    text.resize(dot + 1);
    text += wanted;
    return text;
}

void SplitPath(const char* path, std::string& folder, std::string& name) {
    SE_MARK();
    const std::string text = path ? path : "";
    const size_t start = NameStart(text);
    folder.assign(text, 0, start);
    name.assign(text, start, std::string::npos);
}

void CopyLimited(char* destination, const char* source, size_t limit) {
    if (destination == nullptr) return;
    size_t length = 0;
    if (source != nullptr) {
        while (source[length] != '\0') {
            const size_t step = NVireo::NCp932::IsLeadByte(source[length]) ? 2 : 1;
            if (step == 2 && source[length + 1] == '\0') break;  // a lead byte without trail
            if (length + step > limit) break;
            length += step;
        }
        std::memcpy(destination, source, length);
    }
    destination[length] = '\0';
}

}  // namespace NVireo::NFile
