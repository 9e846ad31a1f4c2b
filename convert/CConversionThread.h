// The thread that converts one greeting, so that the interface stays
// responsive. The interface thread starts it, may cancel it, and waits on its
// handle; the thread tells a window of its progress and of its end by posted
// messages.
#pragma once
#include <windows.h>

#include <atomic>

#include "app/ScopedWin.h"
#include "app/TextSize.h"
#include "convert/CGreetingFix.h"

// wParam: per mille of the source converted.
const UINT WM_CONVERSION_PROGRESS = WM_APP + 390;
// The conversion has ended; its result is ready.
const UINT WM_CONVERSION_ENDED = WM_APP + 391;

class CConversionThread {
public:
    // fix: the fix of the greeting; null for none.
    CConversionThread(const char* source, const char* target, WORD targetTag,
                      const GreetingFixChoice* fix = nullptr);
    // Cancels a conversion still running and waits for it: nothing it uses
    // may go while it runs.
    virtual ~CConversionThread();
    CConversionThread(const CConversionThread&) = delete;
    CConversionThread& operator=(const CConversionThread&) = delete;

    bool Start();
    void Cancel() { cancel_.store(true); }
    // The window that hears of progress and the end; null for none. A window
    // set after the thread has told its end hears nothing: the caller sets
    // the window first, then looks at Ended, and one of the two sees the end.
    void SetNotifyWindow(HWND window) { notify_.store(window); }
    HANDLE GetHandle() const { return thread_.Get(); }
    // True from the moment the result is ready, before the thread has exited.
    bool Ended() const { return !thread_.IsValid() || done_.load(); }
    // 0, ERROR_CANCELLED or the code of what failed; valid once it has ended.
    DWORD GetResult() const { return result_; }

protected:
    // The thread's last step: marks the end, then tells the window, if any.
    // A class that extends it waits for the thread in its own destructor.
    virtual void TellEnded();

private:
    static unsigned __stdcall ThreadMain(void* self);
    void Run();

    char source_[TEXT_SIZE];
    char target_[TEXT_SIZE];
    WORD tag_;
    GreetingFixChoice fix_;  // neither part on for none
    ScopedHandle thread_;
    std::atomic<bool> cancel_;    // written by the interface thread
    std::atomic<HWND> notify_;    // written by the interface thread
    DWORD result_;                // written by the conversion thread before done_
    std::atomic<bool> done_;      // written by the conversion thread, before it reads notify_
};
