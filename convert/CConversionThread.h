// The thread that converts one greeting, so that the interface stays
// responsive. The interface thread starts it, may cancel it, and waits on its
// handle; the thread tells a window of its progress and of its end by posted
// messages.
#pragma once
#include <windows.h>

#include <atomic>

#include "app/ScopedWin.h"
#include "app/TextSize.h"

// wParam: per mille of the source converted.
const UINT WM_CONVERSION_PROGRESS = WM_APP + 390;
// The conversion has ended; its result is ready.
const UINT WM_CONVERSION_ENDED = WM_APP + 391;

class CConversionThread {
public:
    CConversionThread(const char* source, const char* target, WORD targetTag);
    // Cancels a conversion still running and waits for it: nothing it uses
    // may go while it runs.
    virtual ~CConversionThread();
    CConversionThread(const CConversionThread&) = delete;
    CConversionThread& operator=(const CConversionThread&) = delete;

    bool Start();
    void Cancel() { cancel_.store(true); }
    // The window that hears of progress and the end; null for none. When the
    // thread has already ended, nothing is posted: the caller looks at Ended.
    void SetNotifyWindow(HWND window) { notify_.store(window); }
    HANDLE GetHandle() const { return thread_.Get(); }
    bool Ended() const;
    // 0, ERROR_CANCELLED or the code of what failed; valid once it has ended.
    DWORD GetResult() const { return result_; }

private:
    static unsigned __stdcall ThreadMain(void* self);
    void Run();

    char source_[TEXT_SIZE];
    char target_[TEXT_SIZE];
    WORD tag_;
    ScopedHandle thread_;
    std::atomic<bool> cancel_;    // written by the interface thread
    std::atomic<HWND> notify_;    // written by the interface thread
    DWORD result_;                // written by the conversion thread before it ends
};
