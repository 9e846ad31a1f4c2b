#include "common/RecordingListener.h"

#include "playback/PlayerStep.h"

namespace {

const char* const LISTENER_CLASS = "OrlentaRecordingListener";
const UINT WM_LISTENER_STOPPED = WM_APP + 1;

} // namespace

RecordingListener::RecordingListener()
    : window_(nullptr), steps_(0), stopped_(0), seekCleared_(0), stoppedMessages_(0), stoppedThread_(0),
      postOnStopped_(false)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = LISTENER_CLASS;
    RegisterClassA(&wc);  // fails harmlessly when already registered
    window_ = CreateWindowExA(0, LISTENER_CLASS, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, (LONG_PTR)this);
}

RecordingListener::~RecordingListener()
{
    if (window_)
        DestroyWindow(window_);
}

void RecordingListener::SetStopped()
{
    stoppedThread_ = GetCurrentThreadId();
    if (postOnStopped_)
        PostMessageA(window_, WM_LISTENER_STOPPED, 0, 0);
    InterlockedIncrement(&stopped_);
}

void RecordingListener::ClearSeekPending() { InterlockedIncrement(&seekCleared_); }

LRESULT CALLBACK RecordingListener::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    RecordingListener* self = (RecordingListener*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    if (self && message == g_uPlayerStepMsg && g_uPlayerStepMsg != 0) {
        InterlockedIncrement(&self->steps_);
        return 0;
    }
    if (self && message == WM_LISTENER_STOPPED) {
        InterlockedIncrement(&self->stoppedMessages_);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
