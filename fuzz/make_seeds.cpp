// Writes the fuzz target's seed containers into the folder given: the worked example, nested
// folders, and one of each kind of damage the reader knows; the same with checksum trailers,
// whole and damaged in each of their fields.
#include "payload_builder.h"
#include "system/file_api.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

using tpayload::Container;
using tpayload::Entry;
using tpayload::Flipped;
using tpayload::WithChecksums;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::string longName(260, 'n');
    const std::string worked = Container({{"\\d", "a.txt", "abc"}});
    const std::vector<Entry> nested = {{"", "readme.txt", "hello"},
                                       {"\\data\\skins\\default\\", "skin.ini", "[skin]"},
                                       {"\\data\\skins\\night", "skin.ini", ""},
                                       {"\\\xCA\xFD\xBE\xDD", "\xB5\xE7\xCC\xA8.txt", "x"}};
    const std::string sealed = WithChecksums(nested);
    const std::size_t trailer = Container(nested).size();
    const std::vector<std::pair<const char*, std::string>> seeds = {
        {"worked-example", worked},
        {"empty", Container({})},
        {"negative-count", Container({}, -1)},
        {"nested", Container(nested)},
        {"parent-references",
         Container({{"\\..", "a", "x"}, {"\\a", "..\\b", "y"}, {"\\a/../..", "c", ""}})},
        {"sibling", Container({{"d", "a.txt", "abc"}, {"\\\\", "b", ""}})},
        {"count-too-large", Container({{"\\d", "a.txt", "abc"}}, 5)},
        {"count-too-small", Container({{"\\d", "a.txt", "abc"}, {"", "b", "c"}}, 1)},
        {"unterminated-name", Container({{"\\d", longName, ""}})},
        {"data-cut-short", worked.substr(0, worked.size() - 2)},
        {"size-cut-short", worked.substr(0, 15)},
        {"size-outside-format", Container({{"\\d", "a", "", 0xFFFFFFFFu}})},
        {"trailing-bytes", worked + "zz"},
        {"sums-worked-example", WithChecksums({{"\\d", "a.txt", "abc"}})},
        {"sums-empty", WithChecksums({})},
        {"sums-nested", sealed},
        {"sums-skipped-entries",
         WithChecksums({{"\\..", "a", "x"}, {"", "CON", "y"}, {"", "b", "z"}})},
        {"sums-data-damaged", Flipped(sealed, 4 + 1 + 11 + 4 + 2)},
        {"sums-name-damaged", Flipped(sealed, 4 + 1 + 3)},
        {"sums-head-magic", Flipped(sealed, trailer + 1)},
        {"sums-length", Flipped(sealed, trailer + 8)},
        {"sums-count", Flipped(sealed, trailer + 12)},
        {"sums-entry-sum", Flipped(sealed, trailer + 24)},
        {"sums-own-sum", Flipped(sealed, sealed.size() - 12)},
        {"sums-tail-magic", Flipped(sealed, sealed.size() - 2)},
        {"sums-cut-short", sealed.substr(0, sealed.size() - 5)},
        {"sums-cut-in-head-magic", sealed.substr(0, trailer + 3)},
        {"sums-bytes-after", sealed + "z"},
        {"sums-foreign-trailer",
         Container(nested) + WithChecksums({{"\\d", "a.txt", "abc"}}).substr(worked.size())},
    };
    for (const auto& [name, bytes] : seeds) {
        std::string path = std::string(argv[1]) + "/" + name;
        UniqueFile file(std::fopen(path.c_str(), "wb"));
        if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
            !file.Close()) {
            std::fprintf(stderr, "%s: cannot write\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
