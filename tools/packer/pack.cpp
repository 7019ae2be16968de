// se-pack: writes the package the program reads its data files from.
#include "tools/packer/pack.h"

#include <hostpath.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>
#include <vector>

#include "framework/error/trace.h"
#include "framework/render/package.h"
#include "framework/render/package_key.h"

namespace {

namespace fs = std::filesystem;

const char kUsage[] =
    "usage: se-pack [--seed N] OUT SOURCE_FOLDER\n"
    "\n"
    "  Writes every file under SOURCE_FOLDER into the package OUT, named by its path\n"
    "  relative to the folder (lower case, \"/\" separators). Names starting with \".\"\n"
    "  are left out.\n"
    "  --seed N  masks and name seeds from a fixed seed: the same folder packs to the\n"
    "            same bytes\n"
    "\n"
    "Exit status: 0 written, 1 a file could not be read or written, 2 usage error.\n";

struct Source {
    std::string name;  // the entry name (code page 932, normalised)
    fs::path file;
};

void Put32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

bool Hidden(const fs::path& path) {
    const std::string name = path.filename().string();
    return !name.empty() && name[0] == '.';
}

// The files to pack, sorted by entry name; false with a reason when the folder cannot be
// walked or two files would share a name.
bool Collect(const fs::path& folder, const fs::path& outPath, std::vector<Source>& sources,
             std::string& reason) {
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
        const std::string relative = it->path().lexically_relative(folder).generic_string();
        const std::string name = NVireo::NRender::NormalizeEntryName(HostToProgramPath(relative).c_str());
        sources.push_back({name, it->path()});
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

}  // namespace

bool PackFolder(const std::string& outPath, const std::string& sourceFolder,
                std::optional<uint32_t> seed, std::string& reason) {
    SE_MARK();
    std::vector<Source> sources;
    if (!Collect(sourceFolder, outPath, sources, reason)) return false;

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
            if (*text == '\0' || *text == '-' || *stop != '\0' || errno != 0 || value > UINT32_MAX) {
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
