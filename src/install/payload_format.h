// The payload container "Data.cab": layout constants and the rules that turn an entry's names
// into paths under the install directory. Plain C++, shared by the installer and the payload tool.
//
// Layout (little-endian): int32 entry count, then per entry: directory name, 0x00, file name,
// 0x00, uint32 data size S, S data bytes. Names are 8-bit ANSI strings of at most 259 bytes.
//
// A container may carry a checksum trailer after its last entry. Installers that know no trailer
// stop reading at the last counted entry, so they unpack such a container as before; a container
// without one is unpacked unchecked. Each checksum is XXH3-64 (xxHash, seed 0), stored
// little-endian. With N the entry count:
//
//   offset   size   field
//   0        8      head magic "SUMSXXH3"
//   8        4      uint32 length of the whole trailer: 40 + 8 x N
//   12       4      int32 N, the container's entry count
//   16       8      checksum of the headers: the count field, then every entry's directory name,
//                   0x00, file name, 0x00 and size field, in container order
//   24       8 x N  checksum of each entry's stored bytes (names, terminators, size field, data)
//   24 + 8N  8      checksum of the trailer's bytes before this field
//   32 + 8N  8      tail magic "XXH3SUMS"
//
// The bytes after the last entry are taken for a trailer when they begin as the head magic does
// (also when fewer than 8 are left) or the container ends with the tail magic; a trailer must
// then be whole: both magics, the length equal to the bytes after the last entry, the count equal
// to the container's, its own checksum and the headers' checksum matching.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Each name is read through a window of this many bytes and must end inside it.
inline constexpr std::size_t kNameWindow = 260;
inline constexpr std::size_t kMaxNameLength = kNameWindow - 1;
// Fields must begin below 2 GiB: the format's positions are 32-bit signed file offsets.
inline constexpr std::int64_t kMaxFieldOffset = 0x7FFFFFFF;
// 100 x count must fit a signed 32-bit integer.
inline constexpr std::int32_t kMaxEntryCount = 21474836;
// The largest data size the format allows (0xFFFFFFFF is outside it).
inline constexpr std::uint32_t kMaxDataSize = 0xFFFFFFFEu;

// The checksum trailer (see above).
inline constexpr std::string_view kTrailerHeadMagic = "SUMSXXH3";
inline constexpr std::string_view kTrailerTailMagic = "XXH3SUMS";
inline constexpr std::int64_t kChecksumSize = 8;
inline constexpr std::int64_t kTrailerLengthOffset = 8;
inline constexpr std::int64_t kTrailerCountOffset = 12;
inline constexpr std::int64_t kTrailerHeadersOffset = 16;
inline constexpr std::int64_t kTrailerEntriesOffset = 24;
// Everything but the entries' checksums: magics, length, count and the two other checksums.
inline constexpr std::int64_t kTrailerFixedSize = 40;
// Length of the trailer of a container of `count` entries (at least 0).
constexpr std::int64_t TrailerLength(std::int64_t count) {
    return kTrailerFixedSize + kChecksumSize * count;
}

// Directory path of an entry: the install directory followed byte for byte by the directory
// name, with one trailing backslash (only one) removed.
std::string FormDirectoryPath(std::string_view installDir, std::string_view directoryName);

// Output path of an entry: its directory path, a backslash and the file name.
std::string FormOutputPath(std::string_view directoryPath, std::string_view fileName);

// True when the name holds a parent-directory component: between backslashes or slashes, a run
// of dots and blanks with at least two dots ("..", "...", ".. "), which Windows may resolve to
// the parent. Such entries are never unpacked.
bool HasParentReference(std::string_view name);

// True when a level of the name (between backslashes or slashes) is a reserved device name: CON,
// PRN, AUX, NUL, CONIN$, CONOUT$, COM1 to COM9 or LPT1 to LPT9, in any case, with or without an
// extension, trailing dots or blanks. Windows opens the device for such a name wherever it stands,
// so these entries are never unpacked either.
bool HasReservedDeviceName(std::string_view name);

// The unpacker writes each entry to a temporary file beside its final name and moves it into place
// only once it is complete. Temporaries are named "~setup-<entry index>.partial", so a person can
// tell what they are and a later run can clear what an abrupt end left behind; entries whose file
// name has that form are never unpacked, so a temporary never stands for a payload file.
std::string TemporaryFileName(std::int64_t entryIndex);
bool IsTemporaryFileName(std::string_view fileName);

// Progress position before entry `index` (from 0) of `count` entries: 100 x (index + 1) / count,
// truncated; exact for every count, also above the format's limit.
int ProgressPosition(std::int64_t index, std::int64_t count);
