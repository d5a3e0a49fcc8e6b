// COM helpers: initialisation for the life of a scope, an owning interface
// pointer and an owned system string (BSTR).
//
//   CComInit com;                                // CoInitializeEx ... CoUninitialize
//   fw::ComPtr<IShellLinkW> link;
//   if (SUCCEEDED(link.CoCreateInstance(CLSID_ShellLink))) {
//       fw::ComPtr<IPersistFile> file;
//       link.As(file);
//   }
//   CBstr text(L"abc");                          // SysAllocString ... SysFreeString
//   PostMessage(hwnd, WM_X, (WPARAM)text.Detach(), 0);   // the receiver frees it
#pragma once

#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <oleauto.h>
#include <unknwn.h>

#include <string>
#include <string_view>
#include <utility>

// COM initialisation of the calling thread for the life of the object. When it
// failed (for example because the thread is already in another apartment),
// nothing is undone at the end.
class CComInit {
public:
    explicit CComInit(DWORD coInit = COINIT_APARTMENTTHREADED) : m_hr(CoInitializeEx(nullptr, coInit)) {}
    ~CComInit() {
        if (SUCCEEDED(m_hr)) CoUninitialize();
    }
    CComInit(const CComInit&) = delete;
    CComInit& operator=(const CComInit&) = delete;
    HRESULT Result() const { return m_hr; }
    bool Succeeded() const { return SUCCEEDED(m_hr); }

private:
    HRESULT m_hr;
};

// OLE initialisation (COM plus drag and drop and the clipboard) for the life of the object.
class COleInit {
public:
    COleInit() : m_hr(OleInitialize(nullptr)) {}
    ~COleInit() {
        if (SUCCEEDED(m_hr)) OleUninitialize();
    }
    COleInit(const COleInit&) = delete;
    COleInit& operator=(const COleInit&) = delete;
    HRESULT Result() const { return m_hr; }
    bool Succeeded() const { return SUCCEEDED(m_hr); }

private:
    HRESULT m_hr;
};

namespace fw {

// An owning interface pointer: AddRef on copy, Release on destruction.
template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference to p.
    explicit ComPtr(T* p) noexcept : m_p(p) {
        if (m_p) m_p->AddRef();
    }
    ComPtr(const ComPtr& other) noexcept : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ~ComPtr() { Reset(); }
    ComPtr& operator=(const ComPtr& other) noexcept {
        if (m_p != other.m_p) {
            T* old = m_p;
            m_p = other.m_p;
            if (m_p) m_p->AddRef();
            if (old) old->Release();
        }
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) noexcept {
        Reset();
        return *this;
    }

    T* Get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }

    // For out-parameters: releases what is held, then gives the slot.
    T** ReleaseAndGetAddressOf() noexcept {
        Reset();
        return &m_p;
    }
    T** GetAddressOf() noexcept { return &m_p; }

    // Takes over a reference without AddRef / gives it up without Release.
    void Attach(T* p) noexcept {
        Reset();
        m_p = p;
    }
    T* Detach() noexcept { return std::exchange(m_p, nullptr); }
    void Reset() noexcept {
        if (T* p = std::exchange(m_p, nullptr)) p->Release();
    }

    // A new reference for the caller.
    HRESULT CopyTo(T** out) const noexcept {
        if (!out) return E_POINTER;
        *out = m_p;
        if (m_p) m_p->AddRef();
        return S_OK;
    }

    // QueryInterface with the interface id given (for interfaces whose id the
    // compiler does not know) or taken from the type.
    template <class U>
    HRESULT As(REFIID iid, ComPtr<U>& out) const noexcept {
        if (!m_p) return E_POINTER;
        return m_p->QueryInterface(iid, reinterpret_cast<void**>(out.ReleaseAndGetAddressOf()));
    }
    template <class U>
    HRESULT As(ComPtr<U>& out) const noexcept {
        return As(__uuidof(U), out);
    }

    HRESULT CoCreateInstance(REFCLSID clsid, REFIID iid, DWORD context = CLSCTX_INPROC_SERVER) noexcept {
        return ::CoCreateInstance(clsid, nullptr, context, iid, reinterpret_cast<void**>(ReleaseAndGetAddressOf()));
    }
    HRESULT CoCreateInstance(REFCLSID clsid, DWORD context = CLSCTX_INPROC_SERVER) noexcept {
        return CoCreateInstance(clsid, __uuidof(T), context);
    }

    friend bool operator==(const ComPtr& a, const ComPtr& b) noexcept { return a.m_p == b.m_p; }
    friend bool operator==(const ComPtr& a, std::nullptr_t) noexcept { return a.m_p == nullptr; }

private:
    T* m_p = nullptr;
};

}  // namespace fw

// An owned BSTR: SysAllocString on construction, SysFreeString on destruction.
// A null BSTR counts as the empty string, as everywhere in COM.
class CBstr {
public:
    CBstr() noexcept = default;
    explicit CBstr(const wchar_t* text) : m_str(text ? SysAllocString(text) : nullptr) {}
    explicit CBstr(std::wstring_view text) : m_str(Alloc(text)) {}
    CBstr(const CBstr& other) : m_str(other.m_str ? SysAllocStringLen(other.m_str, other.Length()) : nullptr) {}
    CBstr(CBstr&& other) noexcept : m_str(std::exchange(other.m_str, nullptr)) {}
    ~CBstr() { Free(); }
    CBstr& operator=(const CBstr& other) {
        if (this != &other) {
            BSTR copy = other.m_str ? SysAllocStringLen(other.m_str, other.Length()) : nullptr;
            Free();
            m_str = copy;
        }
        return *this;
    }
    CBstr& operator=(CBstr&& other) noexcept {
        if (this != &other) {
            Free();
            m_str = std::exchange(other.m_str, nullptr);
        }
        return *this;
    }

    // Allocation of a copy of the text; null only when memory ran out.
    static BSTR Alloc(std::wstring_view text) {
        return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }

    BSTR Get() const noexcept { return m_str; }
    operator BSTR() const noexcept { return m_str; }
    // For out-parameters: frees what is held, then gives the slot.
    BSTR* GetAddress() noexcept {
        Free();
        return &m_str;
    }
    void Attach(BSTR s) noexcept {
        if (s != m_str) Free();
        m_str = s;
    }
    BSTR Detach() noexcept { return std::exchange(m_str, nullptr); }
    void Free() noexcept {
        if (m_str) SysFreeString(m_str);
        m_str = nullptr;
    }

    UINT Length() const noexcept { return m_str ? SysStringLen(m_str) : 0; }
    bool IsEmpty() const noexcept { return Length() == 0; }
    std::wstring ToString() const { return m_str ? std::wstring(m_str, SysStringLen(m_str)) : std::wstring(); }

private:
    BSTR m_str = nullptr;
};
