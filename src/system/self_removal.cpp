#include "system/self_removal.h"

#include <charconv>

std::string SelfRemovalArguments(const SelfRemovalRequest& request) {
    return std::string(kSelfRemovalSwitch) + " " + std::to_string(request.process) + " \"" +
           request.path + "\"";
}

std::optional<SelfRemovalRequest> ParseSelfRemovalArguments(
    const std::vector<std::string>& arguments) {
    if (arguments.size() != 3 || arguments[0] != kSelfRemovalSwitch || arguments[2].empty()) {
        return std::nullopt;
    }
    SelfRemovalRequest request;
    const std::string& number = arguments[1];
    auto [end, error] =
        std::from_chars(number.data(), number.data() + number.size(), request.process);
    if (error != std::errc() || end != number.data() + number.size() || request.process == 0) {
        return std::nullopt;
    }
    request.path = arguments[2];
    return request;
}
