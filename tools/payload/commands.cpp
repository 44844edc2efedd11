#include "payload/commands.h"

#include "payload/codepage.h"
#include "payload/files.h"
#include "payload/inspect.h"
#include "payload/pack.h"
#include "payload/unpack.h"

#include <cerrno>
#include <cstdio>
#include <optional>

namespace payload_tool {

namespace {

constexpr char kGeneralHelp[] =
    "usage: payload-tool <command> [options] <arguments>\n"
    "\n"
    "Makes and checks the installer's payload container, Data.cab.\n"
    "\n"
    "commands:\n"
    "  pack <folder> <Data.cab>     put every file below a folder into a new container\n"
    "  list <Data.cab>              show the entries of a container\n"
    "  verify <Data.cab>            check a container against the format\n"
    "  unpack <Data.cab> <folder>   unpack a container the way the installer does\n"
    "\n"
    "\"payload-tool <command> --help\" describes a command and its options.\n";

constexpr char kCodePageOption[] =
    "  --codepage N   the installer's ANSI code page, in which names are stored (default 936)\n";

struct Command {
    const char* name;
    const char* arguments;  // the positional arguments, for messages
    std::size_t positionals;
    bool takesJson;
    bool takesNoChecksums;
    bool takesFileList;
    const char* help;
};

constexpr Command kCommands[] = {
    {"pack", "<folder> <Data.cab>", 2, false, true, true,
     "usage: payload-tool pack [--codepage N] [--no-checksums] [--file-list NAME] <folder> "
     "<Data.cab>\n"
     "\n"
     "Every regular file below <folder> becomes an entry. Its folder is stored as the installer\n"
     "expects it: a leading backslash and levels separated by backslashes, the top level as an\n"
     "empty name. Names are converted from UTF-8 to the code page. Entries are sorted by their\n"
     "names' bytes and nothing of time stamps is stored, so the same files always give the same\n"
     "container. After the last entry comes a trailer with an XXH3-64 checksum of every entry,\n"
     "which the installer checks as it unpacks. It is written beside <Data.cab> under another\n"
     "name and renamed into place only when complete.\n"
     "\n"
     "Refused, leaving no container: a name the code page cannot hold, or Windows cannot create,\n"
     "or that holds the byte 0x5C inside a character; names that differ only in case; a name over\n"
     "259 bytes once converted; a file of 4 GiB or more; a container beyond the format's limits\n"
     "(fields beginning below 2 GiB, at most 21474836 entries); a symbolic link or special file.\n"
     "Empty folders cannot be stored; each is named in a warning.\n"
     "\n"
     "options:\n"
     "  --no-checksums the container without its checksum trailer (the form before checksums)\n"
     "  --file-list NAME\n"
     "                 add a top-level entry NAME that lists the relative path of every other\n"
     "                 entry in container order, one a line (backslashes, the code page, CR LF),\n"
     "                 so that the installed product knows its own files; refused when the\n"
     "                 folder holds a file Windows would take for NAME\n"},
    {"list", "<Data.cab>", 1, true, false, false,
     "usage: payload-tool list [--codepage N] [--json] <Data.cab>\n"
     "\n"
     "One line per entry: its data size, directory name and file name (converted to UTF-8;\n"
     "the install directory itself shows as \\), then the total and whether the container\n"
     "carries checksums. A container whose structure or checksum trailer is damaged is listed as\n"
     "far as it can be read, and the damage reported.\n"
     "\n"
     "options:\n"
     "  --json         one JSON object: codepage, count, entries (directory, file, size, offset,\n"
     "                 and directory_hex or file_hex for a name not valid in the code page),\n"
     "                 total_bytes, checksums (true when it carries a checksum trailer) and\n"
     "                 problem (null when there is none)\n"},
    {"verify", "<Data.cab>", 1, false, false, false,
     "usage: payload-tool verify [--codepage N] <Data.cab>\n"
     "\n"
     "Checks the container and reports its first problem with the entry and offset: an entry\n"
     "count that does not match the entries stored, a name without terminator inside its 260-byte\n"
     "window, data cut short, bytes after the last entry, a field beyond 2 GiB, a data size of\n"
     "0xFFFFFFFF, a \"..\" component, a directory name that would land beside the install\n"
     "directory, an empty file name or one holding a separator, a name not valid in the code page\n"
     "or one Windows cannot create, and two entries Windows would take for one file. When the\n"
     "container carries checksums, it checks the trailer and then reads every entry and names the\n"
     "first one that does not match its checksum.\n"
     "Exit status 0 when there is none, 1 otherwise.\n"
     "\n"
     "options:\n"},
    {"unpack", "<Data.cab> <folder>", 2, false, false, false,
     "usage: payload-tool unpack [--codepage N] <Data.cab> <folder>\n"
     "\n"
     "Unpacks the container into <folder> (created if missing) with the installer's own unpacker:\n"
     "entries with a \"..\" component are skipped, a damaged container is unpacked as far as the\n"
     "installer would, and each entry is checked against its checksum as it is written. A\n"
     "container with an entry that would land beside <folder> is refused before anything is\n"
     "written. On Linux names are converted from the code page to UTF-8; on\n"
     "Windows they are written in the system's ANSI code page, which must be the one given.\n"
     "A progress bar (entries and bytes) is drawn on a terminal. Exit status 1 when the container\n"
     "has a problem or an entry was not written.\n"
     "\n"
     "options:\n"},
};

struct Options {
    const Command* command = nullptr;
    unsigned codePage = kDefaultCodePage;
    bool json = false;
    bool checksums = true;
    bool help = false;
    std::string fileList;
    std::vector<std::string> positionals;
};

int UsageError(const Command* command, const std::string& text) {
    if (command != nullptr) {
        std::fprintf(stderr, "%s: %s: %s (see \"%s %s --help\")\n", kToolName, command->name,
                     text.c_str(), kToolName, command->name);
    } else {
        std::fprintf(stderr, "%s: %s (see \"%s --help\")\n", kToolName, text.c_str(), kToolName);
    }
    return 2;
}

int Failure(const Command& command, const std::string& text) {
    std::fprintf(stderr, "%s: %s: %s\n", kToolName, command.name, text.c_str());
    return 1;
}

std::optional<unsigned> ParseCodePage(const std::string& text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) return std::nullopt;
    return value;
}

// Parses the arguments after the command's name; a usage error's status, or nothing.
std::optional<int> ParseOptions(const std::vector<std::string>& arguments, Options& options) {
    const Command* command = options.command;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            options.positionals.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--json" && command->takesJson) {
            options.json = true;
        } else if (argument == "--no-checksums" && command->takesNoChecksums) {
            options.checksums = false;
        } else if (command->takesFileList &&
                   (argument == "--file-list" || argument.starts_with("--file-list="))) {
            if (argument == "--file-list") {
                if (i + 1 == arguments.size())
                    return UsageError(command, "--file-list needs a file name");
                options.fileList = arguments[++i];
            } else {
                options.fileList = argument.substr(std::string("--file-list=").size());
            }
            if (options.fileList.empty())
                return UsageError(command, "--file-list needs a file name");
        } else if (argument == "--codepage" || argument.starts_with("--codepage=")) {
            std::string value;
            if (argument == "--codepage") {
                if (i + 1 == arguments.size())
                    return UsageError(command, "--codepage needs a number");
                value = arguments[++i];
            } else {
                value = argument.substr(std::string("--codepage=").size());
            }
            std::optional<unsigned> number = ParseCodePage(value);
            if (!number)
                return UsageError(command,
                                  "--codepage needs a code page number, not \"" + value + "\"");
            options.codePage = *number;
        } else {
            return UsageError(command, "unknown option " + argument);
        }
    }
    return std::nullopt;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Hex(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", c);
        out += pair;
    }
    return out;
}

// Opens a container for reading; null with a message on failure.
UniqueFile OpenContainer(const Command& command, const std::string& name) {
    UniqueFile file = OpenFile(PathFromUtf8(name), "rb");
    if (!file) Failure(command, name + ": cannot open it: " + ErrorText(errno));
    return file;
}

int RunPack(const Command& command, const Options& options, const CodePage& codePage) {
    const fs::path folder = PathFromUtf8(options.positionals[0]);
    const fs::path output = PathFromUtf8(options.positionals[1]);
    std::error_code code;
    fs::path folderReal = fs::canonical(folder, code);
    if (code) return Failure(command, options.positionals[0] + ": " + code.message());
    fs::path outputReal = fs::weakly_canonical(fs::absolute(output), code);
    if (!code) {
        fs::path relative = outputReal.lexically_relative(folderReal);
        if (!relative.empty() && *relative.begin() != "..") {
            return Failure(command, options.positionals[1] +
                                        ": the container would lie inside the folder being packed");
        }
    }

    PackPlan plan;
    std::string error;
    if (!PlanPack(folder, codePage, plan, error, options.fileList) ||
        !WritePack(plan, output, options.checksums, error)) {
        return Failure(command, error);
    }
    for (const std::string& warning : plan.warnings) {
        std::fprintf(stderr, "%s: %s: warning: %s\n", kToolName, command.name, warning.c_str());
    }
    std::uint64_t bytes = 0;
    for (const PackedEntry& entry : plan.entries) bytes += entry.planned.size;
    std::printf("%s: %s, %s\n", options.positionals[1].c_str(),
                CountOf(plan.entries.size(), "file", "files").c_str(),
                CountOf(bytes, "byte", "bytes").c_str());
    return 0;
}

int RunList(const Command& command, const Options& options, const CodePage& codePage) {
    const std::string& name = options.positionals[0];
    UniqueFile file = OpenContainer(command, name);
    if (!file) return 1;
    FilePayloadSource source(file.get());
    Inspection inspection = Inspect(source, codePage);
    const bool damaged = inspection.problem && inspection.problem->structural;

    if (options.json) {
        std::printf("{\n  \"codepage\": %u,\n  \"count\": %d,\n  \"entries\": [", codePage.number(),
                    static_cast<int>(inspection.count));
        const char* separator = "\n";
        for (const PayloadEntry& entry : inspection.entries) {
            std::string line =
                "{\"directory\": " + JsonString(DisplayName(entry.directoryName, codePage)) +
                ", \"file\": " + JsonString(DisplayName(entry.fileName, codePage)) +
                ", \"size\": " + std::to_string(entry.size) +
                ", \"offset\": " + std::to_string(entry.offset);
            if (!codePage.ToUtf8(entry.directoryName)) {
                line += ", \"directory_hex\": \"" + Hex(entry.directoryName) + "\"";
            }
            if (!codePage.ToUtf8(entry.fileName))
                line += ", \"file_hex\": \"" + Hex(entry.fileName) + "\"";
            std::printf("%s    %s}", separator, line.c_str());
            separator = ",\n";
        }
        std::printf("%s],\n  \"total_bytes\": %llu,\n  \"checksums\": %s,\n  \"problem\": %s\n}\n",
                    inspection.entries.empty() ? "" : "\n  ",
                    static_cast<unsigned long long>(inspection.declaredBytes),
                    inspection.checksums ? "true" : "false",
                    inspection.problem ? JsonString(inspection.problem->text).c_str() : "null");
    } else {
        for (const PayloadEntry& entry : inspection.entries) {
            std::string directory = DisplayName(entry.directoryName, codePage);
            std::printf("%12lu  %s  %s\n", static_cast<unsigned long>(entry.size),
                        directory.empty() ? "\\" : directory.c_str(),
                        DisplayName(entry.fileName, codePage).c_str());
        }
        std::printf("total: %s, %s\n",
                    CountOf(inspection.entries.size(), "entry", "entries").c_str(),
                    CountOf(inspection.declaredBytes, "byte", "bytes").c_str());
        std::printf("checksums: %s\n",
                    !inspection.checksums ? "none (the installer unpacks it unchecked)"
                    : inspection.trailer  ? "XXH3-64 of every entry (verify reads and checks them)"
                                          : "a damaged trailer");
    }
    std::fflush(stdout);
    if (damaged) return Failure(command, name + ": " + inspection.problem->text);
    return 0;
}

int RunVerify(const Command& command, const Options& options, const CodePage& codePage) {
    const std::string& name = options.positionals[0];
    UniqueFile file = OpenContainer(command, name);
    if (!file) return 1;
    FilePayloadSource source(file.get());
    Inspection inspection = Inspect(source, codePage);
    std::optional<Problem> problem = inspection.problem;
    if (!inspection.damage) {
        // An entry that does not match its checksum, unless an earlier problem comes first.
        std::optional<Problem> mismatch = CheckEntryChecksums(source, inspection, codePage);
        if (mismatch && (!problem || mismatch->offset <= problem->offset)) problem = mismatch;
    }
    if (problem) return Failure(command, name + ": " + problem->text);
    std::printf("%s: OK: %s, %s, %s\n", name.c_str(),
                CountOf(inspection.entries.size(), "entry", "entries").c_str(),
                CountOf(inspection.declaredBytes, "byte", "bytes").c_str(),
                inspection.trailer ? "every checksum matches" : "no checksums");
    return 0;
}

int RunUnpack(const Command& command, const Options& options, const CodePage& codePage) {
    UnpackResult result;
    std::string error;
    int status =
        UnpackContainer(PathFromUtf8(options.positionals[0]), PathFromUtf8(options.positionals[1]),
                        codePage, IsTerminal(stderr), result, error);
    if (status != 0) return Failure(command, error);
    std::printf("%s: unpacked %s, %s into %s\n", options.positionals[0].c_str(),
                CountOf(result.files, "file", "files").c_str(),
                CountOf(result.bytes, "byte", "bytes").c_str(), options.positionals[1].c_str());
    return 0;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return UsageError(nullptr, "no command given");
    const std::string& name = arguments[0];
    if (name == "--help" || name == "-h" || name == "help") {
        std::fputs(kGeneralHelp, stdout);
        return 0;
    }
    Options options;
    for (const Command& command : kCommands) {
        if (name == command.name) options.command = &command;
    }
    if (options.command == nullptr) return UsageError(nullptr, "unknown command \"" + name + "\"");
    const Command& command = *options.command;
    if (std::optional<int> status = ParseOptions(arguments, options)) return *status;
    if (options.help) {
        std::fputs(command.help, stdout);
        std::fputs(kCodePageOption, stdout);
        std::fputs("  --help         show this text\n", stdout);
        return 0;
    }
    if (options.positionals.size() != command.positionals) {
        return UsageError(&command, std::string("expects ") + command.arguments);
    }
    std::optional<CodePage> codePage = CodePage::Open(options.codePage);
    if (!codePage) {
        return Failure(command, "code page " + std::to_string(options.codePage) +
                                    " cannot be converted on this system");
    }
    if (name == "pack") return RunPack(command, options, *codePage);
    if (name == "list") return RunList(command, options, *codePage);
    if (name == "verify") return RunVerify(command, options, *codePage);
    return RunUnpack(command, options, *codePage);
}

}  // namespace payload_tool
