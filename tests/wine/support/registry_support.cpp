#include "registry_support.h"

#include "system/ansi_text_win.h"
#include "system/win_resource.h"

#include <array>
#include <atomic>
#include <cctype>
#include <cstring>

namespace wt {

std::vector<unsigned char> TerminatedBytes(const std::string& text) {
    std::vector<unsigned char> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

bool RegistryKeyExists(HKEY root, const std::string& subkey) {
    UniqueRegKey key;
    return RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::optional<RegistryValue> ReadRegistryValue(HKEY root, const std::string& subkey,
                                               const std::string& name) {
    UniqueRegKey key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    RegistryValue value;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &value.type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    // Asked for exactly the stored size, the system adds no terminator of its own.
    value.data.resize(size);
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &value.type, value.data.data(), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    return value;
}

std::vector<std::string> RegistryValueNames(HKEY root, const std::string& subkey) {
    std::vector<std::string> names;
    UniqueRegKey key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
    for (DWORD index = 0;; ++index) {
        std::array<char, 16384> name{};
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumValueA(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name.data(), length);
    }
    return names;
}

bool CreateRegistryKey(HKEY root, const std::string& subkey) {
    UniqueRegKey key;
    return RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(),
                           nullptr) == ERROR_SUCCESS;
}

bool DeleteRegistryTree(HKEY root, const std::string& subkey) {
    {
        UniqueRegKey key;
        if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
            return !RegistryKeyExists(root, subkey);
        }
        // Children first; enumerate from the start again after each removal.
        for (;;) {
            std::array<char, 256> child{};
            DWORD length = static_cast<DWORD>(child.size());
            if (RegEnumKeyExA(key.get(), 0, child.data(), &length, nullptr, nullptr, nullptr,
                              nullptr) != ERROR_SUCCESS) {
                break;
            }
            if (!DeleteRegistryTree(root, subkey + "\\" + std::string(child.data(), length))) {
                return false;
            }
        }
    }
    RegDeleteKeyA(root, subkey.c_str());
    return !RegistryKeyExists(root, subkey);
}

bool DeleteRegistryValue(HKEY root, const std::string& subkey, const std::string& name) {
    UniqueRegKey key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_WRITE, key.put()) != ERROR_SUCCESS) {
        return !ReadRegistryValue(root, subkey, name).has_value();
    }
    LONG result = RegDeleteValueA(key.get(), name.c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

namespace {

bool SetRaw(HKEY root, const std::string& subkey, const std::string& name, const BYTE* data,
            DWORD size) {
    UniqueRegKey key;
    if (RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    return RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, data, size) == ERROR_SUCCESS;
}

}  // namespace

bool WriteRegistryString(HKEY root, const std::string& subkey, const std::string& name,
                         const std::string& text) {
    return SetRaw(root, subkey, name, reinterpret_cast<const BYTE*>(text.c_str()),
                  static_cast<DWORD>(text.size() + 1));
}

bool WriteUnterminatedRegistryString(HKEY root, const std::string& subkey, const std::string& name,
                                     const std::string& text) {
    // The system counts in a terminator left out of the size when the next byte is zero: make
    // sure it is not.
    std::string buffer = text + "X";
    return SetRaw(root, subkey, name, reinterpret_cast<const BYTE*>(buffer.c_str()),
                  static_cast<DWORD>(text.size()));
}

namespace {

std::atomic<RegSetValueRecorder*> g_recorder{nullptr};

using RegSetValueExAFunction = LSTATUS(WINAPI*)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);

// The system's own function, whatever the import table points at.
RegSetValueExAFunction RealRegSetValueExA() {
    static const auto real = reinterpret_cast<RegSetValueExAFunction>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("advapi32.dll"), "RegSetValueExA")));
    return real;
}

// Full path of an open key as the kernel names it, lower case; empty when it cannot be had.
std::string KeyPathOf(HKEY key) {
    using NtQueryKeyFunction = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    constexpr int kKeyNameInformation = 3;
    FARPROC proc = GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryKey");
    if (proc == nullptr) return {};
    auto query = reinterpret_cast<NtQueryKeyFunction>(reinterpret_cast<void (*)()>(proc));
    // KEY_NAME_INFORMATION: a byte length, then the name in UTF-16 without terminator.
    std::vector<unsigned char> buffer(4096);
    ULONG written = 0;
    if (query(key, kKeyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
              &written) < 0) {
        return {};
    }
    ULONG nameBytes = 0;
    std::memcpy(&nameBytes, buffer.data(), sizeof(nameBytes));
    std::wstring wide(nameBytes / sizeof(wchar_t), L'\0');
    std::memcpy(wide.data(), buffer.data() + sizeof(ULONG), wide.size() * sizeof(wchar_t));
    std::string path = WideToAnsi(wide);
    for (char& c : path) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return path;
}

}  // namespace

RegSetValueRecorder::RegSetValueRecorder() {
    RealRegSetValueExA();
    g_recorder = this;
    hook_ = std::make_unique<ImportHook>("advapi32.dll", "RegSetValueExA",
                                         reinterpret_cast<void*>(&RegSetValueRecorder::Record));
}

RegSetValueRecorder::~RegSetValueRecorder() {
    hook_.reset();
    g_recorder = nullptr;
}

std::vector<RecordedValueWrite> RegSetValueRecorder::Writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

LSTATUS WINAPI RegSetValueRecorder::Record(HKEY key, LPCSTR name, DWORD reserved, DWORD type,
                                           const BYTE* data, DWORD size) {
    RegSetValueRecorder* recorder = g_recorder;
    if (recorder != nullptr) {
        RecordedValueWrite write{KeyPathOf(key), name != nullptr ? name : "", type, {}};
        if (data != nullptr) write.data.assign(data, data + size);
        std::lock_guard lock(recorder->mutex_);
        recorder->writes_.push_back(std::move(write));
    }
    return RealRegSetValueExA()(key, name, reserved, type, data, size);
}

}  // namespace wt
