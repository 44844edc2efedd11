#include "install/uninstall_plan.h"

#include "install/product_files.h"
#include "system/path_text.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>

namespace {

// The lines of the list, each without its line end, numbered from 1.
std::vector<std::pair<std::size_t, std::string_view>> Lines(std::string_view bytes) {
    std::vector<std::pair<std::size_t, std::string_view>> lines;
    std::size_t number = 0;
    while (!bytes.empty()) {
        std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(++number, line);
    }
    return lines;
}

bool IsDeviceName(std::string_view level) {
    std::string base(level.substr(0, level.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
           base[3] >= '1' && base[3] <= '9';
}

// The first problem of one line, or nothing; `levels` receives its levels.
std::optional<ListLineProblem> CheckLine(std::string_view line, const MultibyteRules& rules,
                                         std::vector<std::string_view>& levels) {
    if (line.front() == '\\' || line.front() == '/') return ListLineProblem::kRooted;
    std::size_t levelStart = 0;
    for (std::size_t at = 0;;) {
        const bool end = at >= line.size();
        const auto byte = end ? 0 : static_cast<unsigned char>(line[at]);
        const bool lead = !end && rules.IsLeadByte(byte);
        if (lead && at + 1 >= line.size()) return ListLineProblem::kBrokenCharacter;
        if (end || (!lead && (byte == '\\' || byte == '/'))) {
            std::string_view level = line.substr(levelStart, at - levelStart);
            if (IsParentLikeLevel(level)) return ListLineProblem::kParentLevel;
            if (level.back() == '.' || level.back() == ' ') {
                return ListLineProblem::kTrailingDotOrBlank;
            }
            if (IsDeviceName(level)) return ListLineProblem::kDeviceName;
            levels.push_back(level);
            if (end) return std::nullopt;
            levelStart = at + 1;
        } else if (!lead) {
            if (byte == ':') return ListLineProblem::kDriveOrStream;
            if (byte < 0x20 || byte == '<' || byte == '>' || byte == '"' || byte == '|' ||
                byte == '?' || byte == '*') {
                return ListLineProblem::kForbiddenCharacter;
            }
        }
        at += lead ? 2 : 1;
    }
}

// `levels` joined by backslashes.
std::string Joined(const std::vector<std::string_view>& levels, std::size_t count) {
    std::string joined;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) joined += '\\';
        joined.append(levels[i]);
    }
    return joined;
}

// A key under which names that differ only in case are one.
std::string Folded(std::string_view text, const MultibyteRules& rules) {
    std::string folded;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t width =
            rules.IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
        folded += rules.ToLower(text.substr(at, width));
        at += width;
    }
    return folded;
}

constexpr std::size_t kItemsNamed = 10;

void AppendItems(std::string& text, const std::vector<std::string>& items) {
    for (std::size_t i = 0; i < items.size() && i < kItemsNamed; ++i) text += "\r\n" + items[i];
    if (items.size() > kItemsNamed) {
        text += "\r\n……另有 " + std::to_string(items.size() - kItemsNamed) + " 项";
    }
}

}  // namespace

UninstallPlan PlanUninstall(std::string_view folder, std::string_view listBytes,
                            std::string_view uninstallerName, const MultibyteRules& rules) {
    UninstallPlan plan;
    // Folder keys in the order met, with their depth and full path.
    std::map<std::string, std::pair<std::size_t, std::string>> folders;
    for (const auto& [number, line] : Lines(listBytes)) {
        if (line.empty()) continue;
        std::vector<std::string_view> levels;
        std::optional<ListLineProblem> problem = CheckLine(line, rules, levels);
        std::string path;
        if (!problem) {
            std::string tail(1, '\\');
            tail += Joined(levels, levels.size());
            std::optional<std::string> joined = JoinPath(folder, tail);
            if (joined) {
                path = std::move(*joined);
            } else {
                problem = ListLineProblem::kTooLong;
            }
        }
        if (problem) {
            plan.refused.push_back({number, std::string(line), *problem});
            continue;
        }
        for (std::size_t depth = 1; depth < levels.size(); ++depth) {
            std::string relative = Joined(levels, depth);
            folders.try_emplace(Folded(relative, rules), depth,
                                std::string(folder) + "\\" + relative);
        }
        if (levels.size() == 1 && SameTextIgnoringCase(levels[0], uninstallerName, rules)) {
            plan.listsUninstaller = true;
        } else if (levels.size() != 1 || !SameTextIgnoringCase(levels[0], kFileListName, rules)) {
            plan.files.push_back(std::move(path));
        }
    }

    std::vector<std::pair<std::size_t, std::string>> ordered;
    for (auto& [key, folderEntry] : folders) ordered.push_back(std::move(folderEntry));
    // Deeper first, so that a folder is tried only after the folders inside it.
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (auto& [depth, path] : ordered) plan.folders.push_back(std::move(path));
    return plan;
}

std::string_view ProgramOfCommand(std::string_view command) {
    const std::size_t first = command.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    command.remove_prefix(first);
    if (command.front() == '"') {
        command.remove_prefix(1);
        return command.substr(0, command.find('"'));
    }
    return command.substr(0, command.find_last_not_of(' ') + 1);
}

bool CommandPointsInto(std::string_view command, std::string_view folder,
                       const MultibyteRules& rules) {
    return IsPathInsideFolder(ProgramOfCommand(command), folder, rules);
}

int UninstallExitCode(UninstallOutcome outcome) {
    switch (outcome) {
        case UninstallOutcome::kRemoved:
            return 0;
        case UninstallOutcome::kCancelled:
            return 1;
        case UninstallOutcome::kIncomplete:
            return 2;
        case UninstallOutcome::kNoFileList:
            return 3;
    }
    return 3;
}

std::string UninstallMessage(const UninstallReport& report) {
    std::string text;
    switch (report.outcome) {
        case UninstallOutcome::kCancelled:
            return text;
        case UninstallOutcome::kNoFileList:
            text = "找不到澜舟雅韵的文件列表,没有删除任何内容:\r\n" + report.listPath;
            return text;
        case UninstallOutcome::kRemoved:
            text = kUninstalledText;
            break;
        case UninstallOutcome::kIncomplete:
            text = "澜舟雅韵未能完全删除。";
            if (!report.notRemoved.empty()) {
                text += "\r\n\r\n以下项目无法删除,可能正在使用。关闭相关程序后可再次运行卸载程序:";
                AppendItems(text, report.notRemoved);
            }
            if (!report.refused.empty()) {
                std::vector<std::string> lines;
                for (const RefusedLine& line : report.refused) lines.push_back(line.text);
                text += "\r\n\r\n文件列表中的以下名称不在安装文件夹之内,未予删除:";
                AppendItems(text, lines);
            }
            break;
    }
    if (report.userFilesKept) {
        text += "\r\n\r\n安装文件夹中还有您自己的文件,因此保留了该文件夹:\r\n" + report.folder;
    } else if (report.folderKept) {
        text += "\r\n\r\n安装文件夹保留在:\r\n" + report.folder;
    }
    return text;
}
