#include "payload/progress.h"

#include <algorithm>
#include <string>

namespace payload_tool {

namespace {

constexpr int kBarWidth = 30;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

std::string Mebibytes(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

}  // namespace

ProgressBar::ProgressBar(std::FILE* out, bool enabled, std::uint64_t totalEntries,
                         std::uint64_t totalBytes)
    : out_(out), enabled_(enabled), totalEntries_(totalEntries), totalBytes_(totalBytes) {}

ProgressBar::~ProgressBar() {
    Finish();
}

void ProgressBar::Update(std::uint64_t entries, std::uint64_t bytes) {
    if (!enabled_ || finished_) return;
    entries_ = entries;
    bytes_ = bytes;
    auto now = std::chrono::steady_clock::now();
    if (now - lastDraw_ < kRedrawInterval) return;
    lastDraw_ = now;
    Draw();
}

void ProgressBar::Finish() {
    if (!enabled_ || finished_) return;
    entries_ = std::max(entries_, totalEntries_);
    bytes_ = std::max(bytes_, totalBytes_);
    Draw();
    std::fputc('\n', out_);
    std::fflush(out_);
    finished_ = true;
}

void ProgressBar::Draw() {
    // Bytes decide the bar; a payload of empty files moves it by entries.
    double done = totalBytes_ > 0 ? static_cast<double>(bytes_) / static_cast<double>(totalBytes_)
                  : totalEntries_ > 0
                      ? static_cast<double>(entries_) / static_cast<double>(totalEntries_)
                      : 1.0;
    done = std::clamp(done, 0.0, 1.0);
    int filled = static_cast<int>(done * kBarWidth);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kBarWidth - filled), '.');
    std::fprintf(out_, "\r[%s] %3d%%  %llu/%llu files  %s/%s MiB", bar.c_str(),
                 static_cast<int>(done * 100), static_cast<unsigned long long>(entries_),
                 static_cast<unsigned long long>(totalEntries_), Mebibytes(bytes_).c_str(),
                 Mebibytes(totalBytes_).c_str());
    std::fflush(out_);
}

}  // namespace payload_tool
