// Replacing one function that this test program imports from a system DLL, for the life of the
// hook: a test can record what the code under test handed to the system, or make one system call
// fail, while every other call (and the real function, through Original) stays the real thing.
#pragma once

#include <vector>

namespace wt {

class ImportHook {
  public:
    // Points every import of `function` from `dll` (case-insensitive name, e.g. "advapi32.dll")
    // in this program's import table at `replacement`. Installed() tells whether one was found.
    ImportHook(const char* dll, const char* function, void* replacement);
    ~ImportHook();
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;

    bool Installed() const { return !slots_.empty(); }

    // The real function, for the replacement to call on.
    template <typename Function>
    Function Original() const {
        return reinterpret_cast<Function>(original_);
    }

  private:
    std::vector<void**> slots_;
    void* original_ = nullptr;
};

}  // namespace wt
