// Writing the payload container: the count, then per entry the two names, the data size and the
// data, exactly as the installer's reader expects them, and the checksum trailer after them.
#pragma once

#include "install/payload_checksum.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace payload_tool {

// An entry's names (already in the installer's code page) and data size.
struct PlannedEntry {
    std::string directoryName;
    std::string fileName;
    std::uint64_t size = 0;
};

struct LayoutProblem {
    std::size_t entry;  // index of the first entry that does not fit
    std::string text;
};

// Checks a whole list against the format before anything is written: names of at most 259
// bytes without zero bytes, sizes below 0xFFFFFFFF, at most 21,474,836 entries, every field
// beginning below 2 GiB. Nothing when the list fits, else the first problem.
std::optional<LayoutProblem> CheckLayout(const std::vector<PlannedEntry>& entries);

// Writes a container to a stream in order: Begin, then per entry AddEntry and exactly its size
// in AddData calls, then Finish, which adds the checksum trailer when `checksums` is set. Every
// call returns false once a write has failed (or the data did not match the declared size), and
// keeps failing.
class PayloadWriter {
  public:
    PayloadWriter(std::FILE* out, bool checksums) : out_(out), checksums_(checksums) {}

    bool Begin(std::int32_t count);
    bool AddEntry(const PlannedEntry& entry);
    bool AddData(const void* data, std::size_t size);
    bool Finish();

    std::int64_t bytesWritten() const { return written_; }

  private:
    bool Write(const void* data, std::size_t size);
    bool CloseEntry();

    std::FILE* out_;
    bool checksums_;
    std::optional<TrailerBuilder> trailer_;
    bool failed_ = false;
    std::int32_t declared_ = 0;
    std::int32_t added_ = 0;
    std::uint64_t remaining_ = 0;
    std::int64_t written_ = 0;
};

}  // namespace payload_tool
