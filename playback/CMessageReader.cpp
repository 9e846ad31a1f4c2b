#include "playback/CMessageReader.h"

#include <process.h>

#include <vector>

#include "playback/CAcmConvert.h"
#include "playback/CPlaybackListener.h"
#include "playback/CVoicePlay.h"

namespace {

const DWORD ONE_SECOND_BLOCK = 16000;

bool SeekTo(HANDLE file, DWORD offset)
{
    LARGE_INTEGER to;
    to.QuadPart = offset;
    return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != FALSE;
}

} // namespace

CMessageReader::CMessageReader(CVoicePlay* engine)
    : engine_(engine),
      stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      seek_(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      thread_(nullptr),
      seekTarget_(0),
      data_(),
      player_(nullptr),
      pauseWanted_(false)
{
    InitializeCriticalSection(&pauseLock_);
}

CMessageReader::~CMessageReader()
{
    // The thread uses this object to its last step: it goes first.
    RequestStop();
    Join(INFINITE);
    DeleteCriticalSection(&pauseLock_);
}

bool CMessageReader::Start(const MessageData& data, CPlaybackListener* player)
{
    ScopedHandle file(data.file);
    // A reader still running keeps its file and its data.
    if (!Join(0) || !stop_.IsValid() || !seek_.IsValid())
        return false;
    file_.Reset(file.Detach());
    data_ = data;
    player_ = player;
    pauseWanted_ = false;
    // Cleared here, not by the reader: a Stop right after Start must not be lost.
    ResetEvent(stop_.Get());
    ResetEvent(seek_.Get());
    thread_.Reset((HANDLE)_beginthreadex(nullptr, 0, ThreadMain, this, 0, nullptr));
    if (!thread_.IsValid()) {
        thread_.Detach();
        return false;
    }
    return true;
}

void CMessageReader::RequestStop() { SetEvent(stop_.Get()); }

bool CMessageReader::Join(DWORD timeoutMs)
{
    if (!thread_.IsValid())
        return true;
    HANDLE thread = thread_.Get();
    DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        DWORD left = timeoutMs == INFINITE ? INFINITE : timeoutMs - (elapsed < timeoutMs ? elapsed : timeoutMs);
        // Input is not handled here, so no new command can start meanwhile.
        DWORD result = MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE);
        if (result == WAIT_OBJECT_0) {
            thread_.Close();
            return true;
        }
        if (result != WAIT_OBJECT_0 + 1)
            return false;
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

bool CMessageReader::IsRunning() { return thread_.IsValid() && WaitForSingleObject(thread_.Get(), 0) == WAIT_TIMEOUT; }

// Under pauseLock_ the device cannot open; it may close (a seek), and then
// the wish is what counts.
bool CMessageReader::Pause()
{
    ScopedCritSec hold(&pauseLock_);
    if (!IsRunning() || (!engine_->Pause() && engine_->IsOpen()))
        return false;
    pauseWanted_ = true;
    return true;
}

bool CMessageReader::Resume()
{
    ScopedCritSec hold(&pauseLock_);
    if (!engine_->Resume() && engine_->IsOpen())
        return false;
    pauseWanted_ = false;
    return true;
}

void CMessageReader::Seek(DWORD offset)
{
    ScopedCritSec hold(&pauseLock_);
    pauseWanted_ = false;
    seekTarget_ = offset;
    SetEvent(seek_.Get());
}

unsigned __stdcall CMessageReader::ThreadMain(void* param)
{
    static_cast<CMessageReader*>(param)->Run();
    return 0;
}

void CMessageReader::Run()
{
    {
        CAcmConvert converter;
        PlayData(converter);
        converter.Close();
    }
    // Every playback ends by telling its player, whatever ended it.
    engine_->Stop();
    file_.Close();
    if (player_)
        player_->SetStopped();
}

bool CMessageReader::SetUpConverter(CAcmConvert& converter, std::vector<BYTE>* output)
{
    if (!converter.SetFormats(data_.formatTag, WAVE_FORMAT_PCM, data_.samplesPerSec) ||
        converter.GetSourceLength() < data_.readBlock)
        return false;
    output->resize(converter.GetDestLength() > ONE_SECOND_BLOCK ? converter.GetDestLength() : ONE_SECOND_BLOCK);
    return true;
}

bool CMessageReader::OpenDevice()
{
    // A stop asked for before the device opened: it does not open at all.
    if (IsStopping())
        return false;
    ScopedCritSec hold(&pauseLock_);
    return engine_->Play(data_.samplesPerSec, pauseWanted_);
}

DWORD CMessageReader::PerformSeek()
{
    engine_->Stop();
    DWORD target = seekTarget_;
    DWORD position = target < data_.end - data_.start ? data_.start + target : data_.end;
    SeekTo(file_.Get(), position);
    if (player_)
        player_->ClearSeekPending();
    return position;
}

void CMessageReader::PlayData(CAcmConvert& converter)
{
    if (data_.readBlock == 0)
        return;
    std::vector<BYTE> input(data_.readBlock);
    std::vector<BYTE> output;
    CRingBuffer* ring = engine_->GetRingBuffer();

    // Reads stop at the data size: chunks after the data are no sound.
    DWORD position = data_.start;
    SeekTo(file_.Get(), position);
    for (;;) {
        DWORD want = data_.end - position < data_.readBlock ? data_.end - position : data_.readBlock;
        DWORD got = 0;
        ConvertBlock block = {output.data(), converter.GetDestLength(), input.data(), 0};
        if (want > 0 && ReadFile(file_.Get(), input.data(), want, &got, nullptr) && got > 0) {
            position += got;
            block.inputLength = got;
            // The device opens with the first second, before the converter is
            // set up: its priming plays meanwhile. Without a device the playback ends.
            if (!engine_->IsOpen() && !OpenDevice())
                return;
            if (output.empty() && !SetUpConverter(converter, &output))
                return;
            block.output = output.data();
            block.outputLength = converter.GetDestLength();
            if (!converter.Convert(&block))
                return;
        }
        // The end of the data, also when the last read held no whole sample or
        // block: what the device holds is played out first. Otherwise the next
        // second waits, converted, for the ring buffer to be empty.
        bool end = block.inputLength == 0 || block.outputLength == 0;
        Event event = WaitForEngine(end ? &CVoicePlay::IsPlayedOut : &CVoicePlay::IsDrained);
        if (event == READER_STOP)
            return;
        if (event == READER_SEEK) {
            position = PerformSeek();  // the second read is dropped
            continue;
        }
        if (end)
            return;
        // The whole second: after a short block the rest is the silence that
        // Convert leaves, so the last part is padded to a second.
        ring->Write(output.data(), converter.GetDestLength());
    }
}

// Waits until done() holds, a stop or a seek is asked for, or the device has
// failed. The engine sets its progress event after each change, and the event
// is cleared before each look, so no change is missed.
CMessageReader::Event CMessageReader::WaitForEngine(bool (CVoicePlay::*done)())
{
    HANDLE waits[3] = {stop_.Get(), seek_.Get(), engine_->GetProgressEvent()};
    for (;;) {
        ResetEvent(waits[2]);
        if (engine_->HasFailed())
            return READER_STOP;
        DWORD result = WaitForMultipleObjects(3, waits, FALSE, (engine_->*done)() ? 0 : INFINITE);
        if (result == WAIT_TIMEOUT)
            return READER_GO_ON;
        if (result == WAIT_OBJECT_0 + 1)
            return READER_SEEK;
        if (result != WAIT_OBJECT_0 + 2)
            return READER_STOP;
    }
}
