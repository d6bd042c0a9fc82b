// Small owners for Win32 handles: each releases what it holds on every path.
// Non-copyable; movable where a function hands one back.
#pragma once
#include <windows.h>
#include <objbase.h>

template <typename Traits>
class CScopedHandleT {
public:
    typedef typename Traits::Type Type;
    CScopedHandleT() : m_h(Traits::Invalid()) {}
    explicit CScopedHandleT(Type h) : m_h(h) {}
    ~CScopedHandleT() { Reset(); }
    CScopedHandleT(CScopedHandleT&& other) noexcept : m_h(other.Detach()) {}
    CScopedHandleT& operator=(CScopedHandleT&& other) noexcept {
        if (this != &other) Reset(other.Detach());
        return *this;
    }
    CScopedHandleT(const CScopedHandleT&) = delete;
    CScopedHandleT& operator=(const CScopedHandleT&) = delete;

    Type Get() const { return m_h; }
    Type* Receive() { Reset(); return &m_h; }
    bool IsValid() const { return m_h != Traits::Invalid(); }
    explicit operator bool() const { return IsValid(); }
    Type Detach() { Type h = m_h; m_h = Traits::Invalid(); return h; }
    void Reset(Type h = Traits::Invalid()) {
        if (m_h != Traits::Invalid()) Traits::Close(m_h);
        m_h = h;
    }

private:
    Type m_h;
};

struct HandleTraits {  // process, thread, event and pipe handles
    typedef HANDLE Type;
    static HANDLE Invalid() { return NULL; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFile reports failure as INVALID_HANDLE_VALUE
    typedef HANDLE Type;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct FindHandleTraits {  // FindFirstFile's search, ended with FindClose
    typedef HANDLE Type;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::FindClose(h); }
};
struct RegKeyTraits {
    typedef HKEY Type;
    static HKEY Invalid() { return NULL; }
    static void Close(HKEY h) { ::RegCloseKey(h); }
};
struct IconTraits {
    typedef HICON Type;
    static HICON Invalid() { return NULL; }
    static void Close(HICON h) { ::DestroyIcon(h); }
};
struct GdiObjectTraits {
    typedef HGDIOBJ Type;
    static HGDIOBJ Invalid() { return NULL; }
    static void Close(HGDIOBJ h) { ::DeleteObject(h); }
};

typedef CScopedHandleT<HandleTraits> CScopedHandle;
typedef CScopedHandleT<FileHandleTraits> CScopedFile;
typedef CScopedHandleT<FindHandleTraits> CScopedFind;
typedef CScopedHandleT<RegKeyTraits> CScopedRegKey;
typedef CScopedHandleT<IconTraits> CScopedIcon;
typedef CScopedHandleT<GdiObjectTraits> CScopedGdiObject;

// A window's device context from GetDC, released to the same window.
class CScopedGetDC {
public:
    explicit CScopedGetDC(HWND hwnd) : m_hwnd(hwnd), m_hdc(::GetDC(hwnd)) {}
    ~CScopedGetDC() { if (m_hdc) ::ReleaseDC(m_hwnd, m_hdc); }
    CScopedGetDC(const CScopedGetDC&) = delete;
    CScopedGetDC& operator=(const CScopedGetDC&) = delete;
    HDC Get() const { return m_hdc; }
private:
    HWND m_hwnd;
    HDC m_hdc;
};

// A critical section that lives exactly as long as its owner.
class CCriticalSection {
public:
    CCriticalSection() { ::InitializeCriticalSection(&m_cs); }
    ~CCriticalSection() { ::DeleteCriticalSection(&m_cs); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;
    void Lock() { ::EnterCriticalSection(&m_cs); }
    void Unlock() { ::LeaveCriticalSection(&m_cs); }
private:
    CRITICAL_SECTION m_cs;
};

class CLockGuard {
public:
    explicit CLockGuard(CCriticalSection& cs) : m_cs(cs) { m_cs.Lock(); }
    ~CLockGuard() { m_cs.Unlock(); }
    CLockGuard(const CLockGuard&) = delete;
    CLockGuard& operator=(const CLockGuard&) = delete;
private:
    CCriticalSection& m_cs;
};

// COM on the calling thread, for the common file dialog.
class CScopedCoInit {
public:
    CScopedCoInit() : m_hr(::CoInitializeEx(NULL, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~CScopedCoInit() { if (SUCCEEDED(m_hr)) ::CoUninitialize(); }
    CScopedCoInit(const CScopedCoInit&) = delete;
    CScopedCoInit& operator=(const CScopedCoInit&) = delete;
    HRESULT Result() const { return m_hr; }
private:
    HRESULT m_hr;
};

// A COM interface pointer released on scope exit.
template <typename T>
class CComPtrLite {
public:
    CComPtrLite() : m_p(NULL) {}
    ~CComPtrLite() { if (m_p) m_p->Release(); }
    CComPtrLite(const CComPtrLite&) = delete;
    CComPtrLite& operator=(const CComPtrLite&) = delete;
    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }
    T** Receive() { if (m_p) { m_p->Release(); m_p = NULL; } return &m_p; }
private:
    T* m_p;
};
