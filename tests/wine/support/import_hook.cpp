#include "import_hook.h"

#include <windows.h>

#include <cstring>

namespace wt {

namespace {

void WriteSlot(void** slot, void* value) {
    DWORD oldProtection = 0;
    VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &oldProtection);
    *slot = value;
    VirtualProtect(slot, sizeof(void*), oldProtection, &oldProtection);
}

}  // namespace

ImportHook::ImportHook(const char* dll, const char* function, void* replacement) {
    auto* base = reinterpret_cast<unsigned char*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) return;
    for (auto* descriptor =
             reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         descriptor->Name != 0; ++descriptor) {
        if (_stricmp(reinterpret_cast<const char*>(base + descriptor->Name), dll) != 0) continue;
        if (descriptor->OriginalFirstThunk == 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
        auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++addresses) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
            auto** slot = reinterpret_cast<void**>(&addresses->u1.Function);
            original_ = *slot;
            WriteSlot(slot, replacement);
            slots_.push_back(slot);
        }
    }
}

ImportHook::~ImportHook() {
    for (void** slot : slots_) WriteSlot(slot, original_);
}

}  // namespace wt
