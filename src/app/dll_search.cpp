#include "app/dll_search.h"

#include <windows.h>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace {

template <typename Function>
Function KernelFunction(const char* name) {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

}  // namespace

void RestrictDllSearchPath() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    using SetDllDirectoryAFn = BOOL(WINAPI*)(LPCSTR);
    if (auto setDefault = KernelFunction<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories")) {
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    // An empty string removes the current directory from the search order.
    if (auto setDirectory = KernelFunction<SetDllDirectoryAFn>("SetDllDirectoryA")) {
        setDirectory("");
    }
}
