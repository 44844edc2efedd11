// The payload's checksums and the trailer that carries them: the hash itself, the trailer the
// writer makes, and what the reader's header pass makes of every kind of damage.
#include "install/payload_checksum.h"
#include "install/payload_format.h"
#include "install/payload_reader.h"
#include "payload_builder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Flip(Bytes bytes, std::size_t at, unsigned char mask = 0x20) {
    bytes[at] = static_cast<unsigned char>(bytes[at] ^ mask);
    return bytes;
}

Bytes Cut(Bytes bytes, std::size_t drop) {
    bytes.resize(bytes.size() - drop);
    return bytes;
}

Bytes Concat(Bytes bytes, const Bytes& tail) {
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

PayloadSurvey SurveyBytes(const Bytes& bytes) {
    MemoryPayloadSource source(bytes);
    return SurveyPayload(source);
}

// The reader's walk to its end: its first finding and the trailer it found whole.
struct Walk {
    std::size_t entries = 0;
    std::optional<PayloadFinding> problem;
    std::optional<PayloadFinding> damage;
    std::optional<PayloadTrailer> trailer;
    bool carriesTrailer = false;
};

Walk WalkBytes(const Bytes& bytes) {
    MemoryPayloadSource source(bytes);
    PayloadReader reader(source);
    Walk walk;
    PayloadEntry entry;
    while (reader.Next(entry)) ++walk.entries;
    walk.problem = reader.problem();
    walk.damage = reader.damage();
    walk.trailer = reader.trailer();
    walk.carriesTrailer = reader.CarriesTrailer();
    return walk;
}

std::uint64_t ChecksumOfBytes(const Bytes& bytes, std::size_t from, std::size_t to) {
    return ChecksumOf(bytes.data() + from, to - from);
}

const std::vector<tpayload::Entry> kEntries = {
    {"", "first.txt", "1111"},
    {"\\sub", "second.txt", "22222"},
    {"\\sub\\", "third.txt", ""},
    {"\\\xCA\xFD\xBE\xDD", "fourth.txt", std::string(1000, 'x')},
};

}  // namespace

TEST(Checksum, IsXxh3Of64Bits) {
    // XXH3-64 of no bytes, as xxHash documents it, and of "abc": the format depends on them.
    EXPECT_EQ(ChecksumOf("", 0), 0x2D06800538D394C2u);
    EXPECT_EQ(ChecksumOf("abc", 3), 0x78AF5F94892F3950u);
    // Given piece by piece, across XXH3's internal block and stripe sizes, the same value.
    std::string data(70000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 131 + i / 7);
    Checksum running;
    for (std::size_t size : {0u, 1u, 3u, 16u, 17u, 128u, 129u, 240u, 241u, 1024u, 69999u}) {
        for (std::size_t piece : {1u, 7u, 64u, 1000u}) {
            running.Reset();
            for (std::size_t at = 0; at < size; at += piece)
                running.Add(data.data() + at, std::min(piece, size - at));
            EXPECT_EQ(running.Value(), ChecksumOf(data.data(), size)) << size << " by " << piece;
        }
    }
    // Stored little-endian.
    EXPECT_EQ(ChecksumBytes(0x0102030405060708u), std::string("\x08\x07\x06\x05\x04\x03\x02\x01"));
    const std::string bytes = ChecksumBytes(0x2D06800538D394C2u);
    EXPECT_EQ(ChecksumFromBytes(reinterpret_cast<const unsigned char*>(bytes.data())),
              0x2D06800538D394C2u);
}

// The trailer as the writer makes it, checked field by field against its layout.
TEST(PayloadTrailer, LayoutOfTheWritersTrailer) {
    const Bytes plain = tpayload::Build(kEntries);
    const Bytes trailer = tpayload::Trailer(kEntries);
    const std::int64_t count = static_cast<std::int64_t>(kEntries.size());
    ASSERT_EQ(static_cast<std::int64_t>(trailer.size()), TrailerLength(count));
    ASSERT_EQ(trailer.size(), 40u + 8u * kEntries.size());
    auto text = [&](std::size_t at, std::size_t size) {
        return std::string(trailer.begin() + static_cast<std::ptrdiff_t>(at),
                           trailer.begin() + static_cast<std::ptrdiff_t>(at + size));
    };
    auto u64 = [&](std::size_t at) { return ChecksumFromBytes(trailer.data() + at); };
    EXPECT_EQ(text(0, 8), kTrailerHeadMagic);
    EXPECT_EQ(text(8, 4), std::string("\x48\x00\x00\x00", 4));  // 40 + 8 x 4 = 72
    EXPECT_EQ(text(12, 4), std::string("\x04\x00\x00\x00", 4));
    EXPECT_EQ(text(trailer.size() - 8, 8), kTrailerTailMagic);
    EXPECT_EQ(u64(trailer.size() - 16), ChecksumOf(trailer.data(), trailer.size() - 16));

    // Each entry's checksum covers its stored bytes; the headers' the count and every header.
    MemoryPayloadSource source(plain);
    PayloadReader reader(source);
    PayloadEntry entry;
    Checksum headers;
    headers.Add(plain.data(), 4);
    std::size_t index = 0;
    while (reader.Next(entry)) {
        const std::size_t begin = static_cast<std::size_t>(entry.offset);
        const std::size_t data = static_cast<std::size_t>(entry.dataOffset);
        headers.Add(plain.data() + begin, data - begin);
        EXPECT_EQ(u64(24 + 8 * index), ChecksumOfBytes(plain, begin, data + entry.size)) << index;
        ++index;
    }
    EXPECT_EQ(index, kEntries.size());
    EXPECT_EQ(u64(16), headers.Value());
}

TEST(PayloadTrailer, FoundWholeAfterTheLastEntry) {
    const Bytes plain = tpayload::Build(kEntries);
    const Bytes sealed = tpayload::BuildWithChecksums(kEntries);
    Walk walk = WalkBytes(sealed);
    EXPECT_EQ(walk.entries, kEntries.size());
    EXPECT_FALSE(walk.problem.has_value());
    EXPECT_TRUE(walk.carriesTrailer);
    ASSERT_TRUE(walk.trailer.has_value());
    EXPECT_EQ(walk.trailer->offset, static_cast<std::int64_t>(plain.size()));
    EXPECT_EQ(walk.trailer->count, 4);
    PayloadSurvey survey = SurveyBytes(sealed);
    EXPECT_TRUE(survey.whole);
    ASSERT_TRUE(survey.trailer.has_value());
    EXPECT_EQ(survey.declaredBytes, 1009u);

    // An empty container carries a trailer of its fixed fields alone.
    Bytes empty = tpayload::BuildWithChecksums({});
    EXPECT_EQ(empty.size(), 4u + 40u);
    EXPECT_TRUE(SurveyBytes(empty).whole);
    EXPECT_TRUE(SurveyBytes(empty).trailer.has_value());

    // The form without a trailer reads exactly as before: no checks, nothing carried.
    for (const Bytes& old : {plain, Concat(plain, {'z', 'z'}), tpayload::Build({})}) {
        PayloadSurvey oldSurvey = SurveyBytes(old);
        EXPECT_TRUE(oldSurvey.whole);
        EXPECT_FALSE(oldSurvey.trailer.has_value());
        EXPECT_FALSE(WalkBytes(old).carriesTrailer);
    }
}

// The entries' checksums the unpacker reads, a piece at a time, across the pieces' bounds.
TEST(PayloadTrailer, ChecksumsReadEntryByEntry) {
    std::vector<tpayload::Entry> entries;
    for (int i = 0; i < 70; ++i)
        entries.push_back(
            {"\\n", std::to_string(i), std::string(static_cast<std::size_t>(i), 'd')});
    const Bytes sealed = tpayload::BuildWithChecksums(entries);
    MemoryPayloadSource source(sealed);
    PayloadSurvey survey = SurveyPayload(source);
    ASSERT_TRUE(survey.trailer.has_value());
    TrailerChecksums checksums(source, *survey.trailer);
    PayloadReader reader(source);
    PayloadEntry entry;
    EntryChecksum sum;
    int walked = 0;
    while (reader.Next(entry)) {
        sum.Begin(entry.directoryName, entry.fileName, entry.size);
        sum.Add(sealed.data() + entry.dataOffset, entry.size);
        EXPECT_EQ(checksums.ForEntry(entry.index), sum.Value()) << entry.index;
        ++walked;
    }
    EXPECT_EQ(walked, 70);
    // Out of order, and outside the count.
    EXPECT_EQ(checksums.ForEntry(3), TrailerChecksums(source, *survey.trailer).ForEntry(3));
    EXPECT_FALSE(checksums.ForEntry(70).has_value());
    EXPECT_FALSE(checksums.ForEntry(-1).has_value());
}

// Each kind of damage to a container that carries its checksums, and what the header pass finds:
// everything but an entry's data is refused before anything is written, as damage rather than a
// cut (cutShort false), so the installer says the payload is damaged.
TEST(PayloadTrailer, DamageTable) {
    const Bytes plain = tpayload::Build(kEntries);
    const Bytes sealed = tpayload::BuildWithChecksums(kEntries);
    const std::size_t trailer = plain.size();
    const std::size_t length = sealed.size() - trailer;
    const std::int64_t end = static_cast<std::int64_t>(trailer);
    // Entry 1 begins after entry 0's 4 + 1 + 10 + 4 + 4 bytes.
    const std::size_t second = 23;
    std::vector<tpayload::Entry> renamed = kEntries;
    renamed[1].file = "Second.txt";
    std::vector<tpayload::Entry> otherData = kEntries;
    otherData[3].data[5] = 'y';
    struct Case {
        const char* what;
        Bytes bytes;
        std::optional<PayloadIssue> issue;  // nothing: the header pass lets it through
        std::int64_t offset = 0;
    };
    const Case cases[] = {
        {"whole", sealed, std::nullopt},
        {"a byte of an entry's data", Flip(sealed, second + 4 + 11 + 4 + 2), std::nullopt},
        {"a byte of the last entry's data", Flip(sealed, trailer - 1), std::nullopt},
        {"a byte of a directory name", Flip(sealed, second + 2), PayloadIssue::kHeadersChecksum,
         end + 16},
        {"a byte of a file name", Flip(sealed, second + 5), PayloadIssue::kHeadersChecksum,
         end + 16},
        // One byte less of data: the next entry's names begin a byte early, and the walk still
        // ends where it did.
        {"a size field, smaller", Flip(sealed, second + 16, 0x01), PayloadIssue::kHeadersChecksum,
         end + 16},
        {"a size field, larger", Flip(sealed, second + 19, 0x01), PayloadIssue::kDataCutShort,
         second + 20},
        // A fifth entry read from the trailer's bytes: its size field runs past the end.
        {"the count", Flip(sealed, 0, 0x01), PayloadIssue::kDataCutShort, end + 15},
        {"the head magic", Flip(sealed, trailer + 3), PayloadIssue::kTrailerMagic, end},
        {"the length", Flip(sealed, trailer + 8), PayloadIssue::kTrailerLength, end + 8},
        {"the length's high byte", Flip(sealed, trailer + 11), PayloadIssue::kTrailerLength,
         end + 8},
        {"the trailer's count", Flip(sealed, trailer + 12), PayloadIssue::kTrailerCount, end + 12},
        {"the headers' checksum", Flip(sealed, trailer + 16), PayloadIssue::kTrailerChecksum,
         static_cast<std::int64_t>(sealed.size()) - 16},
        {"an entry's checksum", Flip(sealed, trailer + 24 + 8 + 3), PayloadIssue::kTrailerChecksum,
         static_cast<std::int64_t>(sealed.size()) - 16},
        {"the trailer's own checksum", Flip(sealed, sealed.size() - 16),
         PayloadIssue::kTrailerChecksum, static_cast<std::int64_t>(sealed.size()) - 16},
        {"the tail magic", Flip(sealed, sealed.size() - 8), PayloadIssue::kTrailerMagic,
         static_cast<std::int64_t>(sealed.size()) - 8},
        {"the trailer cut by one byte", Cut(sealed, 1), PayloadIssue::kTrailerCutShort, end},
        {"the trailer cut to its fixed fields", Cut(sealed, length - 24),
         PayloadIssue::kTrailerCutShort, end},
        {"the trailer cut inside its head magic", Cut(sealed, length - 3),
         PayloadIssue::kTrailerCutShort, end},
        {"a byte after the trailer", Concat(sealed, {0}), PayloadIssue::kBytesAfterTrailer,
         static_cast<std::int64_t>(sealed.size())},
        {"the trailer of a container of one entry", Concat(plain, tpayload::Trailer({kEntries[0]})),
         PayloadIssue::kTrailerCount, end + 12},
        {"the trailer of a container with other names", Concat(plain, tpayload::Trailer(renamed)),
         PayloadIssue::kHeadersChecksum, end + 16},
        // The names and sizes hold: only the copy can tell, at that entry.
        {"the trailer of a container with other data", Concat(plain, tpayload::Trailer(otherData)),
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PayloadSurvey survey = SurveyBytes(c.bytes);
        if (!c.issue) {
            EXPECT_TRUE(survey.whole);
            EXPECT_TRUE(survey.trailer.has_value());
            continue;
        }
        EXPECT_FALSE(survey.whole);
        EXPECT_FALSE(survey.cutShort);
        EXPECT_FALSE(survey.trailer.has_value());
        Walk walk = WalkBytes(c.bytes);
        EXPECT_TRUE(walk.carriesTrailer);
        ASSERT_TRUE(walk.damage.has_value());
        EXPECT_EQ(walk.damage->issue, *c.issue);
        EXPECT_EQ(walk.damage->offset, c.offset);
    }
}

// Whatever single byte of a trailer is damaged, and wherever the trailer is cut, the container is
// refused as damaged: never taken for one without a trailer, never let through.
TEST(PayloadTrailer, EveryByteOfTheTrailerAndEveryCut) {
    const Bytes plain = tpayload::Build(kEntries);
    const Bytes sealed = tpayload::BuildWithChecksums(kEntries);
    for (std::size_t at = 0; at < sealed.size(); ++at) {
        for (unsigned char mask : {0x01, 0x80, 0xFF}) {
            PayloadSurvey survey = SurveyBytes(Flip(sealed, at, mask));
            const bool data = at < plain.size() && at >= 4 && [&] {
                // Inside some entry's data: the header pass cannot see it.
                MemoryPayloadSource source(plain);
                PayloadReader reader(source);
                PayloadEntry entry;
                while (reader.Next(entry)) {
                    if (static_cast<std::int64_t>(at) >= entry.dataOffset &&
                        static_cast<std::int64_t>(at) < entry.dataOffset + entry.size)
                        return true;
                }
                return false;
            }();
            if (data) {
                EXPECT_TRUE(survey.whole && survey.trailer) << "data byte " << at;
            } else {
                EXPECT_FALSE(survey.whole) << "byte " << at << " ^ " << int{mask};
                EXPECT_FALSE(survey.cutShort) << "byte " << at << " ^ " << int{mask};
            }
        }
    }
    // Cut anywhere inside the trailer: damaged. Cut off whole, the container is of the form
    // without checksums, which stays valid.
    for (std::size_t drop = 1; drop < sealed.size() - plain.size(); ++drop) {
        PayloadSurvey survey = SurveyBytes(Cut(sealed, drop));
        EXPECT_FALSE(survey.whole) << drop;
        EXPECT_FALSE(survey.cutShort) << drop;
    }
    EXPECT_TRUE(SurveyBytes(plain).whole);
    // Cut inside the entries: cut short, as for a container without a trailer.
    for (std::size_t drop = sealed.size() - plain.size() + 1; drop <= sealed.size(); ++drop) {
        PayloadSurvey survey = SurveyBytes(Cut(sealed, drop));
        EXPECT_FALSE(survey.whole) << drop;
        EXPECT_TRUE(survey.cutShort) << drop;
    }
}
