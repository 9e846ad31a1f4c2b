#include "playback/CMessageReader.h"

#include <process.h>

#include <vector>

#include "playback/CAcmConvert.h"
#include "playback/CListenerLink.h"
#include "playback/CVoicePlay.h"
#include "wave/WaveChunks.h"

namespace {

const DWORD ONE_SECOND_BLOCK = 16000;

} // namespace

CMessageReader::CMessageReader(const std::shared_ptr<CVoicePlay>& engine,
                               const std::shared_ptr<CListenerLink>& player,
                               const std::shared_ptr<CMessageReader>& previous, const MessageData& data)
    : engine_(engine),
      player_(player),
      previous_(previous),
      stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      seek_(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      thread_(nullptr),
      seekTarget_(0),
      data_(data),
      file_(data.file),
      pauseWanted_(false),
      ended_(false)
{
}

// The thread held this object to its end; what is left is its handle.
CMessageReader::~CMessageReader() {}

bool CMessageReader::Start()
{
    if (thread_.IsValid() || !stop_.IsValid() || !seek_.IsValid()) {
        ended_ = true;
        return false;
    }
    self_ = shared_from_this();
    thread_.Reset((HANDLE)_beginthreadex(nullptr, 0, ThreadMain, this, 0, nullptr));
    if (!thread_.IsValid()) {
        thread_.Detach();
        self_.reset();
        ended_ = true;
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
        if (result == WAIT_OBJECT_0)
            return true;
        if (result != WAIT_OBJECT_0 + 1)
            return false;
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

// Without a device the wish is kept for the opening, which looks at it again
// once the device is open (OpenDevice).
bool CMessageReader::Pause()
{
    if (ended_)
        return false;
    pauseWanted_ = true;
    if (!engine_->Pause() && engine_->IsOpen()) {
        pauseWanted_ = false;
        return false;
    }
    return true;
}

bool CMessageReader::Resume()
{
    if (!engine_->Resume() && engine_->IsOpen())
        return false;
    pauseWanted_ = false;
    return true;
}

void CMessageReader::Seek(DWORD offset)
{
    pauseWanted_ = false;
    seekTarget_ = offset;
    SetEvent(seek_.Get());
}

unsigned __stdcall CMessageReader::ThreadMain(void* param)
{
    // Held to the thread's last step: the last holder frees the reader, and
    // with it the engine once no playback uses it.
    std::shared_ptr<CMessageReader> self = std::move(static_cast<CMessageReader*>(param)->self_);
    self->Run();
    return 0;
}

void CMessageReader::Run()
{
    // The playback before this one uses the engine until it has ended.
    if (previous_) {
        if (previous_->thread_.IsValid())
            WaitForSingleObject(previous_->thread_.Get(), INFINITE);
        previous_.reset();
    }
    if (!IsStopping()) {
        CAcmConvert converter;
        PlayData(converter);
        converter.Close();
    }
    // Every playback ends by telling its player, whatever ended it; it says
    // so first, so that a Play the player's notice brings on starts anew.
    engine_->Stop();
    file_.Close();
    ended_ = true;
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
    bool paused = pauseWanted_;
    if (!engine_->Play(data_.samplesPerSec, paused))
        return false;
    // A pause or resume asked for while the device opened.
    if (pauseWanted_ != paused)
        paused ? engine_->Resume() : engine_->Pause();
    return true;
}

DWORD CMessageReader::PerformSeek()
{
    engine_->Stop();
    DWORD target = seekTarget_;
    DWORD position = target < data_.end - data_.start ? data_.start + target : data_.end;
    SeekTo(file_.Get(), position);
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
        DWORD result = WaitForMultipleObjects(3, waits, FALSE, (engine_.get()->*done)() ? 0 : INFINITE);
        if (result == WAIT_TIMEOUT)
            return READER_GO_ON;
        if (result == WAIT_OBJECT_0 + 1)
            return READER_SEEK;
        if (result != WAIT_OBJECT_0 + 2)
            return READER_STOP;
    }
}
