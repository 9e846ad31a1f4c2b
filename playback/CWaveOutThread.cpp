#include "playback/CWaveOutThread.h"

#include <string.h>

#include "playback/PlayerStep.h"
#include "playback/CRingBuffer.h"

namespace {

enum WaveOperation { WAVE_PAUSE, WAVE_RESUME, WAVE_SET_VOLUME, WAVE_GET_VOLUME };
const UINT WM_WAVE_COMMAND = WM_APP + 1;  // thread message, lParam: the WaveCommand
const UINT WM_WAVE_CLOSE = WM_APP + 2;

} // namespace

// One request to waveOutThread. The asker may stop waiting before the thread
// takes it, so both hold it and the last of the two to let go frees it.
struct WaveCommand {
    WaveCommand(int op, DWORD v)
        : operation(op), value(v), result(MMSYSERR_INVALHANDLE), answer(0),
          done(CreateEventA(nullptr, TRUE, FALSE, nullptr)), holders(2)
    {
    }
    int operation;
    DWORD value;
    MMRESULT result;
    DWORD answer;
    ScopedHandle done;
    LONG holders;
};

namespace {

void LetGo(WaveCommand* command)
{
    if (InterlockedDecrement(&command->holders) == 0)
        delete command;
}

} // namespace

CWaveOutThread::CWaveOutThread(CRingBuffer* ring)
    : ring_(ring),
      progress_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      threadId_(0),
      format_(),
      volume_(0),
      startPaused_(false),
      stepWindow_(nullptr),
      opened_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      openResult_(MMSYSERR_ERROR),
      device_(nullptr),
      paused_(false),
      failed_(false),
      closeFailed_(false),
      posted_(0),
      answered_(0),
      held_(0),
      unclosed_(nullptr),
      queuedCount_(0),
      parkedCount_(0),
      parkTimer_(0)
{
    ZeroMemory(buffers_, sizeof buffers_);
}

CWaveOutThread::~CWaveOutThread()
{
    Close();
    // No waveOutThread is left to try again: the last try is made here.
    if (unclosed_.load())
        ReleaseDevice(unclosed_);
}

bool CWaveOutThread::Open(const WAVEFORMATEX& format, DWORD volume, bool paused, HWND stepWindow)
{
    if (thread_.IsValid() || !progress_.IsValid() || !opened_.IsValid())
        return false;
    format_ = format;
    volume_ = volume;
    startPaused_ = paused;
    stepWindow_ = stepWindow;

    // The opening is the thread's first act: before the thread has a message
    // queue nothing can be posted to it.
    openResult_ = MMSYSERR_ERROR;
    ResetEvent(opened_.Get());
    answered_ = posted_.load();  // requests of an earlier thread are no longer awaited
    DWORD id = 0;
    threadId_ = 0;
    thread_.Reset(CreateThread(nullptr, 0, ThreadMain, this, CREATE_SUSPENDED, &id));
    if (!thread_.IsValid()) {
        thread_.Detach();  // CreateThread answers NULL, not INVALID_HANDLE_VALUE
        return false;
    }
    threadId_ = id;
    ResumeThread(thread_.Get());
    HANDLE waits[2] = {opened_.Get(), thread_.Get()};
    WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (openResult_ != MMSYSERR_NOERROR) {
        // A thread whose opening failed ends by itself.
        WaitForSingleObject(thread_.Get(), INFINITE);
        thread_.Close();
        return false;
    }
    return true;
}

bool CWaveOutThread::Close()
{
    if (!thread_.IsValid())
        return true;
    // Fails only when the thread has already ended, which is what is wanted.
    PostThreadMessageA(threadId_, WM_WAVE_CLOSE, 0, 0);
    WaitForSingleObject(thread_.Get(), INFINITE);
    thread_.Close();
    return !closeFailed_;
}

MMRESULT CWaveOutThread::Pause() { return Call(WAVE_PAUSE, 0, nullptr); }
MMRESULT CWaveOutThread::Resume() { return Call(WAVE_RESUME, 0, nullptr); }
MMRESULT CWaveOutThread::SetVolume(DWORD value) { return Call(WAVE_SET_VOLUME, value, nullptr); }
MMRESULT CWaveOutThread::GetVolume(DWORD* value) { return Call(WAVE_GET_VOLUME, 0, value); }

// Answers a command: the thread's last touch of it.
void CWaveOutThread::Answer(WaveCommand* command)
{
    ++answered_;
    SetEvent(command->done.Get());
    LetGo(command);
}

MMRESULT CWaveOutThread::Call(int operation, DWORD value, DWORD* answer)
{
    DWORD id = threadId_;
    if (!IsOpen() || id == 0)
        return MMSYSERR_INVALHANDLE;
    WaveCommand* command = new WaveCommand(operation, value);
    // Behind a request that is still unanswered this one waits too: no wait then.
    LONG earlier = posted_++;
    DWORD wait = answered_ < earlier ? 0 : CALL_TIMEOUT_MS;
    if (!command->done.IsValid() || !PostThreadMessageA(id, WM_WAVE_COMMAND, 0, (LPARAM)command)) {
        --posted_;
        delete command;
        return MMSYSERR_INVALHANDLE;
    }
    // A thread that ends without carrying the command out answers it all the same.
    MMRESULT result = WAVE_REQUEST_PENDING;
    if (WaitForSingleObject(command->done.Get(), wait) == WAIT_OBJECT_0) {
        result = command->result;
        if (answer)
            *answer = command->answer;
    }
    LetGo(command);
    return result;
}

DWORD WINAPI CWaveOutThread::ThreadMain(void* param)
{
    CWaveOutThread* self = static_cast<CWaveOutThread*>(param);
    OutputDebugStringA("ThreadBegin\n");
    // The device's notices and the commands come as thread messages.
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    self->Run();
    return 0;
}

// The loop of one opening. Buffers that come back while the ring buffer is
// empty are not handed back empty: Wine's device, given a stream of
// zero-length buffers, now and then stops returning buffers at all, and the
// playback would hang. They are parked instead and refilled, in the order they
// came back, as soon as the ring buffer holds sound again (a 10 ms thread timer).
void CWaveOutThread::Run()
{
    MMRESULT opened = OpenDevice();
    openResult_ = opened;
    SetEvent(opened_.Get());
    if (opened != MMSYSERR_NOERROR)
        return;

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0 && msg.message != WM_WAVE_CLOSE) {
        if (msg.hwnd)
            continue;
        if (msg.message == MM_WOM_DONE)
            OnBufferDone((WAVEHDR*)msg.lParam);
        else if (msg.message == WM_WAVE_COMMAND)
            OnCommand((WaveCommand*)msg.lParam);
        else if (msg.message == WM_TIMER && msg.wParam == parkTimer_)
            RefillParked();
        UpdateParkTimer();
    }
    CloseDevice();
    // Commands that came too late: there is no device any more.
    while (PeekMessageA(&msg, nullptr, WM_WAVE_COMMAND, WM_WAVE_COMMAND, PM_REMOVE))
        Answer((WaveCommand*)msg.lParam);
}

MMRESULT CWaveOutThread::OpenDevice()
{
    // The buffers may still be in the hands of a device that would not close:
    // it is closed first, or nothing opens.
    if (unclosed_.load()) {
        if (!ReleaseDevice(unclosed_))
            return MMSYSERR_ALLOCATED;
        unclosed_ = nullptr;
    }
    HWAVEOUT device = nullptr;
    MMRESULT result = waveOutOpen(&device, WAVE_MAPPER, &format_, (DWORD_PTR)GetCurrentThreadId(), 0, CALLBACK_THREAD);
    if (result != MMSYSERR_NOERROR)
        return result;
    device_ = device;
    failed_ = false;
    closeFailed_ = false;
    queuedCount_ = 0;
    parkedCount_ = 0;
    held_ = 0;
    // Paused before the first buffer: a pause asked for before the opening holds.
    paused_ = startPaused_ && waveOutPause(device) == MMSYSERR_NOERROR;
    // Every opening begins with 16 x 512 bytes of silence.
    for (int i = 0; i < WAVE_BUFFER_COUNT; ++i) {
        WAVEHDR& buffer = buffers_[i];
        ZeroMemory(&buffer, sizeof buffer);
        ZeroMemory(blocks_[i], WAVE_BLOCK_SIZE);
        buffer.lpData = blocks_[i];
        buffer.dwBufferLength = PRIMING_BYTES;
        result = waveOutPrepareHeader(device, &buffer, sizeof buffer);
        if (result == MMSYSERR_NOERROR)
            result = Write(&buffer);
        if (result == MMSYSERR_NOERROR)
            ++held_;
        if (result != MMSYSERR_NOERROR) {
            CloseDevice();
            return result;
        }
    }
    waveOutSetVolume(device, volume_);
    return MMSYSERR_NOERROR;
}

void CWaveOutThread::CloseDevice()
{
    if (parkTimer_)
        KillTimer(nullptr, parkTimer_);
    parkTimer_ = 0;
    HWAVEOUT device = device_;
    if (!device)
        return;
    bool closed = ReleaseDevice(device);
    if (!closed)
        unclosed_ = device;
    closeFailed_ = !closed;
    device_ = nullptr;
    paused_ = false;
    held_ = 0;
    queuedCount_ = 0;
    parkedCount_ = 0;
    SetEvent(progress_.Get());
}

// Resets, unprepares and closes. Every step is tried whatever the one before
// answered: a failed reset may still have handed the buffers back, and a
// device that cannot be reset may still close. True once it is closed.
bool CWaveOutThread::ReleaseDevice(HWAVEOUT device)
{
    waveOutReset(device);
    for (WAVEHDR& buffer : buffers_) {
        if (buffer.dwFlags & WHDR_PREPARED)
            waveOutUnprepareHeader(device, &buffer, sizeof buffer);
    }
    return waveOutClose(device) == MMSYSERR_NOERROR;
}

void CWaveOutThread::OnCommand(WaveCommand* command)
{
    HWAVEOUT device = device_;
    MMRESULT result;
    switch (command->operation) {
    case WAVE_PAUSE:
        result = waveOutPause(device);
        if (result == MMSYSERR_NOERROR)
            paused_ = true;
        break;
    case WAVE_RESUME:
        result = ResumeDevice();
        if (result == MMSYSERR_NOERROR)
            paused_ = false;
        break;
    case WAVE_SET_VOLUME:
        result = waveOutSetVolume(device, command->value);
        break;
    case WAVE_GET_VOLUME:
        result = waveOutGetVolume(device, &command->answer);
        break;
    default:
        result = MMSYSERR_NOTSUPPORTED;
        break;
    }
    command->result = result;
    Answer(command);  // the last touch: the command may be gone after it
}

void CWaveOutThread::OnBufferDone(WAVEHDR* buffer)
{
    if (buffer < buffers_ || buffer >= buffers_ + WAVE_BUFFER_COUNT)
        return;  // not one of ours
    // The notice of a reset whose buffer has been written again since; or a
    // second notice for one return, which must not park the buffer twice.
    if ((buffer->dwFlags & WHDR_INQUEUE) || !TakeQueued(buffer))
        return;
    --held_;
    // Behind buffers already waiting it waits too, so that the order holds.
    if (parkedCount_ > 0 || !HandBack(buffer))
        Park(buffer);
    if (held_ <= 0)
        SetEvent(progress_.Get());  // maybe played out
}

// Refills a finished buffer and gives it back to the device. False when it
// stays here: the ring buffer is empty or the device paused.
bool CWaveOutThread::HandBack(WAVEHDR* buffer)
{
    // Counted as held before the ring buffer is read, so that nobody sees an
    // empty ring buffer and no held buffer while the last sound is on its way.
    ++held_;
    if (paused_ || !Fill(buffer)) {
        --held_;
        return false;
    }
    if (Write(buffer) != MMSYSERR_NOERROR) {
        --held_;
        failed_ = true;  // the buffer no longer circulates
        SetEvent(progress_.Get());
    }
    return true;
}

bool CWaveOutThread::Fill(WAVEHDR* buffer)
{
    DWORD available = ring_->GetDataSize();
    DWORD length = available < REFILL_BYTES ? available : REFILL_BYTES;
    if (length == 0 || ring_->Read(buffer->lpData, length) != length)
        return false;
    buffer->dwBufferLength = length;
    if (length == available)
        SetEvent(progress_.Get());  // the ring buffer is empty
    // One step for each refill that carries sound.
    if (stepWindow_)
        PostMessageA(stepWindow_, g_uPlayerStepMsg, 0, 0);
    return true;
}

// Writes a buffer and notes it as the device's newest.
MMRESULT CWaveOutThread::Write(WAVEHDR* buffer)
{
    MMRESULT result = waveOutWrite(device_, buffer, sizeof *buffer);
    if (result == MMSYSERR_NOERROR)
        queued_[queuedCount_++] = buffer;
    return result;
}

bool CWaveOutThread::TakeQueued(WAVEHDR* buffer)
{
    for (int i = 0; i < queuedCount_; ++i) {
        if (queued_[i] == buffer) {
            memmove(queued_ + i, queued_ + i + 1, (queuedCount_ - i - 1) * sizeof queued_[0]);
            --queuedCount_;
            return true;
        }
    }
    return false;
}

void CWaveOutThread::Park(WAVEHDR* buffer)
{
    if (parkedCount_ < WAVE_BUFFER_COUNT)
        parked_[parkedCount_++] = buffer;
}

void CWaveOutThread::RefillParked()
{
    int handed = 0;
    while (handed < parkedCount_ && HandBack(parked_[handed]))
        ++handed;
    memmove(parked_, parked_ + handed, (parkedCount_ - handed) * sizeof parked_[0]);
    parkedCount_ -= handed;
}

void CWaveOutThread::UpdateParkTimer()
{
    if (parkedCount_ > 0 && !parkTimer_) {
        parkTimer_ = SetTimer(nullptr, 0, PARKED_POLL_MS, nullptr);
    } else if (parkedCount_ == 0 && parkTimer_) {
        KillTimer(nullptr, parkTimer_);
        parkTimer_ = 0;
    }
}

// Ends a pause. Not with waveOutRestart: Wine 8's ALSA driver, restarted after a
// pause long enough for the sound server to run dry, reads past its buffer
// while it applies the volume, and the fault leaves the device locked for good.
// The device is reset instead, which hands back every buffer it holds, and
// those are written again in their order. The part of the oldest one that was
// heard before the pause is heard again (at most one refill, 20 ms): the
// position the device reports cannot be trusted to cut it off.
MMRESULT CWaveOutThread::ResumeDevice()
{
    HWAVEOUT device = device_;
    WAVEHDR* again[WAVE_BUFFER_COUNT];
    int count = queuedCount_;
    memcpy(again, queued_, count * sizeof again[0]);
    if (waveOutReset(device) != MMSYSERR_NOERROR)
        return waveOutRestart(device);
    queuedCount_ = 0;
    for (int i = 0; i < count; ++i) {
        if (Write(again[i]) != MMSYSERR_NOERROR) {
            --held_;
            failed_ = true;
            SetEvent(progress_.Get());
        }
    }
    // A device that a reset leaves paused plays again.
    return waveOutRestart(device);
}
