// waveOutThread: the one thread that calls waveOut*. It opens the device, owns
// the handle and the wave buffers, refills each finished buffer with at most
// 20 ms from the ring buffer, and carries out pause, resume and volume for the
// other threads. One object serves every opening; each opening starts a new
// thread and its closing ends it.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <atomic>

#include "app/ScopedWin.h"

class CRingBuffer;

const int WAVE_BUFFER_COUNT = 16;
const DWORD WAVE_BLOCK_SIZE = 4096;
const DWORD REFILL_BYTES = 320;  // 20 ms of 8000 Hz 16-bit mono
const DWORD PRIMING_BYTES = 512;
// Unit of the wave buffers waiting in waveOutThread for sound (see Park).
const DWORD PARKED_POLL_MS = 10;

struct WaveCommand;

// What Pause, Resume and the volume answer when waveOutThread has not taken
// the request within CALL_TIMEOUT_MS (a driver call holds it): the request
// stays queued and is carried out when the thread gets to it.
const MMRESULT WAVE_REQUEST_PENDING = MMSYSERR_LASTERROR + 1;
const DWORD CALL_TIMEOUT_MS = 400;

class CWaveOutThread {
public:
    explicit CWaveOutThread(CRingBuffer* ring);
    ~CWaveOutThread();
    CWaveOutThread(const CWaveOutThread&) = delete;
    CWaveOutThread& operator=(const CWaveOutThread&) = delete;

    // Open and Close are called by one controlling thread (the reader of a
    // playback), which waits for waveOutThread however long a driver call
    // keeps it. A device that would not close is kept and closed again before
    // the next opening (or by the destructor); until then no opening succeeds.
    bool Open(const WAVEFORMATEX& format, DWORD volume, bool paused, HWND stepWindow);
    bool Close();  // false when the device would not close
    // Called by any thread: each waits at most CALL_TIMEOUT_MS for the answer,
    // then answers WAVE_REQUEST_PENDING and leaves the request queued.
    MMRESULT Pause();
    MMRESULT Resume();
    MMRESULT SetVolume(DWORD value);
    MMRESULT GetVolume(DWORD* value);

    // Read by any thread.
    bool IsOpen() const { return device_.load() != nullptr; }
    bool IsPaused() const { return paused_; }
    bool HasFailed() const { return failed_; }
    LONG GetHeldBuffers() const { return held_; }
    HWAVEOUT GetDevice() const { return device_; }
    HWAVEOUT GetUnclosedDevice() const { return unclosed_; }  // a device that would not close
    DWORD GetThreadId() const { return threadId_; }
    // Set when a read has emptied the ring buffer, when the device may have
    // played out all it held, and when it failed or closed.
    HANDLE GetProgressEvent() const { return progress_.Get(); }

private:
    static DWORD WINAPI ThreadMain(void* param);
    void Run();
    MMRESULT OpenDevice();
    void CloseDevice();
    bool ReleaseDevice(HWAVEOUT device);
    void OnCommand(WaveCommand* command);
    void OnBufferDone(WAVEHDR* buffer);
    bool HandBack(WAVEHDR* buffer);
    bool Fill(WAVEHDR* buffer);
    MMRESULT Write(WAVEHDR* buffer);
    bool TakeQueued(WAVEHDR* buffer);
    void Park(WAVEHDR* buffer);
    void RefillParked();
    void UpdateParkTimer();
    MMRESULT ResumeDevice();
    MMRESULT Call(int operation, DWORD value, DWORD* answer);
    void Answer(WaveCommand* command);

    CRingBuffer* ring_;
    ScopedHandle progress_;
    // Written by the controlling thread (Open, Close) while no waveOutThread runs.
    ScopedHandle thread_;
    std::atomic<DWORD> threadId_;
    WAVEFORMATEX format_;
    DWORD volume_;
    bool startPaused_;
    HWND stepWindow_;
    ScopedHandle opened_;     // set by waveOutThread when its opening has been tried
    MMRESULT openResult_;     // written by waveOutThread before it sets opened_
    // Written by waveOutThread only.
    std::atomic<HWAVEOUT> device_;
    std::atomic<bool> paused_;
    std::atomic<bool> failed_;       // a buffer could not be written: the device is lost
    std::atomic<bool> closeFailed_;  // the last closing left the device open
    // Requests posted (by their askers) and answered (by waveOutThread): while
    // an older one is unanswered the thread is held, and nobody waits again.
    std::atomic<LONG> posted_;
    std::atomic<LONG> answered_;
    std::atomic<LONG> held_;         // buffers with sound that the device holds or that are on their way
    // A device whose reset, unprepare or close failed: kept so that it is
    // closed before the buffers are prepared for another one. Written by
    // waveOutThread, and by the destructor once no thread runs.
    std::atomic<HWAVEOUT> unclosed_;
    // waveOutThread only: the buffers the device holds, in the order written,
    // and those waiting for sound, in the order they came back.
    WAVEHDR buffers_[WAVE_BUFFER_COUNT];
    char blocks_[WAVE_BUFFER_COUNT][WAVE_BLOCK_SIZE];
    WAVEHDR* queued_[WAVE_BUFFER_COUNT];
    int queuedCount_;
    WAVEHDR* parked_[WAVE_BUFFER_COUNT];
    int parkedCount_;
    UINT_PTR parkTimer_;
};
