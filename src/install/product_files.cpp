#include "install/product_files.h"

std::optional<std::string> JoinPath(std::string_view head, std::string_view tail) {
    if (head.size() >= kPathBufferSize || tail.size() >= kPathBufferSize - head.size()) {
        return std::nullopt;
    }
    std::string path;
    path.reserve(head.size() + tail.size());
    path.append(head);
    path.append(tail);
    return path;
}

std::string_view ProductFileTail(ProductFile file) {
    switch (file) {
        case ProductFile::kMainProgram:
            return "\\Quenvox.exe";
        case ProductFile::kUninstaller:
            return "\\quenunset.exe";
        case ProductFile::kRecorder:
            return "\\QuenRecMp3.exe";
        case ProductFile::kRepairTool:
            return "\\QuenMend.exe";
    }
    return {};
}

std::optional<std::string> ProductFilePath(std::string_view installDir, ProductFile file) {
    return JoinPath(installDir, ProductFileTail(file));
}

std::string DisplayNameText() {
    std::string text = kProductName;
    text += kVersionText;
    text += ' ';
    text += kBuildText;
    return text;
}
