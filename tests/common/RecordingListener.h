// A stand-in for the player window in engine and playback tests: a
// message-only window on the creating thread counts IVR_PLAYER_STEP, and the
// reader thread's calls are counted as they come.
#pragma once
#include <windows.h>

#include "playback/CPlaybackListener.h"

class RecordingListener : public CPlaybackListener {
public:
    RecordingListener();
    ~RecordingListener() override;
    RecordingListener(const RecordingListener&) = delete;
    RecordingListener& operator=(const RecordingListener&) = delete;

    HWND GetStepWindow() override { return window_; }
    void SetStopped() override;
    void ClearSeekPending() override;

    // As the player dialog does, SetStopped may also post a message to the
    // window, which counts it when this thread handles it (StoppedMessages).
    void PostOnStopped(bool post) { postOnStopped_ = post; }

    LONG Steps() const { return steps_; }
    LONG Stopped() const { return stopped_; }
    LONG SeekCleared() const { return seekCleared_; }
    LONG StoppedMessages() const { return stoppedMessages_; }
    DWORD StoppedThread() const { return stoppedThread_; }
    void ResetSteps() { steps_ = 0; }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_;
    volatile LONG steps_;
    volatile LONG stopped_;
    volatile LONG seekCleared_;
    volatile LONG stoppedMessages_;
    volatile DWORD stoppedThread_;
    volatile bool postOnStopped_;
};
