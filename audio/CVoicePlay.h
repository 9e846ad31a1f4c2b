// Wave output engine: plays the 16-bit PCM that the reader thread puts into its
// ring buffer through the waveOut device, refilling sixteen wave buffers with at
// most 20 ms each from waveOutThread.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include "audio/CRingBuffer.h"

class CPlaybackListener;

const DWORD RING_BUFFER_SIZE = 0x10001;  // 65537 bytes
const int WAVE_BUFFER_COUNT = 16;
const DWORD WAVE_BLOCK_SIZE = 4096;
const DWORD REFILL_BYTES = 320;          // 20 ms of 8000 Hz 16-bit mono
const DWORD PRIMING_BYTES = 512;

class CVoicePlay {
public:
    CVoicePlay();
    virtual ~CVoicePlay();
    CVoicePlay(const CVoicePlay&) = delete;
    CVoicePlay& operator=(const CVoicePlay&) = delete;

    bool Play(DWORD samplesPerSec);  // fresh start, or resume when paused
    bool Stop();
    bool Pause();
    bool FillBuffer(WAVEHDR* buffer);  // waveOutThread only
    bool IsOpen();
    bool IsPaused();
    bool SetVolume(DWORD level);       // 0 .. 255
    DWORD GetVolume();

    // True once the ring buffer is empty and the device has handed back every
    // buffer that carried sound: all that was written has been played.
    bool IsPlayedOut();
    // False while a waveOutThread that would not end may still use the engine.
    bool CanRelease();

    CRingBuffer* GetRingBuffer() { return &ring_; }
    void SetNotify(CPlaybackListener* notify) { notify_ = notify; }
    HWAVEOUT GetDevice() const { return device_; }
    DWORD GetThreadId() const { return threadId_; }  // the current or last waveOutThread
    LONG GetHeldBuffers() const { return heldBuffers_; }

private:
    static DWORD WINAPI waveOutThread(void* param);
    bool HandBack(HWAVEOUT device, WAVEHDR* buffer);
    void Park(WAVEHDR* buffer);
    void RefillParked(HWAVEOUT device);
    MMRESULT WriteToDevice(HWAVEOUT device, WAVEHDR* buffer);
    void TakenFromDevice(WAVEHDR* buffer);
    MMRESULT Resume();
    MMRESULT OnDevice(int operation, DWORD value, DWORD* answer);
    bool WaitForThreadEnd(DWORD timeoutMs);
    bool CloseDevice();

    CRingBuffer ring_;
    volatile BYTE started_;
    volatile BYTE paused_;
    volatile BYTE threadEnded_;
    HWAVEOUT device_;
    WAVEFORMATEX format_;
    WAVEHDR buffers_[WAVE_BUFFER_COUNT];
    DWORD threadId_;
    DWORD volume_;
    CPlaybackListener* notify_;
    HANDLE thread_;              // the current waveOutThread, or none
    HANDLE queueReady_;          // set by waveOutThread once it owns its message queue
    volatile LONG heldBuffers_;  // wave buffers with sound that the device holds
    // Calls on the device one at a time. Pause, resume and volume, asked for by
    // the interface thread, are carried out by waveOutThread itself (OnDevice):
    // a resume works on the buffers that only that thread keeps track of, and
    // a pause takes effect there before its next refill.
    CRITICAL_SECTION deviceLock_;
    // The buffers the device holds, in the order they were written (under deviceLock_).
    WAVEHDR* queued_[WAVE_BUFFER_COUNT];
    int queuedCount_;
    // Buffers waiting in waveOutThread for sound, in the order they came back,
    // and the thread timer that looks for it (waveOutThread only).
    WAVEHDR* parked_[WAVE_BUFFER_COUNT];
    int parkedCount_;
    UINT_PTR parkTimer_;
};

// Unit of the wave buffers waiting in waveOutThread for sound (see waveOutThread).
const DWORD PARKED_POLL_MS = 10;
