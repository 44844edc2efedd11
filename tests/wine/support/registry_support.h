// Registry helpers for the Wine tests: reading values back exactly as stored, preparing keys and
// values (also the unterminated strings that older writers leave), and recording what this
// program hands to RegSetValueExA.
#pragma once

#include "import_hook.h"

#include <windows.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace wt {

struct RegistryValue {
    DWORD type = REG_NONE;
    std::vector<unsigned char> data;  // as RegQueryValueExA gives it, exactly `size` bytes
};

// The bytes of `text` followed by its terminating zero, for comparing with stored strings.
std::vector<unsigned char> TerminatedBytes(const std::string& text);

bool RegistryKeyExists(HKEY root, const std::string& subkey);
// nullopt when the key or the value is missing.
std::optional<RegistryValue> ReadRegistryValue(HKEY root, const std::string& subkey,
                                               const std::string& name);
// Names of the values the key holds; empty when the key is missing.
std::vector<std::string> RegistryValueNames(HKEY root, const std::string& subkey);

// Creates the key (and any missing parents); true when it exists afterwards.
bool CreateRegistryKey(HKEY root, const std::string& subkey);
// Removes the key with everything below it; true when it is gone afterwards (or never existed).
bool DeleteRegistryTree(HKEY root, const std::string& subkey);
// Removes one value; true when it is gone afterwards (or never existed).
bool DeleteRegistryValue(HKEY root, const std::string& subkey, const std::string& name);
// Writes a REG_SZ value with its terminator, creating the key when missing.
bool WriteRegistryString(HKEY root, const std::string& subkey, const std::string& name,
                         const std::string& text);
// Writes a REG_SZ value of exactly text.size() bytes and no terminator, as a writer that left the
// terminator out of the size does when the byte after its string is not zero.
bool WriteUnterminatedRegistryString(HKEY root, const std::string& subkey, const std::string& name,
                                     const std::string& text);

// One RegSetValueExA call as this program made it.
struct RecordedValueWrite {
    std::string keyPath;  // full path of the key, lower case, e.g. \registry\machine\software\...
    std::string name;
    DWORD type;
    std::vector<unsigned char> data;  // the `size` bytes that were passed
};

// While it lives, every RegSetValueExA call of this program is recorded and then carried out.
// One recorder at a time.
class RegSetValueRecorder {
  public:
    RegSetValueRecorder();
    ~RegSetValueRecorder();
    RegSetValueRecorder(const RegSetValueRecorder&) = delete;
    RegSetValueRecorder& operator=(const RegSetValueRecorder&) = delete;

    bool Installed() const { return hook_->Installed(); }
    std::vector<RecordedValueWrite> Writes() const;

  private:
    static LSTATUS WINAPI Record(HKEY key, LPCSTR name, DWORD reserved, DWORD type,
                                 const BYTE* data, DWORD size);

    mutable std::mutex mutex_;
    std::vector<RecordedValueWrite> writes_;
    std::unique_ptr<ImportHook> hook_;
};

}  // namespace wt
