// Rules for the names the installer writes on Windows, checked on the UTF-8 form of one level.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace payload_tool {

// Why Windows cannot create a file or folder of this name (one level, UTF-8), or empty when it
// can: control characters, < > : " / \ | ? *, a trailing dot or blank, a device name such as CON
// or LPT1 (with or without an extension), the form of the installer's temporary files.
std::string WindowsNameProblem(std::string_view name);

// The name with letters folded the way Windows compares names (ASCII, and the full-width Latin,
// Greek and Cyrillic letters that code page 936 holds), for finding names that would collide.
std::string FoldCase(std::string_view utf8);

// Finds files and folders that Windows would take for one another: the same path, or paths that
// differ only in case, one of them perhaps a file where the other is a folder.
class NameCollisions {
  public:
    // Adds the file `name` below the folders `levels` (UTF-8), known as `label` in messages.
    // False, with `problem` set, when it collides with one added before.
    bool Add(const std::vector<std::string>& levels, const std::string& name,
             const std::string& label, std::string& problem);

  private:
    struct Seen {
        std::string original;
        std::string label;
        bool isFile;
    };
    std::map<std::string, Seen> seen_;
};

}  // namespace payload_tool
