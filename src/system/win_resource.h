// Owners for Windows resources: one small movable, non-copyable owner per kind, so that every
// handle, key, COM initialisation and shell allocation is released on every path.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shtypes.h>

#include <utility>

template <typename Traits>
class UniqueResource {
  public:
    using Type = typename Traits::Type;

    UniqueResource() = default;
    explicit UniqueResource(Type value) : value_(value) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueResource() { reset(); }

    Type get() const { return value_; }
    explicit operator bool() const { return value_ != Traits::Invalid(); }
    Type release() { return std::exchange(value_, Traits::Invalid()); }
    // Frees the current value; the last-error value survives, so callers can still read it.
    void reset(Type value = Traits::Invalid()) {
        Type old = std::exchange(value_, value);
        if (old != Traits::Invalid()) {
            DWORD error = GetLastError();
            Traits::Close(old);
            SetLastError(error);
        }
    }
    // Frees the current value and hands out the address for an out-parameter.
    Type* put() {
        reset();
        return &value_;
    }

  private:
    Type value_ = Traits::Invalid();
};

struct NullHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { CloseHandle(h); }
};
struct InvalidHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { CloseHandle(h); }
};
struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { RegCloseKey(h); }
};
struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { FindClose(h); }
};
struct ItemIdListTraits {
    using Type = ITEMIDLIST*;
    static Type Invalid() { return nullptr; }
    static void Close(Type list) { CoTaskMemFree(list); }
};

// Handles whose failure value is NULL (CreateMutexA, OpenProcess, CreateThread, ...).
using UniqueHandle = UniqueResource<NullHandleTraits>;
// Handles whose failure value is INVALID_HANDLE_VALUE (CreateFileA, CreateToolhelp32Snapshot).
using UniqueFileHandle = UniqueResource<InvalidHandleTraits>;
using UniqueRegKey = UniqueResource<RegKeyTraits>;
using UniqueFindHandle = UniqueResource<FindHandleTraits>;
// A shell item id list (a PIDL) that the shell allocated for the caller: SHBrowseForFolderA,
// SHGetSpecialFolderLocation. Freed with the shell's allocator, CoTaskMemFree.
using UniqueItemIdList = UniqueResource<ItemIdListTraits>;

// COM on the calling thread for the owner's lifetime. S_OK and S_FALSE (already initialised)
// both count as success, and only a successful call is undone, so a thread's COM state is left
// as it was found.
class ScopedComInitialize {
  public:
    ScopedComInitialize() : hr_(CoInitialize(nullptr)) {}
    ScopedComInitialize(const ScopedComInitialize&) = delete;
    ScopedComInitialize& operator=(const ScopedComInitialize&) = delete;
    ~ScopedComInitialize() {
        if (Succeeded()) CoUninitialize();
    }
    bool Succeeded() const { return SUCCEEDED(hr_); }
    HRESULT result() const { return hr_; }

  private:
    HRESULT hr_;
};
