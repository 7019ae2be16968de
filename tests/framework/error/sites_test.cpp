// The register of failure sites (framework/error/sites.h) against itself and against the
// sources: a number in a user's Error.log must lead to exactly one place in the code.
#include "framework/error/sites.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Range {
    std::string group;
    std::string files;  // separated by spaces
    uint32_t first;
    uint32_t last;
};
struct Site {
    std::string group;
    std::string name;
    uint32_t number;
};
#define SE_RANGE(group, files, first, last) {#group, files, first, last},
const std::vector<Range> kRanges = {SE_SITE_RANGES(SE_RANGE)};
#undef SE_RANGE
#define SE_SITE(group, name, number) {#group, #name, number},
const std::vector<Site> kSites = {SE_SITES(SE_SITE)};
#undef SE_SITE

bool IsShared(uint32_t number) {
    return std::ranges::find(NVireo::NError::NSite::kSharedNumbers, number) !=
           std::end(NVireo::NError::NSite::kSharedNumbers);
}

const Range* RangeOf(const std::string& group) {
    const auto found = std::ranges::find(kRanges, group, &Range::group);
    return found == kRanges.end() ? nullptr : &*found;
}

bool Lists(const Range& range, const std::string& file) {
    std::istringstream files(range.files);
    for (std::string listed; files >> listed;) {
        if (listed == file) return true;
    }
    return false;
}

TEST(FailureSites, EachNumberLiesInItsGroupsRangeAndNamesOnePlace) {
    for (size_t i = 0; i < kRanges.size(); ++i) {
        const Range& a = kRanges[i];
        EXPECT_LE(a.first, a.last) << a.group;
        for (size_t j = i + 1; j < kRanges.size(); ++j) {
            const Range& b = kRanges[j];
            EXPECT_NE(a.group, b.group) << a.group << " has two ranges";
            // Ranges overlap only where they share a number the register lists.
            for (uint32_t n = std::max(a.first, b.first); n <= std::min(a.last, b.last); ++n) {
                EXPECT_TRUE(IsShared(n)) << a.group << " and " << b.group << " overlap at " << n;
            }
        }
    }
    std::map<uint32_t, std::vector<std::string>> names;
    for (const Site& site : kSites) {
        const Range* range = RangeOf(site.group);
        if (range == nullptr) {
            ADD_FAILURE() << site.group << " has no range";
            continue;
        }
        EXPECT_TRUE(site.number >= range->first && site.number <= range->last)
            << site.group << "::" << site.name << " = " << site.number << " lies outside "
            << range->first << ".." << range->last;
        names[site.number].push_back(site.group + "::" + site.name);
    }
    for (const auto& [number, named] : names) {
        if (named.size() > 1 && !IsShared(number)) {
            ADD_FAILURE() << number << " names " << named[0] << " and " << named[1];
        }
    }
    for (const uint32_t number : NVireo::NError::NSite::kSharedNumbers) {
        EXPECT_GT(names[number].size(), 1u) << number << " is listed as shared";
    }
}

// Every source above the layer reports only with the groups the register gives its file,
// and names no site by a bare number: no Raise is passed a number or __LINE__, and no
// call is passed a number of a range (from 1000 on), as a helper that reports would be.
// The string ids are another numbering.
TEST(FailureSites, SourcesReportWithTheirOwnGroupsByName) {
    const fs::path root = SE_SOURCE_DIR;
    for (const Range& range : kRanges) {
        std::istringstream files(range.files);
        for (std::string file; files >> file;) EXPECT_TRUE(fs::exists(root / file)) << file;
    }
    const std::regex groupUse(R"(NSite::(N\w+))");
    const std::regex bareSite(R"(\bRaise\(\s*[^,()]+,\s*(\d+|__LINE__)\s*,)");
    const std::regex number(R"(([(,])\s*(\d{4,5})u?\s*[,)])");
    size_t scanned = 0;
    for (const char* folder : {"app", "framework", "sound", "tools"}) {
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root / folder)) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".cpp" && extension != ".h") continue;
            const std::string file = entry.path().lexically_relative(root).generic_string();
            if (file == "framework/error/sites.h") continue;
            std::ifstream stream(entry.path(), std::ios::binary);
            const std::string text{std::istreambuf_iterator<char>(stream), {}};
            ++scanned;
            for (std::sregex_iterator m(text.begin(), text.end(), groupUse), end; m != end; ++m) {
                const Range* range = RangeOf((*m)[1]);
                EXPECT_TRUE(range != nullptr && Lists(*range, file))
                    << file << " reports with " << (*m)[1] << ", which the register gives "
                    << (range ? range->files : "no file");
            }
            std::smatch bare;
            if (std::regex_search(text, bare, bareSite)) {
                ADD_FAILURE() << file << ": " << bare[0] << " (name the site in sites.h)";
            }
            if (file == "framework/text/string_ids.h") continue;
            for (std::sregex_iterator m(text.begin(), text.end(), number), end; m != end; ++m) {
                const uint32_t value = static_cast<uint32_t>(std::stoul((*m)[2]));
                for (const Range& range : kRanges) {
                    if (value >= range.first && value <= range.last) {
                        ADD_FAILURE() << file << " holds " << value << " of " << range.group
                                      << "'s range (name the site in sites.h)";
                    }
                }
            }
        }
    }
    EXPECT_GT(scanned, 100u);
}

}  // namespace
