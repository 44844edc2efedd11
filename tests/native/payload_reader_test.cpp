// The container reader: the entries it walks and the first departure from the format it notes.
#include "install/payload_format.h"
#include "install/payload_reader.h"
#include "payload_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Concat(Bytes bytes, const std::string& tail) {
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

Bytes Cut(Bytes bytes, std::size_t drop) {
    bytes.resize(bytes.size() - drop);
    return bytes;
}

struct Walk {
    std::vector<PayloadEntry> entries;
    std::optional<PayloadFinding> problem;
    std::optional<PayloadEntry> stoppedAt;
};

Walk WalkAll(PayloadSource& source) {
    Walk walk;
    PayloadReader reader(source);
    PayloadEntry entry;
    while (reader.Next(entry)) walk.entries.push_back(entry);
    walk.problem = reader.problem();
    walk.stoppedAt = reader.stoppedAt();
    return walk;
}

Walk WalkBytes(const Bytes& bytes) {
    MemoryPayloadSource source(bytes);
    return WalkAll(source);
}

const Bytes kWorkedExample = {0x01, 0x00, 0x00, 0x00, 0x5C, 0x64, 0x00, 0x61, 0x2E, 0x74,
                              0x78, 0x74, 0x00, 0x03, 0x00, 0x00, 0x00, 0x61, 0x62, 0x63};

}  // namespace

TEST(PayloadReader, WorkedExample) {
    EXPECT_EQ(tpayload::Build({{"\\d", "a.txt", "abc"}}), kWorkedExample);
    Walk walk = WalkBytes(kWorkedExample);
    EXPECT_FALSE(walk.problem.has_value());
    ASSERT_EQ(walk.entries.size(), 1u);
    const PayloadEntry& entry = walk.entries[0];
    EXPECT_EQ(entry.offset, 4);
    EXPECT_EQ(entry.directoryName, "\\d");
    EXPECT_EQ(entry.fileName, "a.txt");
    EXPECT_EQ(entry.sizeOffset, 13);
    EXPECT_EQ(entry.size, 3u);
    EXPECT_EQ(entry.dataOffset, 17);
    EXPECT_EQ(entry.storedSize, 3u);
}

TEST(PayloadReader, FirstFinding) {
    using tpayload::Build;
    const std::string longName(kNameWindow, 'n');
    const std::string longestName(kMaxNameLength, 'n');
    const Bytes one = Build({{"\\d", "a.txt", "abc"}});
    struct Case {
        const char* what;
        Bytes bytes;
        std::optional<PayloadFinding> expected;
        std::size_t entries;  // how many the walk yields
    };
    const Case cases[] = {
        {"empty container", Build({}), std::nullopt, 0},
        {"negative count, nothing after", Bytes{0xFF, 0xFF, 0xFF, 0xFF}, std::nullopt, 0},
        {"names of 259 bytes", Build({{"\\" + longestName.substr(1), longestName, ""}}),
         std::nullopt, 1},
        {"zero-length file", Bytes{},
         PayloadFinding{PayloadIssue::kCountCutShort, PayloadField::kCount, -1, 0, 4, 0}, 0},
        {"count cut short", Bytes{0x01, 0x00},
         PayloadFinding{PayloadIssue::kCountCutShort, PayloadField::kCount, -1, 0, 4, 2}, 0},
        {"count above the limit", Build({}, kMaxEntryCount + 1),
         PayloadFinding{PayloadIssue::kCountAboveLimit, PayloadField::kCount, -1, 0,
                        kMaxEntryCount + 1, kMaxEntryCount},
         0},
        {"count larger than stored", Build({{"\\d", "a.txt", "abc"}}, 3),
         PayloadFinding{PayloadIssue::kMissingEntries, PayloadField::kEnd, -1, 20, 3, 1}, 1},
        {"header only", Build({}, 2),
         PayloadFinding{PayloadIssue::kMissingEntries, PayloadField::kEnd, -1, 4, 2, 0}, 0},
        {"count smaller than stored", Build({{"\\d", "a.txt", "abc"}, {"", "b", ""}}, 1),
         PayloadFinding{PayloadIssue::kUncountedEntries, PayloadField::kEnd, -1, 20, 1, 2}, 1},
        {"entries behind a zero count", Build({{"", "b", "xy"}}, 0),
         PayloadFinding{PayloadIssue::kUncountedEntries, PayloadField::kEnd, -1, 4, 0, 1}, 0},
        {"entries behind a negative count", Build({{"", "b", "xy"}}, -1),
         PayloadFinding{PayloadIssue::kUncountedEntries, PayloadField::kEnd, -1, 4, -1, 1}, 0},
        {"bytes after the last entry", Concat(one, "zz"),
         PayloadFinding{PayloadIssue::kTrailingBytes, PayloadField::kEnd, -1, 20, 0, 2}, 1},
        {"directory name without terminator", Build({{longName, "a", ""}}),
         PayloadFinding{PayloadIssue::kNameUnterminated, PayloadField::kDirectoryName, 0, 4}, 0},
        {"file name without terminator", Build({{"\\d", longName, ""}}),
         PayloadFinding{PayloadIssue::kNameUnterminated, PayloadField::kFileName, 0, 7}, 0},
        {"cut inside the directory name", Cut(one, 15),
         PayloadFinding{PayloadIssue::kNameCutShort, PayloadField::kDirectoryName, 0, 4}, 1},
        {"cut right after the directory name", Cut(one, 13),
         PayloadFinding{PayloadIssue::kNameCutShort, PayloadField::kFileName, 0, 7}, 1},
        {"cut inside the size field", Cut(one, 5),
         PayloadFinding{PayloadIssue::kSizeCutShort, PayloadField::kDataSize, 0, 13, 4, 2}, 1},
        {"data cut short", Cut(one, 2),
         PayloadFinding{PayloadIssue::kDataCutShort, PayloadField::kData, 0, 17, 3, 1}, 1},
        {"data size 0xFFFFFFFF", Build({{"\\d", "a", "", 0xFFFFFFFFu}}),
         PayloadFinding{PayloadIssue::kDataSizeOutsideFormat, PayloadField::kDataSize, 0, 9,
                        0xFFFFFFFF, 0},
         0},
        {"parent reference in the directory", Build({{"\\a\\..\\..", "x", ""}, {"", "b", ""}}),
         PayloadFinding{PayloadIssue::kParentReference, PayloadField::kDirectoryName, 0, 4}, 2},
        {"parent reference in the file name", Build({{"", "b", ""}, {"\\d", "..", ""}}),
         PayloadFinding{PayloadIssue::kParentReference, PayloadField::kFileName, 1, 14}, 2},
        {"directory name without its backslash", Build({{"d", "a", ""}}),
         PayloadFinding{PayloadIssue::kOutsideInstallDirectory, PayloadField::kDirectoryName, 0, 4},
         1},
        {"slash in the directory name", Build({{"\\a/b", "a", ""}}),
         PayloadFinding{PayloadIssue::kSlashInDirectoryName, PayloadField::kDirectoryName, 0, 4},
         1},
        {"empty file name", Build({{"\\d", "", "x"}}),
         PayloadFinding{PayloadIssue::kEmptyFileName, PayloadField::kFileName, 0, 7}, 1},
        {"separator in the file name", Build({{"\\d", "x\\a.txt", ""}}),
         PayloadFinding{PayloadIssue::kSeparatorInFileName, PayloadField::kFileName, 0, 7}, 1},
        {"device name in the directory", Build({{"\\Aux.dat\\x", "a", ""}}),
         PayloadFinding{PayloadIssue::kReservedName, PayloadField::kDirectoryName, 0, 4}, 1},
        {"device name as the file name", Build({{"\\d", "lpt1 .txt", ""}}),
         PayloadFinding{PayloadIssue::kReservedName, PayloadField::kFileName, 0, 7}, 1},
        {"a temporary's name", Build({{"\\d", "~setup-0.partial", ""}}),
         PayloadFinding{PayloadIssue::kReservedName, PayloadField::kFileName, 0, 7}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Walk walk = WalkBytes(c.bytes);
        EXPECT_EQ(walk.entries.size(), c.entries);
        ASSERT_EQ(walk.problem.has_value(), c.expected.has_value());
        if (!c.expected) continue;
        EXPECT_EQ(walk.problem->issue, c.expected->issue);
        EXPECT_EQ(walk.problem->field, c.expected->field);
        EXPECT_EQ(walk.problem->entry, c.expected->entry);
        EXPECT_EQ(walk.problem->offset, c.expected->offset);
        EXPECT_EQ(walk.problem->declared, c.expected->declared);
        EXPECT_EQ(walk.problem->actual, c.expected->actual);
    }
}

// What the unpacker would read from a damaged container, entry by entry.
TEST(PayloadReader, WalksDamageAsTheUnpackerDoes) {
    Bytes one = tpayload::Build({{"\\d", "a.txt", "abc"}});
    Walk cutData = WalkBytes(Cut(one, 2));
    ASSERT_EQ(cutData.entries.size(), 1u);
    EXPECT_EQ(cutData.entries[0].size, 3u);
    EXPECT_EQ(cutData.entries[0].storedSize, 1u);

    // A size field cut to two bytes reads with its high-order bytes as zero.
    Bytes cutSize = tpayload::Build({{"\\d", "a", "", 0x01020304u}});
    cutSize.resize(cutSize.size() - 2);
    Walk walk = WalkBytes(cutSize);
    ASSERT_EQ(walk.entries.size(), 1u);
    EXPECT_EQ(walk.entries[0].size, 0x0304u);
    EXPECT_EQ(walk.entries[0].storedSize, 0u);

    // A name cut short is whatever bytes were present.
    Walk cutName = WalkBytes(Cut(one, 15));
    ASSERT_EQ(cutName.entries.size(), 1u);
    EXPECT_EQ(cutName.entries[0].directoryName, "\\");
    EXPECT_EQ(cutName.entries[0].fileName, "");

    // Entries with a parent reference are still walked (the unpacker skips them itself), and
    // the walk stops where the unpacker stops.
    std::string longName(kNameWindow, 'n');
    Walk stopped =
        WalkBytes(tpayload::Build({{"\\..", "a", "x"}, {"\\d", longName, ""}, {"", "c", ""}}));
    ASSERT_EQ(stopped.entries.size(), 1u);
    EXPECT_EQ(stopped.entries[0].directoryName, "\\..");
    ASSERT_TRUE(stopped.stoppedAt.has_value());
    EXPECT_EQ(stopped.stoppedAt->index, 1);
    EXPECT_EQ(stopped.stoppedAt->directoryName, "\\d");
}

namespace {

// A container of `size` bytes that are zero except where given: for layouts beyond 2 GiB.
class SparseSource final : public PayloadSource {
  public:
    SparseSource(std::int64_t size, std::map<std::int64_t, Bytes> pieces)
        : size_(size), pieces_(std::move(pieces)) {}
    std::int64_t Size() override { return size_; }
    std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t size) override {
        if (offset >= size_) return 0;
        std::size_t length = static_cast<std::size_t>(std::min<std::int64_t>(size, size_ - offset));
        auto* out = static_cast<unsigned char*>(buffer);
        std::fill(out, out + length, 0);
        for (const auto& [start, bytes] : pieces_) {
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                std::int64_t at = start + static_cast<std::int64_t>(i);
                if (at >= offset && at < offset + static_cast<std::int64_t>(length)) {
                    out[at - offset] = bytes[i];
                }
            }
        }
        return length;
    }

  private:
    std::int64_t size_;
    std::map<std::int64_t, Bytes> pieces_;
};

}  // namespace

TEST(PayloadReader, FieldsBeyondTwoGiB) {
    // Entry 0 holds 0x7FFFFFF0 bytes, so entry 1's directory name begins at 0x7FFFFFFD, still
    // inside the limit, and its file name at 0x80000000, beyond it.
    Bytes first = tpayload::Build({{"\\d", "a", "", 0x7FFFFFF0u}}, 2);
    Bytes second = tpayload::Build({{"\\e", "b", ""}});
    second.erase(second.begin(), second.begin() + 4);
    const std::int64_t secondOffset = static_cast<std::int64_t>(first.size()) + 0x7FFFFFF0;
    ASSERT_EQ(secondOffset, 0x7FFFFFFD);
    SparseSource source(secondOffset + static_cast<std::int64_t>(second.size()),
                        {{0, first}, {secondOffset, second}});
    Walk walk = WalkAll(source);
    ASSERT_EQ(walk.entries.size(), 2u);
    EXPECT_EQ(walk.entries[1].directoryName, "\\e");
    ASSERT_TRUE(walk.problem.has_value());
    EXPECT_EQ(walk.problem->issue, PayloadIssue::kFieldBeyondLimit);
    EXPECT_EQ(walk.problem->field, PayloadField::kFileName);
    EXPECT_EQ(walk.problem->entry, 1);
    EXPECT_EQ(walk.problem->offset, 0x80000000LL);
}

namespace {

Bytes Header(const std::string& directory, const std::string& file, std::uint32_t size) {
    Bytes bytes(directory.begin(), directory.end());
    bytes.push_back(0);
    bytes.insert(bytes.end(), file.begin(), file.end());
    bytes.push_back(0);
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<unsigned char>(size >> shift));
    return bytes;
}

PayloadSurvey SurveyBytes(const Bytes& bytes) {
    MemoryPayloadSource source(bytes);
    return SurveyPayload(source);
}

}  // namespace

// The header pass before unpacking: whole or not, and the data it declares.
TEST(PayloadSurvey, WholeContainersAndDamage) {
    using tpayload::Build;
    const Bytes two = Build({{"\\d", "a.txt", "abc"}, {"", "b.txt", "de"}});
    EXPECT_TRUE(SurveyBytes(two).whole);
    EXPECT_EQ(SurveyBytes(two).declaredBytes, 5u);
    EXPECT_TRUE(SurveyBytes(Build({}, 0)).whole);
    EXPECT_TRUE(SurveyBytes(Build({}, -5)).whole);
    EXPECT_TRUE(SurveyBytes(Concat(two, "trailing")).whole);
    EXPECT_TRUE(SurveyBytes(Build({{"", "b", "xy"}}, 0)).whole);
    // Cut at every byte: never whole.
    for (std::size_t drop = 1; drop <= two.size(); ++drop) {
        EXPECT_FALSE(SurveyBytes(Cut(two, drop)).whole) << "cut " << drop << " bytes short";
    }
    // Damage behind a name finding still counts: the first finding is the parent reference.
    Bytes hidden = Cut(Build({{"\\..", "x", ""}, {"", "b.txt", "abc"}}), 1);
    EXPECT_EQ(WalkBytes(hidden).problem->issue, PayloadIssue::kParentReference);
    EXPECT_FALSE(SurveyBytes(hidden).whole);
}

TEST(PayloadSurvey, DeclaredBytesAreSummedIn64Bits) {
    // Two entries whose data together pass 4 GiB; every field still begins below 2 GiB.
    const std::uint32_t first = 0x7FFFFF00u;
    const std::uint32_t second = kMaxDataSize;
    const Bytes firstHeader = Header("", "a", first);
    const std::int64_t secondOffset = 4 + static_cast<std::int64_t>(firstHeader.size()) + first;
    const Bytes secondHeader = Header("", "b", second);
    const std::int64_t end = secondOffset + static_cast<std::int64_t>(secondHeader.size()) + second;
    const std::map<std::int64_t, Bytes> headers = {
        {0, {2, 0, 0, 0}}, {4, firstHeader}, {secondOffset, secondHeader}};
    SparseSource source(end, headers);
    PayloadSurvey survey = SurveyPayload(source);
    EXPECT_TRUE(survey.whole);
    EXPECT_EQ(survey.declaredBytes, std::uint64_t{first} + second);
    EXPECT_GT(survey.declaredBytes, 0xFFFFFFFFu);

    // One byte of data short: not whole.
    SparseSource shorter(end - 1, headers);
    EXPECT_FALSE(SurveyPayload(shorter).whole);
}
