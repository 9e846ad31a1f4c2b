// The reader thread of a message's playback: reads the data chunk one second
// at a time, converts it to 16-bit PCM and writes it into the engine's ring
// buffer whenever that is empty; opens the device with the first second,
// moves on a seek, and ends at the end of the data (once it has been played
// out), at a stop request, or when the device fails. A slow device is waited
// for, however long.
#pragma once
#include <windows.h>

#include <atomic>
#include <vector>

#include "app/ScopedWin.h"

class CAcmConvert;
class CPlaybackListener;
class CVoicePlay;

// What a playback reads: an open file positioned anywhere, and where its data lie.
struct MessageData {
    HANDLE file;  // owned by the reader from Start on
    WORD formatTag;
    DWORD samplesPerSec;
    DWORD start;      // offset of the first data byte in the file
    DWORD end;        // offset after the last one
    DWORD readBlock;  // bytes of one second
};

class CMessageReader {
public:
    explicit CMessageReader(CVoicePlay* engine);
    ~CMessageReader();  // stops and joins the thread
    CMessageReader(const CMessageReader&) = delete;
    CMessageReader& operator=(const CMessageReader&) = delete;

    // The interface thread's operations.
    bool Start(const MessageData& data, CPlaybackListener* player);
    void RequestStop();
    // Waits for the thread to end, handling sent messages meanwhile (its last
    // act may send to a window of this thread). True once it has ended.
    bool Join(DWORD timeoutMs);
    bool IsRunning();
    bool IsStopping() { return WaitForSingleObject(stop_.Get(), 0) == WAIT_OBJECT_0; }
    // A pause asked for before the device is open, or while a seek reopens
    // it, is applied when it opens. A seek leaves the pause.
    bool Pause();
    bool Resume();
    void Seek(DWORD offset);  // bytes into the data

private:
    enum Event { READER_GO_ON, READER_STOP, READER_SEEK };

    static unsigned __stdcall ThreadMain(void* param);
    void Run();
    void PlayData(CAcmConvert& converter);
    bool SetUpConverter(CAcmConvert& converter, std::vector<BYTE>* output);
    bool OpenDevice();
    DWORD PerformSeek();
    Event WaitForEngine(bool (CVoicePlay::*done)());

    CVoicePlay* engine_;
    ScopedHandle stop_;  // manual reset: set by Stop, cleared by Start
    ScopedHandle seek_;  // auto reset: a seek to seekTarget_
    ScopedHandle thread_;
    std::atomic<DWORD> seekTarget_;  // bytes into the data; written by the interface thread
    // Written by Start while no reader thread runs; the file is closed by the reader.
    MessageData data_;
    ScopedHandle file_;
    CPlaybackListener* player_;
    // Whether the user wants the playback paused: written by the interface
    // thread, read by the reader when it opens the device, both under pauseLock_.
    CRITICAL_SECTION pauseLock_;
    bool pauseWanted_;
};
