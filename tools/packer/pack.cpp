// se-pack: writes the package the program reads its data files from.
#include "tools/packer/pack.h"

#include <hostpath.h>
#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <system_error>
#include <utility>
#include <vector>

#include "framework/error/trace.h"
#include "framework/package/package.h"
#include "framework/package/package_key.h"
#include "framework/text/string_table.h"

namespace {

namespace fs = std::filesystem;

const char kUsage[] =
    "usage: se-pack [--seed N] OUT SOURCE_FOLDER\n"
    "\n"
    "  Writes every file under SOURCE_FOLDER into the package OUT, named by its path\n"
    "  relative to the folder (lower case, \"/\" separators). Names starting with \".\"\n"
    "  are left out. A file ending in .txt is a string-table source (UTF-8): it is\n"
    "  compiled to code page 932 and packed under the same name ending in .pd.\n"
    "  --seed N  masks and name seeds from a fixed seed: the same folder packs to the\n"
    "            same bytes\n"
    "\n"
    "Exit status: 0 written, 1 a file could not be read, compiled or written, 2 usage\n"
    "error.\n";

struct Source {
    std::string name;  // the entry name (code page 932, normalised)
    fs::path file;
    bool stringTable;  // a .txt source, packed compiled
};

void Put32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

bool Hidden(const fs::path& path) {
    const std::string name = path.filename().string();
    return !name.empty() && name[0] == '.';
}

// A name ending in ".txt" in any case.
bool IsStringTableSource(const std::string& name) {
    if (name.size() < 4) return false;
    std::string extension = name.substr(name.size() - 4);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".txt";
}

// The files to pack, sorted by entry name; false with a reason when the folder cannot be
// walked or two files would share a name.
bool Collect(const fs::path& folder, const fs::path& outPath, TextFiles textFiles,
             std::vector<Source>& sources, std::string& reason) {
    SE_MARK();
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        reason = "not a folder: " + folder.string();
        return false;
    }
    const fs::path outFile = fs::weakly_canonical(outPath, error);
    fs::recursive_directory_iterator it(folder, error), end;
    for (; !error && it != end; it.increment(error)) {
        if (Hidden(it->path())) {
            if (it->is_directory(error)) it.disable_recursion_pending();
            continue;
        }
        if (!it->is_regular_file(error)) continue;
        if (fs::weakly_canonical(it->path(), error) == outFile) continue;  // an earlier output
        std::string relative = it->path().lexically_relative(folder).generic_string();
        const bool stringTable = textFiles == TextFiles::Compile && IsStringTableSource(relative);
        if (stringTable) relative.replace(relative.size() - 3, 3, "pd");
        const std::string name =
            NVireo::NRender::NormalizeEntryName(HostToProgramPath(relative).c_str());
        sources.push_back({name, it->path(), stringTable});
    }
    if (error) {
        reason = "cannot read " + folder.string() + ": " + error.message();
        return false;
    }
    std::sort(sources.begin(), sources.end(),
              [](const Source& a, const Source& b) { return a.name < b.name; });
    for (size_t i = 1; i < sources.size(); ++i) {
        if (sources[i].name == sources[i - 1].name) {
            reason = "two files have the entry name " + ProgramToHostPath(sources[i].name) + ": " +
                     sources[i - 1].file.string() + ", " + sources[i].file.string();
            return false;
        }
    }
    return true;
}

// String-table sources.

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// The two glibc converters one compilation uses, UTF-8 to code page 932 and back.
class CCodePage {
public:
    CCodePage() : toCp932_(iconv_open("CP932", "UTF-8")), toUtf8_(iconv_open("UTF-8", "CP932")) {}
    ~CCodePage() {
        if (toCp932_ != kNoConverter) iconv_close(toCp932_);
        if (toUtf8_ != kNoConverter) iconv_close(toUtf8_);
    }
    CCodePage(const CCodePage&) = delete;
    CCodePage& operator=(const CCodePage&) = delete;

    bool Usable() const { return toCp932_ != kNoConverter && toUtf8_ != kNoConverter; }
    bool ToCp932(const std::string& utf8, std::string& out) { return Convert(toCp932_, utf8, out); }
    bool ToUtf8(const std::string& cp932, std::string& out) { return Convert(toUtf8_, cp932, out); }

private:
    iconv_t toCp932_;
    iconv_t toUtf8_;

    // The whole of in converted, or false when iconv stops anywhere.
    static bool Convert(iconv_t converter, const std::string& in, std::string& out) {
        iconv(converter, nullptr, nullptr, nullptr, nullptr);  // a fresh shift state
        std::string input = in;
        out.assign(input.size() * 4 + 8, '\0');
        char* from = input.data();
        size_t fromLeft = input.size();
        char* to = out.data();
        size_t toLeft = out.size();
        if (iconv(converter, &from, &fromLeft, &to, &toLeft) == static_cast<size_t>(-1) ||
            iconv(converter, nullptr, nullptr, &to, &toLeft) == static_cast<size_t>(-1)) {
            return false;
        }
        out.resize(out.size() - toLeft);
        return true;
    }
};

// The length of the well-formed UTF-8 character at text[at] and its code point, or 0 for
// a byte that starts none (stray continuation, overlong form, surrogate, past U+10FFFF,
// cut short).
size_t Utf8Character(const std::string& text, size_t at, uint32_t& codePoint) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    size_t length;
    uint32_t minimum;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        codePoint = codePoint << 6 | (byte(i) & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return 0;
    }
    return length;
}

std::string CodePointName(uint32_t codePoint, const std::string& utf8) {
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(codePoint));
    return std::string(name) + " \"" + utf8 + "\"";
}

// One compilation: the source's name and the line being read, for messages.
class CTableCompiler {
public:
    CTableCompiler(const std::string& sourceName, std::string& reason)
        : sourceName_(sourceName), reason_(reason) {}

    bool Compile(std::string source, std::string& table) {
        SE_MARK();
        if (!codePage_.Usable()) {
            reason_ = sourceName_ + ": iconv has no CP932 converter";
            return false;
        }
        if (source.compare(0, 3, "\xEF\xBB\xBF") == 0) source.erase(0, 3);
        std::vector<std::string> lines;
        for (size_t start = 0; start < source.size();) {
            size_t end = source.find('\n', start);
            if (end == std::string::npos) end = source.size();
            std::string line = source.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(std::move(line));
            start = end + 1;
        }

        line_ = 1;
        static const std::string kHeader = "#header";
        if (lines.empty() || lines[0].compare(0, kHeader.size(), kHeader) != 0 ||
            (lines[0].size() > kHeader.size() && lines[0][kHeader.size()] != ' ')) {
            return Fail("the first line must be the header line \"#header <text>\"");
        }
        std::string header;
        const size_t headerStart = std::min(lines[0].size(), kHeader.size() + 1);
        if (!Text(lines[0].substr(headerStart), header)) return false;

        std::map<uint32_t, std::pair<std::string, size_t>> entries;  // id -> text, line
        for (size_t i = 1; i < lines.size(); ++i) {
            line_ = i + 1;
            const std::string& line = lines[i];
            if (line.find_first_not_of(" \t") == std::string::npos) continue;
            if (line[0] == '#') {
                if (line.compare(0, kHeader.size(), kHeader) == 0) {
                    return Fail("a second header line (the header is the first line only)");
                }
                continue;
            }
            size_t digits = 0;
            uint64_t id = 0;
            while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') {
                if (id <= UINT32_MAX) id = id * 10 + static_cast<uint64_t>(line[digits] - '0');
                ++digits;
            }
            if (digits == 0) {
                return Fail("not an entry \"<id><TAB><text>\", a comment \"#...\" or a blank line");
            }
            const std::string idText = line.substr(0, digits);
            if (digits == line.size() || line[digits] != '\t') {
                return Fail("a tab must follow the id " + idText);
            }
            if (id > UINT32_MAX)
                return Fail("the id " + idText + " is out of range (0 to 4294967295)");
            std::string text;
            if (!Text(line.substr(digits + 1), text)) return false;
            const auto [found, added] =
                entries.try_emplace(static_cast<uint32_t>(id), std::move(text), line_);
            if (!added) {
                return Fail("the id " + std::to_string(id) + " is already on line " +
                            std::to_string(found->second.second));
            }
        }

        std::vector<std::pair<uint32_t, std::string>> ordered;
        ordered.reserve(entries.size());
        for (auto& [id, entry] : entries) ordered.emplace_back(id, std::move(entry.first));
        table = NVireo::NText::StringTableBytes(header, ordered);
        return true;
    }

private:
    const std::string& sourceName_;
    std::string& reason_;
    size_t line_ = 0;
    CCodePage codePage_;

    bool Fail(const std::string& what) {
        reason_ = sourceName_ + ":" + std::to_string(line_) + ": " + what;
        return false;
    }

    // The code page 932 bytes of one source text: escapes resolved, every character
    // checked.
    bool Text(const std::string& source, std::string& out) {
        SE_MARK();
        out.clear();
        for (size_t at = 0; at < source.size();) {
            uint32_t codePoint = 0;
            const size_t length = Utf8Character(source, at, codePoint);
            if (length == 0) {
                char byte[8];
                std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(source[at]));
                return Fail(std::string("not UTF-8 text (byte ") + byte + ")");
            }
            const std::string character = source.substr(at, length);
            at += length;
            if ((codePoint < 0x20 && codePoint != '\t') || codePoint == 0x7F) {
                char name[16];
                std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(codePoint));
                return Fail(std::string("a control character ") + name +
                            " (write a line break as \\n)");
            }
            if (codePoint == '\\') {
                if (at == source.size())
                    return Fail("a backslash ends the line (write \\\\ for a backslash)");
                const char escaped = source[at++];
                if (escaped == 'n') {
                    out += '\n';
                } else if (escaped == 't') {
                    out += '\t';
                } else if (escaped == '\\') {
                    out += '\\';
                } else {
                    uint32_t ignored = 0;
                    const size_t escapedLength =
                        std::max<size_t>(1, Utf8Character(source, at - 1, ignored));
                    return Fail("the escape \\" + source.substr(at - 1, escapedLength) +
                                " is unknown (write \\n, \\t or \\\\)");
                }
                continue;
            }
            if (codePoint < 0x80) {
                out += static_cast<char>(codePoint);
                continue;
            }
            if ((codePoint >= 0xE000 && codePoint <= 0xF8FF) || codePoint >= 0xF0000) {
                return Fail(CodePointName(codePoint, character) + " is a private-use character");
            }
            std::string bytes, back;
            if (!codePage_.ToCp932(character, bytes)) {
                return Fail(CodePointName(codePoint, character) + " is not in code page 932");
            }
            // glibc maps a few look-alikes onto one code (U+301C and U+FF5E both become
            // 0x81 0x60); only the character the code stands for is accepted, so what the
            // program shows is what the source says.
            if (!codePage_.ToUtf8(bytes, back) || back != character) {
                uint32_t backPoint = 0;
                const bool named =
                    !back.empty() && Utf8Character(back, 0, backPoint) == back.size();
                return Fail(CodePointName(codePoint, character) + " is not in code page 932" +
                            (named ? " (" + CodePointName(backPoint, back) + " is)" : ""));
            }
            out += bytes;
        }
        return true;
    }
};
}  // namespace

bool PackFolder(const std::string& outPath, const std::string& sourceFolder,
                std::optional<uint32_t> seed, std::string& reason, TextFiles textFiles) {
    SE_MARK();
    std::vector<Source> sources;
    if (!Collect(sourceFolder, outPath, textFiles, sources, reason)) return false;

    std::mt19937 random(seed ? *seed : std::random_device{}());
    std::ofstream out(outPath, std::ios::binary | std::ios::trunc);
    if (!out) {
        reason = "cannot write " + outPath + ": " + std::strerror(errno);
        return false;
    }
    // A package that could not be written whole is removed rather than left half done.
    const auto fail = [&](std::string why) {
        reason = std::move(why);
        out.close();
        std::error_code ignored;
        fs::remove(outPath, ignored);
        return false;
    };
    std::string directory;
    Put32(directory, static_cast<uint32_t>(sources.size()));
    uint64_t offset = 0;
    for (const Source& source : sources) {
        std::error_code error;
        const uint64_t length = fs::file_size(source.file, error);
        if (error || offset + length > UINT32_MAX) {
            return fail(error ? "cannot read " + source.file.string() + ": " + error.message()
                              : "the package would pass 4 GiB at " + source.file.string());
        }
        std::ifstream in(source.file, std::ios::binary);
        std::string bytes(length, '\0');
        in.read(bytes.data(), static_cast<std::streamsize>(length));
        if (!in || static_cast<uint64_t>(in.gcount()) != length) {
            return fail("cannot read " + source.file.string());
        }
        if (source.stringTable) {
            std::string table, why;
            if (!CompileStringTable(bytes, source.file.string(), table, why)) return fail(why);
            bytes = std::move(table);
            if (offset + bytes.size() > UINT32_MAX) {
                return fail("the package would pass 4 GiB at " + source.file.string());
            }
        }
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

        const uint32_t mask = random();
        const uint32_t nameSeed = random();
        Put32(directory, mask);
        Put32(directory, static_cast<uint32_t>(offset) ^ mask);
        Put32(directory, static_cast<uint32_t>(bytes.size()) ^ mask);
        Put32(directory, static_cast<uint32_t>(4 + source.name.size()));
        Put32(directory, nameSeed);
        NVireo::NRender::CPackageKey key(nameSeed);
        for (const char c : source.name) directory.push_back(static_cast<char>(c ^ key.Next()));
        offset += bytes.size();
    }
    if (offset + directory.size() > UINT32_MAX) {
        return fail("the package would pass 4 GiB");
    }
    Put32(directory, static_cast<uint32_t>(offset));
    out.write(directory.data(), static_cast<std::streamsize>(directory.size()));
    out.close();
    if (!out) return fail("cannot write " + outPath + ": " + std::strerror(errno));
    return true;
}

bool CompileStringTable(const std::string& source, const std::string& sourceName,
                        std::string& table, std::string& reason) {
    SE_MARK();
    return CTableCompiler(sourceName, reason).Compile(source, table);
}

int RunPacker(int argc, char** argv) {
    SE_MARK();
    std::optional<uint32_t> seed;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--seed") {
            if (i + 1 >= argc) {
                std::fputs(kUsage, stderr);
                return 2;
            }
            const char* text = argv[++i];
            char* stop = nullptr;
            errno = 0;
            const unsigned long long value = std::strtoull(text, &stop, 10);
            if (*text == '\0' || *text == '-' || *stop != '\0' || errno != 0 ||
                value > UINT32_MAX) {
                std::fprintf(stderr, "se-pack: --seed needs a number from 0 to 4294967295\n");
                return 2;
            }
            seed = static_cast<uint32_t>(value);
        } else if (argument == "-h" || argument == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (argument.size() > 1 && argument[0] == '-') {
            std::fprintf(stderr, "se-pack: unknown option %s\n", argument.c_str());
            std::fputs(kUsage, stderr);
            return 2;
        } else {
            positional.push_back(argument);
        }
    }
    if (positional.size() != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string reason;
    if (!PackFolder(positional[0], positional[1], seed, reason)) {
        std::fprintf(stderr, "se-pack: %s\n", reason.c_str());
        return 1;
    }
    return 0;
}
