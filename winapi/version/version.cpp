// Stands in for: the version resource of the program's own file (FindResourceA and
// friends for RT_VERSION, GetFileVersionInfoSizeA, GetFileVersionInfoA, VerQueryValueA).
// Supports: one record, built once from the build's version and names (SE_VERSION_*,
// SE_PRODUCT_NAME, SE_COMPANY_NAME, SE_COPYRIGHT_TEXT) in Windows' VS_VERSIONINFO layout
// (UTF-16 keys and values, 32-bit alignment), so code that reads the fixed information
// at its place in the resource works as on Windows. Language and code page: 041103a4
// (Japanese, code page 932).
// Does not: read resources of other files (Linux executables carry none) or other
// resource types.
#include <sys/stat.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "backend/cp932.h"
#include "backend/syserror.h"
#include "hostpath.h"

namespace {

constexpr DWORD kVersionMS = (SE_VERSION_MAJOR << 16) | SE_VERSION_MINOR;
constexpr DWORD kVersionLS = (SE_VERSION_PATCH << 16) | SE_VERSION_TWEAK;

// One node of the record: header (length, value length, type), key, value, children.
struct Node {
    std::u16string key;
    std::vector<uint8_t> value;
    WORD valueLength;  // bytes for binary values, characters for texts
    WORD type;         // 0 binary, 1 text
    std::vector<Node> children;
};

void Align(std::vector<uint8_t>& out) {
    while (out.size() % 4) out.push_back(0);
}

void PutWord(std::vector<uint8_t>& out, size_t at, WORD value) {
    out[at] = static_cast<uint8_t>(value);
    out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Write(const Node& node, std::vector<uint8_t>& out) {
    Align(out);
    size_t start = out.size();
    out.resize(start + 6);
    PutWord(out, start + 2, node.valueLength);
    PutWord(out, start + 4, node.type);
    for (char16_t c : node.key) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    Align(out);
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const Node& child : node.children) Write(child, out);
    PutWord(out, start, static_cast<WORD>(out.size() - start));
}

Node Text(const char16_t* key, const char16_t* text) {
    std::u16string value = text;
    Node node{key, {}, static_cast<WORD>(value.size() + 1), 1, {}};
    for (char16_t c : value) {
        node.value.push_back(static_cast<uint8_t>(c));
        node.value.push_back(static_cast<uint8_t>(c >> 8));
    }
    node.value.push_back(0);
    node.value.push_back(0);
    return node;
}

std::vector<uint8_t> Bytes(const void* data, size_t size) {
    auto bytes = static_cast<const uint8_t*>(data);
    return {bytes, bytes + size};
}

const std::vector<uint8_t>& Record() {
    static const std::vector<uint8_t> record = [] {
        VS_FIXEDFILEINFO fixed{};
        fixed.dwSignature = VS_FFI_SIGNATURE;
        fixed.dwStrucVersion = 0x00010000;
        fixed.dwFileVersionMS = fixed.dwProductVersionMS = kVersionMS;
        fixed.dwFileVersionLS = fixed.dwProductVersionLS = kVersionLS;
        fixed.dwFileFlagsMask = 0x3F;
        fixed.dwFileOS = 0x00040004;  // VOS_NT_WINDOWS32
        fixed.dwFileType = 1;         // VFT_APP
        DWORD translation = 0x03A40411;
        Node strings{u"041103a4",
                     {},
                     0,
                     1,
                     {Text(u"CompanyName", u"" SE_COMPANY_NAME),
                      Text(u"FileDescription", u"" SE_PRODUCT_NAME),
                      Text(u"FileVersion", u"" SE_VERSION_TEXT),
                      Text(u"LegalCopyright", u"" SE_COPYRIGHT_TEXT),
                      Text(u"ProductName", u"" SE_PRODUCT_NAME),
                      Text(u"ProductVersion", u"" SE_VERSION_TEXT)}};
        Node root{u"VS_VERSION_INFO",
                  Bytes(&fixed, sizeof fixed),
                  sizeof fixed,
                  0,
                  {Node{u"StringFileInfo", {}, 0, 1, {strings}},
                   Node{u"VarFileInfo",
                        {},
                        0,
                        1,
                        {Node{u"Translation", Bytes(&translation, 4), 4, 0, {}}}}}};
        std::vector<uint8_t> out;
        Write(root, out);
        return out;
    }();
    return record;
}

// The record's handle for the resource calls: its own address.
HRSRC RecordHandle() { return const_cast<uint8_t*>(Record().data()); }

bool IsThisProgram(const std::string& hostPath, DWORD& error) {
    struct stat file {
    }, self{};
    if (stat(hostPath.c_str(), &file) != 0) {
        error = winapi::backend::ErrorFromErrno(errno, hostPath);
        return false;
    }
    error = ERROR_RESOURCE_TYPE_NOT_FOUND;
    return stat("/proc/self/exe", &self) == 0 && file.st_dev == self.st_dev &&
           file.st_ino == self.st_ino;
}

WORD ReadWord(const uint8_t* at) { return static_cast<WORD>(at[0] | (at[1] << 8)); }

size_t Aligned(size_t offset) { return (offset + 3) & ~size_t{3}; }

// A node of the record at offset: where its value and its children are.
struct Found {
    size_t start, end, valueAt, valueBytes, childrenAt;
    WORD type;
    std::u16string key;
};

bool ReadNode(const uint8_t* record, size_t size, size_t start, Found& node) {
    if (start + 6 > size) return false;
    WORD length = ReadWord(record + start);
    if (length < 6 || start + length > size) return false;
    node.start = start;
    node.end = start + length;
    node.type = ReadWord(record + start + 4);
    node.key.clear();
    size_t at = start + 6;
    for (; at + 2 <= node.end && ReadWord(record + at) != 0; at += 2)
        node.key.push_back(static_cast<char16_t>(ReadWord(record + at)));
    node.valueAt = Aligned(at + 2);
    WORD valueLength = ReadWord(record + start + 2);
    node.valueBytes = node.type == 1 ? valueLength * 2u : valueLength;
    if (node.valueAt + node.valueBytes > node.end) node.valueBytes = 0;
    node.childrenAt = Aligned(node.valueAt + node.valueBytes);
    return true;
}

bool SameKey(const std::u16string& key, const std::string& name) {
    if (key.size() != name.size()) return false;
    for (size_t i = 0; i < key.size(); ++i) {
        char16_t a = key[i];
        char b = name[i];
        if (a > 0x7F) return false;
        if (std::tolower(static_cast<unsigned char>(a)) !=
            std::tolower(static_cast<unsigned char>(b)))
            return false;
    }
    return true;
}

std::string Utf16ToCp932(const uint8_t* text, size_t characters) {
    std::string utf8;
    for (size_t i = 0; i < characters; ++i) {
        char32_t c = ReadWord(text + 2 * i);
        if (c == 0) break;
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < characters) {
            c = 0x10000 + ((c - 0xD800) << 10) + (ReadWord(text + 2 * ++i) - 0xDC00);
        }
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            utf8 += static_cast<char>(0xE0 | (c >> 12));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | (c >> 18));
            utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return winapi::backend::Utf8TextToCp932(utf8);
}

}  // namespace

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    if (module != nullptr || type != RT_VERSION) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    if (name != MAKEINTRESOURCEA(VS_VERSION_INFO)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return RecordHandle();
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
    if (module != nullptr || resource != RecordHandle()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return resource;
}

LPVOID LockResource(HGLOBAL data) { return data; }

DWORD SizeofResource(HMODULE module, HRSRC resource) {
    if (module != nullptr || resource != RecordHandle()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return static_cast<DWORD>(Record().size());
}

DWORD GetFileVersionInfoSizeA(LPCSTR fileName, DWORD* handle) {
    if (handle) *handle = 0;
    if (!fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD error = 0;
    if (!IsThisProgram(ProgramToHostPath(fileName), error)) {
        SetLastError(error);
        return 0;
    }
    // The record, then as much room again for the code page 932 copies of its texts.
    return static_cast<DWORD>(2 * Record().size());
}

BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD, DWORD size, LPVOID data) {
    DWORD needed = GetFileVersionInfoSizeA(fileName, nullptr);
    if (needed == 0) return FALSE;
    if (!data || size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const std::vector<uint8_t>& record = Record();
    std::memcpy(data, record.data(), record.size());
    std::memset(static_cast<uint8_t*>(data) + record.size(), 0, record.size());
    return TRUE;
}

BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length) {
    if (!block || !subBlock || !buffer || !length) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The block starts with the record; its own length says where the copies begin.
    auto record = static_cast<uint8_t*>(const_cast<void*>(block));
    size_t size = ReadWord(record);
    Found node;
    if (!ReadNode(record, size, 0, node)) return FALSE;
    std::string path = subBlock;
    size_t at = 0;
    while (at < path.size()) {
        while (at < path.size() && path[at] == '\\') ++at;
        if (at == path.size()) break;
        size_t next = path.find('\\', at);
        if (next == std::string::npos) next = path.size();
        std::string name = path.substr(at, next - at);
        at = next;
        Found child;
        bool found = false;
        for (size_t offset = node.childrenAt; offset < node.end && !found;
             offset = Aligned(child.end))
            found = ReadNode(record, node.end, offset, child) && SameKey(child.key, name);
        if (!found) {
            SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
            return FALSE;
        }
        node = child;
    }
    if (node.valueBytes == 0) return FALSE;
    if (node.type == 1) {
        // Texts are handed out as code page 932, copied into the room after the record.
        std::string text = Utf16ToCp932(record + node.valueAt, node.valueBytes / 2);
        char* copy = reinterpret_cast<char*>(record + size + node.valueAt);
        std::memcpy(copy, text.c_str(), text.size() + 1);
        *buffer = copy;
        *length = static_cast<UINT>(text.size() + 1);
    } else {
        *buffer = record + node.valueAt;
        *length = static_cast<UINT>(node.valueBytes);
    }
    return TRUE;
}
