#include "payload/unpack.h"

#include "install/install_owner.h"
#include "install/payload_format.h"
#include "install/payload_unpack.h"
#include "payload/inspect.h"
#include "payload/names.h"
#include "payload/progress.h"
#include "system/file_api.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <functional>
#include <map>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace payload_tool {

namespace {

// The unpacker's owner: the target folder, and progress positions turned into entries done.
class ToolOwner final : public InstallOwner {
  public:
    ToolOwner(std::string target, ProgressBar& progress,
              const std::vector<std::uint64_t>& bytesBefore)
        : target_(std::move(target)), progress_(progress), bytesBefore_(bytesBefore) {}

    std::string GetInstallPath() override { return target_; }
    // Called once before each entry, so the calls count the entries begun.
    void SetProgressPos(int) override {
        // A pass past the walked entries (the unpacker's last, past the end) counts for nothing.
        if (entriesBegun_ + 1 < bytesBefore_.size()) ++entriesBegun_;
        if (entriesBegun_ > 0) progress_.Update(entriesBegun_ - 1, bytesBefore_[entriesBegun_ - 1]);
    }
    int GetAutoRunCheck() override { return 0; }
    void SetInstallButtonText(const char*) override {}
    void OnCancel() override {}

    std::uint64_t entriesDone() const { return entriesBegun_ > 0 ? entriesBegun_ - 1 : 0; }
    // Data bytes up to the end of the entry being unpacked: what reading ahead may not pass.
    std::uint64_t bytesReached() const { return bytesBefore_[entriesBegun_]; }

  private:
    std::string target_;
    ProgressBar& progress_;
    const std::vector<std::uint64_t>& bytesBefore_;
    std::uint64_t entriesBegun_ = 0;
};

// What the unpacker writes for an entry, for the check afterwards: its names as the file system
// gets them.
struct Written {
    std::string directoryName;
    std::string fileName;
};

#ifndef _WIN32

// The container as the unpacker should read it on Linux: the same entries, with names converted
// to UTF-8 and the data taken from the container file where it lies. The walk's ends and stops
// are kept: data cut short stays cut short, a name without terminator is passed on as it is, a
// data size of 0xFFFFFFFF too.
class ConvertedView {
  public:
    ConvertedView(int fd, std::function<void(std::uint64_t)> onData)
        : fd_(fd), onData_(std::move(onData)) {}

    void AddText(const std::string& bytes) {
        segments_.push_back(Segment{size_, static_cast<std::int64_t>(bytes.size()), -1,
                                    static_cast<std::int64_t>(text_.size()), false});
        text_ += bytes;
        size_ += static_cast<std::int64_t>(bytes.size());
    }
    void AddSource(std::int64_t offset, std::int64_t length, bool data) {
        if (length <= 0) return;
        segments_.push_back(Segment{size_, length, offset, 0, data});
        size_ += length;
    }

    // A read-only stream over the view; the view must outlive it.
    UniqueFile Open() {
        cookie_io_functions_t functions{};
        functions.read = [](void* cookie, char* buffer, std::size_t size) -> ssize_t {
            return static_cast<ConvertedView*>(cookie)->Read(buffer, size);
        };
        functions.seek = [](void* cookie, off64_t* offset, int whence) -> int {
            return static_cast<ConvertedView*>(cookie)->Seek(offset, whence);
        };
        return UniqueFile(fopencookie(this, "rb", functions));
    }

  private:
    struct Segment {
        std::int64_t start;
        std::int64_t length;
        std::int64_t sourceOffset;  // -1: the bytes are in text_
        std::int64_t textOffset;
        bool data;
    };

    ssize_t Read(char* buffer, std::size_t size) {
        std::size_t done = 0;
        while (done < size && position_ < size_) {
            auto it =
                std::upper_bound(segments_.begin(), segments_.end(), position_,
                                 [](std::int64_t at, const Segment& s) { return at < s.start; });
            const Segment& segment = *(it - 1);
            std::int64_t inside = position_ - segment.start;
            std::size_t step = static_cast<std::size_t>(std::min<std::int64_t>(
                segment.length - inside, static_cast<std::int64_t>(size - done)));
            if (segment.sourceOffset < 0) {
                std::copy_n(text_.data() + segment.textOffset + inside, step, buffer + done);
            } else {
                ssize_t got = pread(fd_, buffer + done, step, segment.sourceOffset + inside);
                if (got <= 0) return done > 0 ? static_cast<ssize_t>(done) : -1;
                step = static_cast<std::size_t>(got);
                if (segment.data) {
                    dataRead_ += step;
                    onData_(dataRead_);
                }
            }
            done += step;
            position_ += static_cast<std::int64_t>(step);
        }
        return static_cast<ssize_t>(done);
    }

    int Seek(off64_t* offset, int whence) {
        std::int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? position_ : size_;
        std::int64_t next = base + *offset;
        if (next < 0) return -1;
        position_ = next;
        *offset = next;
        return 0;
    }

    int fd_;
    std::function<void(std::uint64_t)> onData_;
    std::string text_;
    std::vector<Segment> segments_;
    std::int64_t size_ = 0;
    std::int64_t position_ = 0;
    std::uint64_t dataRead_ = 0;
};

std::string LittleEndian32(std::uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
    return bytes;
}

#endif

std::string ConvertForFileSystem(const std::string& name,
                                 [[maybe_unused]] const CodePage& codePage) {
#ifdef _WIN32
    return name;
#else
    std::optional<std::string> text = codePage.ToUtf8(name);
    return text ? *text : name;
#endif
}

// Size of what the unpacker wrote at this installer-form path, or nothing.
std::optional<std::uint64_t> WrittenSize(const std::string& path) {
#ifdef _WIN32
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
#else
    std::string native = path;
    std::replace(native.begin(), native.end(), '\\', '/');
    struct stat info {};
    if (stat(native.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
#endif
}

// A path the unpacker wrote, for messages.
std::string PathForMessage(const std::string& path, [[maybe_unused]] const CodePage& codePage) {
#ifdef _WIN32
    return DisplayName(path, codePage);
#else
    return Printable(path);
#endif
}

std::string EntryLabel(const PayloadEntry& entry, const CodePage& codePage) {
    return "entry " + std::to_string(entry.index) + " (" +
           FormOutputPath(FormDirectoryPath("", DisplayName(entry.directoryName, codePage)),
                          DisplayName(entry.fileName, codePage)) +
           ")";
}

// Entries written by the unpacker that a later entry of the same name replaces are not checked.
std::vector<std::size_t> LastWriters(const std::vector<std::string>& paths) {
    std::map<std::string, std::size_t> last;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (!paths[i].empty()) last[FoldCase(paths[i])] = i;
    }
    std::vector<std::size_t> indexes;
    for (const auto& [path, index] : last) indexes.push_back(index);
    std::sort(indexes.begin(), indexes.end());
    return indexes;
}

}  // namespace

int UnpackContainer(const fs::path& container, const fs::path& target, const CodePage& codePage,
                    bool showProgress, UnpackResult& result, std::string& error) {
    const std::string containerName = PathToUtf8(container);
    UniqueFile file = OpenFile(container, "rb");
    if (!file) {
        error = containerName + ": cannot open it: " + ErrorText(errno);
        return 1;
    }
    FilePayloadSource source(file.get());
    Inspection inspection = Inspect(source, codePage, false);

    // Entries the unpacker would write, or at least make a folder for: the walked ones, and one
    // it stops at after reading both names.
    std::vector<const PayloadEntry*> touched;
    for (const PayloadEntry& entry : inspection.entries) touched.push_back(&entry);
    if (inspection.stoppedAt && inspection.stoppedField == PayloadField::kDataSize) {
        touched.push_back(&*inspection.stoppedAt);
    }
    for (const PayloadEntry* entry : touched) {
        if (HasParentReference(entry->directoryName) || HasParentReference(entry->fileName))
            continue;
        if (!entry->directoryName.empty() && entry->directoryName.front() != '\\') {
            error = containerName + ": " + EntryLabel(*entry, codePage) + " at offset " +
                    std::to_string(entry->offset) +
                    ": the directory name does not begin with a backslash, so it would land "
                    "beside the target folder; nothing unpacked";
            return 1;
        }
    }

    // The target as the unpacker gets it.
#ifdef _WIN32
    if (codePage.number() != GetACP()) {
        error = containerName + ": the names are read in code page " +
                std::to_string(codePage.number()) +
                ", but this system's ANSI code page, in which the unpacker writes them, is " +
                std::to_string(GetACP());
        return 1;
    }
    std::optional<std::string> targetText = codePage.FromUtf8(PathToUtf8(fs::absolute(target)));
    if (!targetText) {
        error = PathToUtf8(target) + ": the folder's name cannot be written in the ANSI code page";
        return 1;
    }
    std::string targetDir = *targetText;
#else
    std::string targetDir = PathToUtf8(target);
    if (targetDir.find('\\') != std::string::npos) {
        error = targetDir + ": the unpacker takes backslashes in the folder's name for separators";
        return 1;
    }
    while (targetDir.size() > 1 && targetDir.back() == '/') targetDir.pop_back();
#endif
    // Names as the file system gets them; on Linux they must still fit the unpacker's windows.
    std::vector<Written> written;
    for (const PayloadEntry* entry : touched) {
        Written names{ConvertForFileSystem(entry->directoryName, codePage),
                      ConvertForFileSystem(entry->fileName, codePage)};
        if (std::max(names.directoryName.size(), names.fileName.size()) > kMaxNameLength) {
            error = containerName + ": " + EntryLabel(*entry, codePage) +
                    ": a name is longer than the unpacker's " + std::to_string(kMaxNameLength) +
                    " bytes once converted to UTF-8; unpack it on Windows instead";
            return 1;
        }
        written.push_back(std::move(names));
    }

    std::error_code code;
    fs::create_directories(target, code);
    if (code) {
        error = PathToUtf8(target) + ": cannot create the folder: " + code.message();
        return 1;
    }

    std::vector<std::uint64_t> bytesBefore{0};
    for (const PayloadEntry& entry : inspection.entries) {
        bytesBefore.push_back(bytesBefore.back() + entry.size);
    }
    ProgressBar progress(stderr, showProgress, inspection.entries.size(), bytesBefore.back());
    ToolOwner owner(targetDir, progress, bytesBefore);

#ifdef _WIN32
    fsapi::SeekTo(file.get(), 0);
    UnpackPayload(owner, targetDir, file.get());
#else
    int descriptor = fileno(file.get());
    ConvertedView view(descriptor, [&](std::uint64_t bytes) {
        progress.Update(owner.entriesDone(), std::min(bytes, owner.bytesReached()));
    });
    std::array<unsigned char, 4> countBytes{};
    std::size_t countSize = source.ReadAt(0, countBytes.data(), countBytes.size());
    if (inspection.count <= 0 || countSize < countBytes.size()) {
        view.AddText(std::string(countBytes.begin(),
                                 countBytes.begin() + static_cast<std::ptrdiff_t>(countSize)));
    } else {
        // One pass beyond the walked entries keeps what the unpacker does there: it stops at the
        // entry, or, past the end, makes sure of the install folder.
        std::int64_t passes = static_cast<std::int64_t>(inspection.entries.size()) + 1;
        view.AddText(LittleEndian32(
            static_cast<std::uint32_t>(std::min<std::int64_t>(inspection.count, passes))));
    }
    for (std::size_t i = 0; i < inspection.entries.size(); ++i) {
        const PayloadEntry& entry = inspection.entries[i];
        view.AddText(written[i].directoryName + '\0' + written[i].fileName + '\0' +
                     LittleEndian32(entry.size));
        view.AddSource(entry.dataOffset, entry.storedSize, true);
    }
    if (const std::optional<PayloadEntry>& stopped = inspection.stoppedAt) {
        if (inspection.stoppedField == PayloadField::kDirectoryName) {
            view.AddSource(stopped->offset, kNameWindow, false);
        } else if (inspection.stoppedField == PayloadField::kFileName) {
            view.AddText(ConvertForFileSystem(stopped->directoryName, codePage) + '\0');
            view.AddSource(
                stopped->offset + static_cast<std::int64_t>(stopped->directoryName.size()) + 1,
                kNameWindow, false);
        } else {
            view.AddText(written.back().directoryName + '\0' + written.back().fileName + '\0' +
                         LittleEndian32(stopped->size));
        }
    }
    UniqueFile stream = view.Open();
    if (!stream) {
        error = containerName + ": cannot read it: " + ErrorText(errno);
        return 1;
    }
    UnpackPayload(owner, targetDir, stream.get());
#endif
    progress.Finish();

    // The unpacker reports nothing: look at what it wrote.
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < inspection.entries.size(); ++i) {
        const PayloadEntry& entry = inspection.entries[i];
        bool writable = !HasParentReference(entry.directoryName) &&
                        !HasParentReference(entry.fileName) && !written[i].fileName.empty() &&
                        written[i].fileName.find_first_of("\\/") == std::string::npos;
        paths.push_back(writable
                            ? FormOutputPath(FormDirectoryPath(targetDir, written[i].directoryName),
                                             written[i].fileName)
                            : std::string());
    }
    std::string unwritten;
    for (std::size_t index : LastWriters(paths)) {
        const PayloadEntry& entry = inspection.entries[index];
        std::optional<std::uint64_t> size = WrittenSize(paths[index]);
        if (size && *size == entry.size) {
            ++result.files;
            result.bytes += entry.size;
        } else if (unwritten.empty()) {
            unwritten = containerName + ": " + EntryLabel(entry, codePage) +
                        " was not written to " + PathForMessage(paths[index], codePage);
        }
    }
    if (inspection.problem) {
        error =
            containerName + ": unpacked what the installer would, but " + inspection.problem->text;
        return 1;
    }
    if (!unwritten.empty()) {
        error = unwritten;
        return 1;
    }
    return 0;
}

}  // namespace payload_tool
