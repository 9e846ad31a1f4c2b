// The recorder's thread: the only code that calls waveIn*. It opens the chosen
// input device and keeps it running while the recorder's window is open, so
// that the level meter moves while the operator waits to record; on request
// it writes what it hears into the take (a temporary file), and it saves the
// take as a greeting. The interface thread reaches it only by thread messages
// (the calls below post them) and hears from it only by messages posted to its
// window; the device's buffers come back on an event the thread waits on, with
// a deadline: a device that stops delivering is a device that has gone.
//
// The object is shared by the interface thread and the thread itself: it goes
// when the last of the two lets it go, so it never goes while the thread may
// still touch it, and the interface never waits for a driver without a bound.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <memory>
#include <vector>

#include "app/ScopedWin.h"
#include "convert/CGreetingFix.h"
#include "record/CTakeFile.h"

class CMfResampler;

// Posted to the window for each buffer heard: wParam the peak, lParam the RMS,
// both in hundredths of a dB (signed; see LevelMeter.h).
const UINT WM_RECORDER_LEVEL = WM_APP + 700;
// Posted to the window when the recorder's state changes: wParam a
// RecorderEvent, lParam its code.
const UINT WM_RECORDER_EVENT = WM_APP + 701;

enum RecorderEvent {
    RECORDER_MONITORING = 1,  // the device is open and heard; lParam: 1 when resampled
    RECORDER_OPEN_FAILED,     // lParam: the MMRESULT, or CONVERT_ERROR_NO_RESAMPLER
    RECORDER_RECORDING,       // the take has begun
    RECORDER_TAKE_ENDED,      // lParam: a TakeEnd, or the error code of the take file
    RECORDER_DEVICE_LOST,     // the device stopped delivering; lParam: 1 when a take was cut (ended first)
    RECORDER_SAVED,           // lParam: 0 or the error code of the save
    RECORDER_DISCARDED,       // the take is empty again
};

enum TakeEnd {
    TAKE_END_ASKED = 0,
    TAKE_END_LIMIT = 0x20000700,  // the longest take was reached (an application code)
};

// The longest take: one hour at 8000 Hz.
const DWORD TAKE_MAX_SAMPLES = 3600 * 8000;
// A device that hands back no buffer for this long has gone.
const DWORD DEVICE_SILENCE_LIMIT_MS = 3000;

class CRecorderThread {
public:
    // Starts the thread, which tells window. deviceRate 0 records at 8000 Hz
    // where the device offers it; another rate opens the device at that rate
    // as if it offered no other (tests take the resampling path so). Null
    // when the thread could not start.
    static std::shared_ptr<CRecorderThread> Start(HWND window, DWORD deviceRate = 0);
    ~CRecorderThread();
    CRecorderThread(const CRecorderThread&) = delete;
    CRecorderThread& operator=(const CRecorderThread&) = delete;

    // Opens a device of waveIn's numbering (or WAVE_MAPPER) for monitoring;
    // an open device is closed first.
    bool Open(UINT device);
    bool Record();
    bool Stop();
    bool Discard();
    // Saves the take as target in a format, fixed as chosen; the device rests
    // meanwhile. The target and the choice are copied before the thread sees them.
    bool Save(const char* target, WORD tag, const GreetingFixChoice& choice);
    // Asks the thread to end and waits for it at most timeoutMs. From the call
    // on the window hears nothing more.
    bool Shutdown(DWORD timeoutMs);

    const char* TakePath() const { return take_.Path(); }
    DWORD TakeSamples() const { return takeSamples_.load(); }

private:
    struct SaveRequest {
        char target[MAX_PATH];
        WORD tag;
        GreetingFixChoice choice;
    };

    CRecorderThread(HWND window, DWORD deviceRate);
    static unsigned __stdcall ThreadMain(void* param);
    void Run();
    bool Command(UINT command, WPARAM wParam);
    void Tell(UINT message, WPARAM wParam, LPARAM lParam);

    // Everything below runs on the recorder thread.
    bool OnCommand(const MSG& msg);
    void OpenDevice(UINT device);
    MMRESULT OpenAt(UINT device, DWORD rate, WORD channels);
    MMRESULT OpenNative(UINT device);
    void CloseDevice();
    void CollectBuffers();
    void Hear(const WAVEHDR& header);
    DWORD Keep(const short* samples, DWORD frames);
    DWORD KeepMono(const short* mono, DWORD count);
    void BeginTake();
    void EndTake(LPARAM reason);
    void OnDeviceSilent();
    void SaveTake();

    const HWND window_;
    std::atomic<bool> quiet_; // written by the interface thread (Shutdown): tell nothing more
    const DWORD deviceRate_;
    ScopedHandle thread_;
    DWORD threadId_;
    ScopedHandle ready_;      // set by the thread once its message queue exists
    SaveRequest save_;        // written by the interface thread before it posts the save
    std::atomic<DWORD> takeSamples_;  // written by the recorder thread

    // The recorder thread's own.
    ScopedHandle bufferEvent_;
    HWAVEIN device_;
    UINT deviceId_;
    WAVEFORMATEX format_;
    std::vector<std::vector<BYTE>> buffers_;
    std::vector<WAVEHDR> headers_;
    size_t next_;             // the oldest buffer handed to the device
    DWORD lastHeard_;         // tick count of the last buffer back
    bool recording_;
    std::unique_ptr<CMfResampler> resampler_;  // made and destroyed on this thread
    std::vector<short> mono_;
    std::vector<float> floats_;
    std::vector<float> resampled_;
    CTakeFile take_;
};
