#include "audio/CVoiceFile.h"

#include <process.h>
#include <string.h>

#include "app/CommonServices.h"
#include "app/ScopedWin.h"
#include "audio/CAcmConvert.h"
#include "audio/CPlaybackListener.h"
#include "audio/CVoicePlay.h"
#include "audio/VoiceFormats.h"
#include "audio/WaveChunks.h"

namespace {

// Playback: the reader thread's polls, and the bounds of every wait for it.
const DWORD PAUSE_POLL_MS = 10;
const DWORD READER_POLL_MS = 100;
const DWORD STOP_TIMEOUT_MS = 10000;        // the reader reaching its engine stop
const DWORD READER_END_TIMEOUT_MS = 15000;  // the reader ending after a stop request
// A device that takes nothing from the ring buffer for this long while it is
// not paused has stopped playing: the playback ends instead of waiting for ever.
const DWORD STALL_TIMEOUT_MS = 3000;
const DWORD ONE_SECOND_BLOCK = 16000;

// What interrupted a wait of the reader thread.
enum ReaderEvent { READER_GO_ON, READER_STOP, READER_SEEK };

bool IsAcceptedRate(const RawHeader& header, const VoiceFormat& format)
{
    return header.channels == VOICE_CHANNELS && header.samplesPerSec == VOICE_SAMPLES_PER_SEC &&
           header.avgBytesPerSec == format.bytesPerSec;
}

// The one check of a voice file: exists, opens, has one of the accepted
// formats and a data chunk. header receives the fields read, even when the
// format is rejected; on success file is open at the first sample byte.
// Answers VOICE_ERROR_NONE, VOICE_ERROR_MISSING, VOICE_ERROR_FORMAT or the
// system's error code.
DWORD CheckVoiceFile(const char* fileName, ScopedHandle* file, RawHeader* header, DWORD* dataOffset,
                     DWORD* dataSize)
{
    if (!FileExists(fileName))
        return VOICE_ERROR_MISSING;
    file->Reset(OpenForReading(fileName));
    if (!file->IsValid())
        return GetLastError();
    DWORD error = ReadRawHeader(file->Get(), header);
    if (error != 0)
        return error;
    const VoiceFormat* format = FindVoiceFormat(header->formatTag);
    if (!format || !IsAcceptedRate(*header, *format))
        return VOICE_ERROR_FORMAT;
    return FindVoiceData(file->Get(), header->fmtSize, dataOffset, dataSize);
}

} // namespace

HANDLE OpenWaveFile(const char* fileName, DWORD offset, DWORD* formatTag)
{
    ScopedHandle file;
    RawHeader header = {};
    DWORD dataOffset = 0;
    DWORD dataSize = 0;
    DWORD error = CheckVoiceFile(fileName, &file, &header, &dataOffset, &dataSize);
    // The tag is told once it is one of ours, even when a later check fails.
    if (formatTag && FindVoiceFormat(header.formatTag))
        *formatTag = header.formatTag;
    if (error != VOICE_ERROR_NONE || !SeekTo(file.Get(), (ULONGLONG)dataOffset + offset))
        return INVALID_HANDLE_VALUE;
    return file.Detach();
}

CVoiceFile::CVoiceFile(const char* fileName)
    : file_(INVALID_HANDLE_VALUE),
      header_(),
      engine_(nullptr),
      stopRequest_(0),
      endOfData_(0),
      seekRequest_(0),
      seekTarget_(0),
      duration_(0),
      dataOffset_(0),
      lastError_(VOICE_ERROR_NONE),
      player_(nullptr),
      reader_(nullptr),
      engineStopped_(1)
{
    lstrcpynA(fileName_, fileName ? fileName : "", VOICE_NAME_SIZE);
    engine_ = new CVoicePlay;
}

CVoiceFile::~CVoiceFile()
{
    // The reader of a playback uses this object to its last step.
    bool readerEnded = true;
    if (reader_) {
        stopRequest_ = 1;
        readerEnded = WaitForReader(true, READER_END_TIMEOUT_MS);
        CloseHandle(reader_);
        reader_ = nullptr;
    }
    Close();
    // An engine that a stuck reader or waveOutThread may still use is left to them.
    if (readerEnded) {
        engine_->Stop();
        if (engine_->CanRelease())
            delete engine_;
    }
}

bool CVoiceFile::Open()
{
    Close();  // an earlier Open must not leak its file
    lastError_ = VOICE_ERROR_NONE;
    ZeroMemory(&header_, sizeof header_);
    duration_ = 0;

    ScopedHandle file;
    RawHeader raw = {};
    DWORD dataOffset = 0;
    DWORD dataSize = 0;
    lastError_ = CheckVoiceFile(fileName_, &file, &raw, &dataOffset, &dataSize);
    // Kept even when rejected: the caller's message shows what the file holds.
    header_.formatTag = raw.formatTag;
    header_.channels = raw.channels;
    header_.samplesPerSec = raw.samplesPerSec;
    header_.avgBytesPerSec = raw.avgBytesPerSec;
    if (lastError_ != VOICE_ERROR_NONE)
        return false;

    header_.dataSize = dataSize;
    dataOffset_ = dataOffset;
    duration_ = dataSize / FindVoiceFormat(raw.formatTag)->BytesPer40ms() * 40;
    file_ = file.Detach();
    return true;
}

bool CVoiceFile::Close()
{
    // The reader thread and the interface thread may both close: only the
    // one that takes the handle closes it.
    HANDLE file = InterlockedExchangePointer(&file_, INVALID_HANDLE_VALUE);
    if (file != INVALID_HANDLE_VALUE && file != nullptr)
        CloseHandle(file);
    dataOffset_ = 0;
    return true;
}

void CVoiceFile::GetFormatName(char* text)
{
    if (!text)
        return;
    const VoiceFormat* format = FindVoiceFormat(header_.formatTag);
    lstrcpyA(text, format ? format->name : "");
}

// ---- Playback ----

bool CVoiceFile::Play()
{
    bool running = ReaderRunning();
    if (running && engine_->IsPaused())
        return engine_->Play(header_.samplesPerSec);  // resume
    if (running && !stopRequest_ && !engineStopped_)
        return true;  // already playing
    // A playback that is ending still uses this object: the new one waits for
    // it, so that its late SetStopped cannot mark the new one stopped.
    if (running && !WaitForReader(true, READER_END_TIMEOUT_MS))
        return false;
    if (reader_) {
        CloseHandle(reader_);
        reader_ = nullptr;
    }
    // No reader runs now: a device that an earlier stop could not close is closed here.
    if (engine_->IsOpen())
        engine_->Stop();

    // Cleared here, not by the reader: a Stop right after Play must not be lost.
    stopRequest_ = 0;
    seekRequest_ = 0;
    endOfData_ = 0;
    engineStopped_ = 0;
    MemoryBarrier();
    unsigned threadId = 0;
    reader_ = (HANDLE)_beginthreadex(nullptr, 0, ReaderThread, this, 0, &threadId);
    if (!reader_) {
        // This playback ends before it began; the player must still hear of it.
        engineStopped_ = 1;
        if (player_)
            player_->SetStopped();
        return false;
    }
    return true;
}

bool CVoiceFile::Pause() { return engine_->Pause(); }

bool CVoiceFile::Stop()
{
    stopRequest_ = 1;
    // The reader stops the engine as the first of its exit steps.
    WaitForReader(false, STOP_TIMEOUT_MS);
    // With no reader left to do it, a device that would not close is tried again.
    if (engine_->IsOpen() && (engineStopped_ || !ReaderRunning()))
        engine_->Stop();
    return !engine_->IsOpen();
}

void CVoiceFile::Seek(DWORD seconds)
{
    const VoiceFormat* format = FindVoiceFormat(header_.formatTag);
    ULONGLONG target = (ULONGLONG)seconds * (format ? format->bytesPerSec : 0);
    if (target > header_.dataSize)
        target = header_.dataSize;
    seekTarget_ = (DWORD)target + dataOffset_;
    MemoryBarrier();  // the target before the request
    seekRequest_ = 1;
}

DWORD CVoiceFile::SetVolume(DWORD value)
{
    if (!engine_->SetVolume(value / 256))
        return 0;
    return engine_->GetVolume();
}

DWORD CVoiceFile::GetVolume() { return engine_->GetVolume(); }

void CVoiceFile::SetPlayer(CPlaybackListener* player) { player_ = player; }

bool CVoiceFile::ReaderRunning() { return reader_ && WaitForSingleObject(reader_, 0) == WAIT_TIMEOUT; }

bool CVoiceFile::WaitForReader(bool untilEnded, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (!ReaderRunning() || (!untilEnded && engineStopped_))
            return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return false;
        // The reader's last act may send messages to a window of this thread:
        // sent messages are handled meanwhile (input is not, so no new command
        // can start here).
        DWORD slice = timeoutMs - elapsed < PAUSE_POLL_MS ? timeoutMs - elapsed : PAUSE_POLL_MS;
        MsgWaitForMultipleObjects(1, &reader_, FALSE, slice, QS_SENDMESSAGE);
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

unsigned __stdcall CVoiceFile::ReaderThread(void* param)
{
    static_cast<CVoiceFile*>(param)->ReadLoop();
    return 0;
}

void CVoiceFile::ReadLoop()
{
    endOfData_ = 0;
    CAcmConvert* converter = new CAcmConvert;
    BYTE* input = nullptr;
    BYTE* output = nullptr;
    if (converter->SetFormats(header_.formatTag, WAVE_FORMAT_PCM, header_.samplesPerSec)) {
        const VoiceFormat* format = FindVoiceFormat(header_.formatTag);
        DWORD readBlock = format ? format->bytesPerSec : 0;
        if (readBlock > converter->GetSourceLength())
            readBlock = converter->GetSourceLength();
        DWORD outputSize = converter->GetDestLength() > ONE_SECOND_BLOCK ? converter->GetDestLength()
                                                                          : ONE_SECOND_BLOCK;
        input = static_cast<BYTE*>(AllocBlock((int)ONE_SECOND_BLOCK));
        output = static_cast<BYTE*>(AllocBlock((int)outputSize));
        if (input && output && readBlock > 0)
            PlayData(converter, input, output, readBlock);
    }

    // Exit, also after a failure: the engine first, so that Stop returns early.
    engine_->Stop();
    engineStopped_ = 1;
    if (input)
        FreeBlock(input);
    if (output)
        FreeBlock(output);
    converter->Close();
    delete converter;
    // Every playback ends by telling its player, whatever ended it.
    if (player_)
        player_->SetStopped();
}

void CVoiceFile::PlayData(CAcmConvert* converter, BYTE* input, BYTE* output, DWORD readBlock)
{
    // Reads stop at the data size: chunks after the data are no sound.
    const DWORD dataStart = dataOffset_;
    const DWORD dataEnd = dataOffset_ + header_.dataSize;
    DWORD position = dataStart;
    SeekTo(file_, position);
    CRingBuffer* ring = engine_->GetRingBuffer();

    for (;;) {
        if (stopRequest_)
            return;
        if (seekRequest_) {
            engine_->Stop();
            seekRequest_ = 0;
            MemoryBarrier();  // a newer request set after this point is seen next time
            position = seekTarget_;
            if (position < dataStart)
                position = dataStart;
            if (position > dataEnd)
                position = dataEnd;
            SeekTo(file_, position);
            if (player_)
                player_->ClearSeekPending();
        }

        DWORD want = dataEnd - position < readBlock ? dataEnd - position : readBlock;
        DWORD got = 0;
        if (want == 0 || !ReadFile(file_, input, want, &got, nullptr) || got == 0) {
            // The end of the data: what the device holds is played out first.
            int event = WaitForPlayedOut();
            if (event == READER_SEEK)
                continue;
            if (event == READER_GO_ON)
                endOfData_ = 1;
            return;
        }
        position += got;

        int event = WaitWhilePaused();
        if (event == READER_GO_ON)
            event = WaitForEmptyRing();
        if (event == READER_STOP)
            return;
        if (event == READER_SEEK)
            continue;  // the block read is dropped

        // The device opens with the first second; without a device the playback ends.
        if (!engine_->IsOpen() && !engine_->Play(header_.samplesPerSec))
            return;
        ConvertBlock block = {output, converter->GetDestLength(), input, got};
        if (!converter->Convert(&block))
            return;
        // The whole second: after a short block the rest is the silence that
        // Convert leaves, so the last part of a message is padded to a second.
        ring->Write(output, converter->GetDestLength());
    }
}

int CVoiceFile::Interruption()
{
    if (stopRequest_)
        return READER_STOP;
    if (seekRequest_)
        return READER_SEEK;
    return READER_GO_ON;
}

int CVoiceFile::WaitWhilePaused()
{
    for (;;) {
        int event = Interruption();
        if (event != READER_GO_ON || !engine_->IsPaused())
            return event;
        Sleep(PAUSE_POLL_MS);
    }
}

int CVoiceFile::WaitForEmptyRing()
{
    CRingBuffer* ring = engine_->GetRingBuffer();
    DWORD last = ring->GetDataSize();
    DWORD since = GetTickCount();
    for (;;) {
        int event = Interruption();
        if (event != READER_GO_ON)
            return event;
        DWORD held = ring->GetDataSize();
        if (held == 0)
            return READER_GO_ON;
        if (held != last || engine_->IsPaused()) {
            last = held;
            since = GetTickCount();
        } else if (GetTickCount() - since >= STALL_TIMEOUT_MS) {
            return READER_STOP;  // the device has stopped taking sound
        }
        Sleep(READER_POLL_MS);
    }
}

int CVoiceFile::WaitForPlayedOut()
{
    CRingBuffer* ring = engine_->GetRingBuffer();
    DWORD last = ring->GetDataSize();
    DWORD since = GetTickCount();
    for (;;) {
        int event = Interruption();
        if (event != READER_GO_ON)
            return event;
        if (engine_->IsPlayedOut())
            return READER_GO_ON;
        DWORD held = ring->GetDataSize();
        if (held != last || engine_->IsPaused()) {
            last = held;
            since = GetTickCount();
        } else if (GetTickCount() - since >= STALL_TIMEOUT_MS) {
            return READER_GO_ON;  // nothing more comes back from the device
        }
        Sleep(READER_POLL_MS);
    }
}
