// Wave output engine: plays the 16-bit PCM that the reader thread puts into its
// ring buffer through the waveOut device, whose waveOutThread (CWaveOutThread)
// refills sixteen wave buffers with at most 20 ms each.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <atomic>

#include "playback/CRingBuffer.h"
#include "playback/CWaveOutThread.h"

class CPlaybackListener;

const DWORD RING_BUFFER_SIZE = 0x10001;  // 65537 bytes

class CVoicePlay {
public:
    CVoicePlay();
    virtual ~CVoicePlay();
    CVoicePlay(const CVoicePlay&) = delete;
    CVoicePlay& operator=(const CVoicePlay&) = delete;

    // Opens the device (paused from the start when asked), or resumes a paused
    // one. Play and Stop are called by one controlling thread at a time and
    // wait for waveOutThread however long a driver call keeps it.
    bool Play(DWORD samplesPerSec, bool paused = false);
    bool Stop();
    // Called by any thread, each waits at most CALL_TIMEOUT_MS: a request that
    // waveOutThread has not taken by then stays queued and counts as done.
    bool Pause();
    bool Resume();  // false without an open device
    bool SetVolume(DWORD level);  // 0 .. 255
    DWORD GetVolume();

    bool IsOpen() const { return output_.IsOpen(); }
    bool IsPaused() const { return output_.IsPaused(); }
    bool HasFailed() const { return output_.HasFailed(); }
    // True once the ring buffer is empty and the device has handed back every
    // buffer that carried sound: all that was written has been played.
    bool IsPlayedOut();
    bool IsDrained();  // the ring buffer is empty
    // Set whenever the two above, or HasFailed, may have become true.
    HANDLE GetProgressEvent() const { return output_.GetProgressEvent(); }

    CRingBuffer* GetRingBuffer() { return &ring_; }
    // The window of the notify object receives the steps; taken here, so that
    // no other thread calls the object.
    void SetNotify(CPlaybackListener* notify);
    HWAVEOUT GetDevice() const { return output_.GetDevice(); }
    HWAVEOUT GetUnclosedDevice() const { return output_.GetUnclosedDevice(); }
    DWORD GetThreadId() const { return output_.GetThreadId(); }  // the current or last waveOutThread
    LONG GetHeldBuffers() const { return output_.GetHeldBuffers(); }

private:
    CRingBuffer ring_;
    CWaveOutThread output_;
    std::atomic<DWORD> volume_;      // written by the thread that sets the volume
    std::atomic<HWND> stepWindow_;   // set by the owner before playing
};
