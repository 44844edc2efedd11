// Text operations on 8-bit paths that need no file system.
#pragma once

#include "system/multibyte_rules.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Paths hold at most this many bytes with their terminator: the system's MAX_PATH.
inline constexpr std::size_t kPathBufferSize = 260;
using PathBuffer = std::array<char, kPathBufferSize>;

// `head` followed by `tail` when the whole fits kPathBufferSize with its terminator. A path that
// does not fit is refused, never cut into another, shorter path.
std::optional<std::string> JoinPath(std::string_view head, std::string_view tail);

// The directory part of `path`: everything before its last backslash (0x5C), or, when it has
// none, before its last slash (0x2F); the separator itself is dropped. A path without either is
// returned whole. Bytes are compared one by one, without regard to double-byte characters.
std::string_view DirectoryOf(std::string_view path);

// `path` with every backslash (byte 0x5C) turned into a slash: an installer's path in the form a
// POSIX system takes it.
std::string WithForwardSlashes(std::string_view path);

// True when `a` and `b` hold the same characters without regard to case, as `rules` lower-case
// them (double-byte characters compared whole).
bool SameTextIgnoringCase(std::string_view a, std::string_view b, const MultibyteRules& rules);

// True when `level` (one name between separators) could lead out of its folder or not name what
// it says: empty, or dots and blanks only ("." and ".." among them, which Windows takes for the
// folder itself and its parent).
bool IsParentLikeLevel(std::string_view level);

// True when `path` names something inside `folder`, a full path (one trailing separator allowed):
// the folder's characters, a separator, then one level or more, none of them empty or made of
// dots and blanks only. A backslash and a slash both separate; characters are compared whole
// (a trail byte is never taken for a separator or a letter) and without regard to case as
// `rules` lower-case them. A path that spells the folder another way (a short 8.3 name, a
// different drive name) counts as outside: callers then leave the thing alone.
bool IsPathInsideFolder(std::string_view path, std::string_view folder,
                        const MultibyteRules& rules);
