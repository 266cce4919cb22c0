#pragma once
// The owners of every kind of Windows resource the library takes.

#include "frame/UniqueResource.h"

#include <windows.h>
#include <msi.h>
#include <lm.h>
#include <oleauto.h>
#include <objbase.h>

#include <string_view>
#include <utility>

namespace ih {

namespace traits {
struct KernelHandle { // processes, threads, events, mutexes
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};
struct FileHandle { // CreateFileW answers INVALID_HANDLE_VALUE, not null
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};
struct FindHandle {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::FindClose(h); }
};
struct RegistryKey {
    using Type = HKEY;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::RegCloseKey(h); }
};
struct ServiceHandle {
    using Type = SC_HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::CloseServiceHandle(h); }
};
struct MsiHandle {
    using Type = MSIHANDLE;
    static Type Invalid() noexcept { return 0; }
    static void Close(Type h) noexcept { ::MsiCloseHandle(h); }
};
struct Library {
    using Type = HMODULE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::FreeLibrary(h); }
};
struct LocalMemory {
    using Type = HLOCAL;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::LocalFree(h); }
};
struct NetApiBuffer {
    using Type = void*;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::NetApiBufferFree(h); }
};
struct CoTaskMemory {
    using Type = void*;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::CoTaskMemFree(h); }
};
struct Bstr {
    using Type = BSTR;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::SysFreeString(h); }
};
} // namespace traits

using UniqueHandle = UniqueResource<traits::KernelHandle>;
using UniqueFileHandle = UniqueResource<traits::FileHandle>;
using UniqueFindHandle = UniqueResource<traits::FindHandle>;
using UniqueServiceHandle = UniqueResource<traits::ServiceHandle>;
using UniqueMsiHandle = UniqueResource<traits::MsiHandle>;
using UniqueLibrary = UniqueResource<traits::Library>;
using UniqueLocalMemory = UniqueResource<traits::LocalMemory>;
using UniqueNetApiBuffer = UniqueResource<traits::NetApiBuffer>;
using UniqueCoTaskMemory = UniqueResource<traits::CoTaskMemory>;
using UniqueBstr = UniqueResource<traits::Bstr>;

// COM and WMI take their names and texts as BSTRs. Null when the text could
// not be allocated.
inline UniqueBstr MakeBstr(std::wstring_view text) {
    return UniqueBstr(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// A VARIANT that borrows a BSTR the caller owns; nothing to clear.
inline VARIANT BorrowedText(const UniqueBstr& text) noexcept {
    VARIANT value;
    ::VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = text.get();
    return value;
}

// A COM interface pointer that calls Release once.
template <typename Interface>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) reset(std::exchange(other.pointer_, nullptr));
        return *this;
    }
    ~ComPtr() { reset(); }

    Interface* get() const noexcept { return pointer_; }
    Interface* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }

    void reset(Interface* pointer = nullptr) noexcept {
        Interface* old = std::exchange(pointer_, pointer);
        if (old) old->Release();
    }
    Interface** put() noexcept {
        reset();
        return &pointer_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

private:
    Interface* pointer_ = nullptr;
};

// COM initialised for the length of one call, uninitialised only if it succeeded.
class ComApartment {
public:
    explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) noexcept
        : result_(::CoInitializeEx(nullptr, model)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }
    HRESULT Result() const noexcept { return result_; }

private:
    HRESULT result_;
};

} // namespace ih
