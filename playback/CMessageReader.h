// The reader thread of one playback of a message: reads the data chunk one
// second at a time, converts it to 16-bit PCM and writes it into the engine's
// ring buffer whenever that is empty; opens the device with the first second,
// moves on a seek, and ends at the end of the data (once it has been played
// out), at a stop request, or when the device fails. A slow device is waited
// for, however long: the thread holds the reader (and through it the engine)
// until it ends, so its owner may let go of it at any time.
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>
#include <vector>

#include "app/ScopedWin.h"

class CAcmConvert;
class CListenerLink;
class CVoicePlay;

// What a playback reads: an open file positioned anywhere, and where its data lie.
struct MessageData {
    HANDLE file;  // owned by the reader from its construction on
    WORD formatTag;
    DWORD samplesPerSec;
    DWORD start;      // offset of the first data byte in the file
    DWORD end;        // offset after the last one
    DWORD readBlock;  // bytes of one second
};

class CMessageReader : public std::enable_shared_from_this<CMessageReader> {
public:
    // previous: the playback of the same engine before this one, which may
    // still be ending; this one starts once it has ended.
    CMessageReader(const std::shared_ptr<CVoicePlay>& engine, const std::shared_ptr<CListenerLink>& player,
                   const std::shared_ptr<CMessageReader>& previous, const MessageData& data);
    ~CMessageReader();  // never waits: the thread holds the object until it ends
    CMessageReader(const CMessageReader&) = delete;
    CMessageReader& operator=(const CMessageReader&) = delete;

    // The interface thread's operations.
    bool Start();
    void RequestStop();
    // Waits for the thread to end, handling sent messages meanwhile (its last
    // act may send to a window of this thread). True once it has ended.
    bool Join(DWORD timeoutMs);
    // Set by the thread before it tells the player that it has ended: from
    // then on nothing of this playback can be resumed.
    bool HasEnded() const { return ended_; }
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

    std::shared_ptr<CVoicePlay> engine_;
    std::shared_ptr<CListenerLink> player_;
    std::shared_ptr<CMessageReader> previous_;  // the reader thread's, until the previous one has ended
    std::shared_ptr<CMessageReader> self_;      // handed from Start to the thread
    ScopedHandle stop_;  // manual reset
    ScopedHandle seek_;  // auto reset: a seek to seekTarget_
    ScopedHandle thread_;  // written by Start before the thread runs
    std::atomic<DWORD> seekTarget_;  // bytes into the data; written by the interface thread
    const MessageData data_;
    ScopedHandle file_;
    // Whether the user wants the playback paused: written by the interface
    // thread, read by the reader when it opens the device.
    std::atomic<bool> pauseWanted_;
    std::atomic<bool> ended_;  // written by the reader thread, or by Start when no thread starts
};
