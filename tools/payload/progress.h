// A one-line progress bar on the terminal: entries and bytes done out of the totals.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace payload_tool {

class ProgressBar {
  public:
    // Draws on `out` only when `enabled` (the tool passes whether `out` is a terminal).
    ProgressBar(std::FILE* out, bool enabled, std::uint64_t totalEntries, std::uint64_t totalBytes);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // Redraws at most ten times a second.
    void Update(std::uint64_t entries, std::uint64_t bytes);
    // Draws the final state and ends the line.
    void Finish();

  private:
    void Draw();

    std::FILE* out_;
    bool enabled_;
    bool finished_ = false;
    std::uint64_t totalEntries_;
    std::uint64_t totalBytes_;
    std::uint64_t entries_ = 0;
    std::uint64_t bytes_ = 0;
    std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace payload_tool
