// Small RAII owners for Win32 handles, locks, GDI objects, global-heap blocks
// and an OLE scope.
#pragma once
#include <windows.h>
#include <ole2.h>

// A kernel handle closed with CloseHandle (files use INVALID_HANDLE_VALUE as "none").
class ScopedHandle {
public:
    explicit ScopedHandle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~ScopedHandle() { Close(); }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    HANDLE Get() const { return h_; }
    bool IsValid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    // Gives up ownership.
    HANDLE Detach()
    {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h;
    }
    void Reset(HANDLE h = INVALID_HANDLE_VALUE)
    {
        Close();
        h_ = h;
    }
    // Closes now; false when CloseHandle failed (a lost write shows here).
    bool Close()
    {
        bool ok = true;
        if (IsValid())
            ok = CloseHandle(h_) != FALSE;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE h_;
};

// A search of a folder's entries, closed with FindClose.
class ScopedFind {
public:
    explicit ScopedFind(HANDLE find) : find_(find) {}
    ~ScopedFind()
    {
        if (find_ != INVALID_HANDLE_VALUE)
            FindClose(find_);
    }
    ScopedFind(const ScopedFind&) = delete;
    ScopedFind& operator=(const ScopedFind&) = delete;

    HANDLE Get() const { return find_; }

private:
    HANDLE find_;
};

// Holds a critical section for one scope.
class ScopedCritSec {
public:
    explicit ScopedCritSec(CRITICAL_SECTION* cs) : cs_(cs) { EnterCriticalSection(cs_); }
    ~ScopedCritSec() { LeaveCriticalSection(cs_); }
    ScopedCritSec(const ScopedCritSec&) = delete;
    ScopedCritSec& operator=(const ScopedCritSec&) = delete;

private:
    CRITICAL_SECTION* cs_;
};

// BeginPaint / EndPaint.
class ScopedPaintDC {
public:
    explicit ScopedPaintDC(HWND hwnd) : hwnd_(hwnd) { hdc_ = BeginPaint(hwnd_, &ps_); }
    ~ScopedPaintDC() { EndPaint(hwnd_, &ps_); }
    ScopedPaintDC(const ScopedPaintDC&) = delete;
    ScopedPaintDC& operator=(const ScopedPaintDC&) = delete;

    HDC Get() const { return hdc_; }
    PAINTSTRUCT& Paint() { return ps_; }

private:
    HWND hwnd_;
    HDC hdc_;
    PAINTSTRUCT ps_;
};

// A GDI object (brush, pen, font) deleted with DeleteObject.
template <typename T>
class ScopedGdiObj {
public:
    explicit ScopedGdiObj(T obj) : obj_(obj) {}
    ~ScopedGdiObj()
    {
        if (obj_)
            DeleteObject(obj_);
    }
    ScopedGdiObj(const ScopedGdiObj&) = delete;
    ScopedGdiObj& operator=(const ScopedGdiObj&) = delete;

    T Get() const { return obj_; }

private:
    T obj_;
};

// A global-heap block from AllocBlock (CommonServices), freed as FreeBlock does.
class ScopedBlock {
public:
    explicit ScopedBlock(void* block = nullptr) : block_(block) {}
    ~ScopedBlock() { Reset(); }
    ScopedBlock(const ScopedBlock&) = delete;
    ScopedBlock& operator=(const ScopedBlock&) = delete;

    void* Get() const { return block_; }
    template <typename T>
    T* As() const { return static_cast<T*>(block_); }
    explicit operator bool() const { return block_ != nullptr; }
    // Gives up ownership: the block is no longer freed here.
    void* Detach()
    {
        void* block = block_;
        block_ = nullptr;
        return block;
    }
    void Reset(void* block = nullptr)
    {
        if (block_)
            GlobalFree(block_);
        block_ = block;
    }

private:
    void* block_;
};

// OLE initialised on this thread for one scope; uninitialised only when the
// initialisation succeeded (S_FALSE, already initialised, counts and is undone).
class ScopedOle {
public:
    ScopedOle() : result_(OleInitialize(nullptr)) {}
    ~ScopedOle()
    {
        if (SUCCEEDED(result_))
            OleUninitialize();
    }
    ScopedOle(const ScopedOle&) = delete;
    ScopedOle& operator=(const ScopedOle&) = delete;

    HRESULT Result() const { return result_; }

private:
    HRESULT result_;
};
