#include "payload/pack.h"

#include "install/payload_format.h"
#include "payload/names.h"
#include "payload/tree.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <vector>

namespace payload_tool {

namespace {

constexpr std::size_t kCopyChunk = 1 << 20;

std::string CodePageText(const CodePage& codePage) {
    return "code page " + std::to_string(codePage.number());
}

// One level's name in the code page, or false with `problem` set.
bool ConvertLevel(const std::string& name, const CodePage& codePage, std::string& converted,
                  std::string& problem) {
    problem = WindowsNameProblem(name);
    if (!problem.empty()) return false;
    std::optional<std::string> bytes = codePage.FromUtf8(name);
    if (!bytes) {
        problem = "the name cannot be written in " + CodePageText(codePage);
        return false;
    }
    // The installer finds separators byte by byte: a double-byte character whose second byte
    // is 0x5C would split the name.
    if (bytes->find('\\') != std::string::npos) {
        problem = "in " + CodePageText(codePage) +
                  " the name holds the byte 0x5C inside a character, which the installer takes "
                  "for a backslash";
        return false;
    }
    converted = std::move(*bytes);
    return true;
}

std::string Relative(const TreeFile& file) {
    std::string relative;
    for (const std::string& level : file.folders) relative += level + "/";
    return relative + file.name;
}

}  // namespace

std::string FileListContents(const std::vector<PackedEntry>& entries) {
    std::string list;
    for (const PackedEntry& entry : entries) {
        // Directory names are stored with a leading backslash, the top level as an empty name.
        std::string_view directory = entry.planned.directoryName;
        if (!directory.empty() && directory.front() == '\\') directory.remove_prefix(1);
        list.append(directory);
        if (!directory.empty()) list += '\\';
        list += entry.planned.fileName;
        list += "\r\n";
    }
    return list;
}

bool PlanPack(const fs::path& folder, const CodePage& codePage, PackPlan& plan, std::string& error,
              const std::string& fileListName) {
    Tree tree;
    if (!ScanTree(folder, tree, error)) return false;

    NameCollisions collisions;
    for (const TreeFile& file : tree.files) {
        const std::string where = PathToUtf8(file.path) + ": ";
        std::string problem;
        PackedEntry entry;
        entry.source = file.path;
        entry.relative = Relative(file);
        entry.planned.size = file.size;
        for (std::size_t i = 0; i < file.folders.size(); ++i) {
            std::string converted;
            if (!ConvertLevel(file.folders[i], codePage, converted, problem)) {
                error = where + "folder \"" + Printable(file.folders[i]) + "\": " + problem;
                return false;
            }
            entry.planned.directoryName += "\\" + converted;
        }
        if (!ConvertLevel(file.name, codePage, entry.planned.fileName, problem)) {
            error = where + problem;
            return false;
        }
        for (const std::string* name : {&entry.planned.directoryName, &entry.planned.fileName}) {
            if (name->size() > kMaxNameLength) {
                error = where + "its " + (name == &entry.planned.fileName ? "file" : "folder") +
                        " name takes " + std::to_string(name->size()) + " bytes in " +
                        CodePageText(codePage) + ", more than the " +
                        std::to_string(kMaxNameLength) + " the format allows";
                return false;
            }
        }
        if (file.size > kMaxDataSize) {
            error = where + "the file holds " + std::to_string(file.size) +
                    " bytes; the format holds files below 4 GiB (at most " +
                    std::to_string(kMaxDataSize) + " bytes)";
            return false;
        }
        if (!collisions.Add(file.folders, file.name, entry.relative, problem)) {
            error = where + problem;
            return false;
        }
        plan.entries.push_back(std::move(entry));
    }

    const auto containerOrder = [](const PackedEntry& a, const PackedEntry& b) {
        if (a.planned.directoryName != b.planned.directoryName) {
            return a.planned.directoryName < b.planned.directoryName;
        }
        return a.planned.fileName < b.planned.fileName;
    };
    std::sort(plan.entries.begin(), plan.entries.end(), containerOrder);

    if (!fileListName.empty()) {
        const std::string where = "--file-list " + Printable(fileListName) + ": ";
        std::string problem;
        PackedEntry list;
        list.relative = fileListName;
        if (!ConvertLevel(fileListName, codePage, list.planned.fileName, problem)) {
            error = where + problem;
            return false;
        }
        if (list.planned.fileName.size() > kMaxNameLength) {
            error = where + "the name takes " + std::to_string(list.planned.fileName.size()) +
                    " bytes in " + CodePageText(codePage) + ", more than the " +
                    std::to_string(kMaxNameLength) + " the format allows";
            return false;
        }
        if (!collisions.Add({}, fileListName, "the file list", problem)) {
            error = where + problem;
            return false;
        }
        list.contents = FileListContents(plan.entries);
        list.planned.size = list.contents.size();
        plan.entries.insert(
            std::upper_bound(plan.entries.begin(), plan.entries.end(), list, containerOrder),
            std::move(list));
    }

    std::vector<PlannedEntry> planned;
    planned.reserve(plan.entries.size());
    for (const PackedEntry& entry : plan.entries) planned.push_back(entry.planned);
    if (std::optional<LayoutProblem> problem = CheckLayout(planned)) {
        const PackedEntry& entry = plan.entries[problem->entry];
        error = (entry.source.empty() ? "--file-list " + Printable(entry.relative)
                                      : PathToUtf8(entry.source)) +
                ": " + problem->text;
        return false;
    }

    std::sort(tree.emptyFolders.begin(), tree.emptyFolders.end());
    for (const std::string& empty : tree.emptyFolders) {
        plan.warnings.push_back("folder " + empty +
                                " is empty and is not stored: the container holds files only");
    }
    return true;
}

bool WritePack(const PackPlan& plan, const fs::path& output, bool checksums, std::string& error) {
    const std::string where = PathToUtf8(output) + ": ";
    std::unique_ptr<PendingFile> pending = PendingFile::Create(output, error);
    if (!pending) {
        error = where + error;
        return false;
    }
    PayloadWriter writer(pending->stream(), checksums);
    std::vector<char> chunk(kCopyChunk);
    bool ok = writer.Begin(static_cast<std::int32_t>(plan.entries.size()));
    for (const PackedEntry& entry : plan.entries) {
        if (!ok) break;
        if (entry.source.empty()) {
            ok = writer.AddEntry(entry.planned) &&
                 writer.AddData(entry.contents.data(), entry.contents.size());
            continue;
        }
        UniqueFile source = OpenFile(entry.source, "rb");
        if (!source) {
            error = PathToUtf8(entry.source) + ": cannot open it: " + ErrorText(errno);
            return false;
        }
        ok = writer.AddEntry(entry.planned);
        std::uint64_t copied = 0;
        while (ok) {
            std::size_t got = std::fread(chunk.data(), 1, chunk.size(), source.get());
            if (got == 0) break;
            copied += got;
            if (copied > entry.planned.size) break;
            ok = writer.AddData(chunk.data(), got);
        }
        if (!ok) break;
        if (std::ferror(source.get())) {
            error = PathToUtf8(entry.source) + ": cannot read it: " + ErrorText(errno);
            return false;
        }
        if (copied != entry.planned.size) {
            error = PathToUtf8(entry.source) + ": the file changed while it was packed (" +
                    std::to_string(entry.planned.size) + " bytes expected)";
            return false;
        }
    }
    if (!ok || !writer.Finish()) {
        error = where + "cannot write it: " + ErrorText(errno);
        return false;
    }
    if (!pending->Commit(error)) {
        error = where + error;
        return false;
    }
    return true;
}

}  // namespace payload_tool
