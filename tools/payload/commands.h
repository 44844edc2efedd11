// The payload tool's command line: pack, list, verify and unpack.
#pragma once

#include <string>
#include <vector>

namespace payload_tool {

inline constexpr char kToolName[] = "payload-tool";

// Runs one command line (arguments after the program name, UTF-8) and returns the exit status:
// 0 success, 1 a problem with the files named (one message on stderr), 2 a usage error.
int RunCommandLine(const std::vector<std::string>& arguments);

}  // namespace payload_tool
