// What the playback engine and the reader thread of a message call on the
// window that shows the playback (the player dialog, or a test double).
#pragma once
#include <windows.h>

class CPlaybackListener {
public:
    virtual ~CPlaybackListener() {}
    // Window that receives IVR_PLAYER_STEP, one per 20 ms refill carrying data.
    virtual HWND GetStepWindow() = 0;
    // Last act of the reader thread of a playback that ended by the end of
    // the data or by a stop request; called on the reader thread.
    virtual void SetStopped() = 0;
    // The reader thread has moved to the position a seek asked for.
    virtual void ClearSeekPending() = 0;
};
