#include "audio/CVoicePlay.h"

#include <string.h>

#include "app/CommonServices.h"
#include "app/PlayerStep.h"
#include "audio/CPlaybackListener.h"

namespace {

const DWORD INITIAL_RATE = 8000;
const DWORD INITIAL_VOLUME = 100;
const DWORD MAX_VOLUME = 255;
const DWORD INITIAL_BUFFER_LENGTH = 2048;
// Stop waits this long for waveOutThread to leave its loop.
const DWORD THREAD_END_POLL_MS = 100;
const int THREAD_END_POLLS = 30;
// A thread that has not even reached its first instruction by then is not coming.
const DWORD QUEUE_READY_TIMEOUT_MS = 3000;

} // namespace

CVoicePlay::CVoicePlay()
    : ring_(RING_BUFFER_SIZE),
      started_(0),
      paused_(0),
      threadEnded_(1),
      device_(nullptr),
      threadId_(0),
      volume_(INITIAL_VOLUME),
      notify_(nullptr),
      thread_(nullptr),
      queueReady_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      heldBuffers_(0)
{
    ring_.Reset();

    ZeroMemory(&format_, sizeof format_);
    format_.wFormatTag = WAVE_FORMAT_PCM;
    format_.nChannels = 1;
    format_.nSamplesPerSec = INITIAL_RATE;
    format_.nAvgBytesPerSec = 2 * INITIAL_RATE;
    format_.nBlockAlign = 2;
    format_.wBitsPerSample = 16;
    format_.cbSize = 0;

    for (WAVEHDR& buffer : buffers_) {
        ZeroMemory(&buffer, sizeof buffer);
        buffer.lpData = static_cast<LPSTR>(AllocBlock((int)WAVE_BLOCK_SIZE));
        buffer.dwBufferLength = INITIAL_BUFFER_LENGTH;
    }
}

CVoicePlay::~CVoicePlay()
{
    Stop();
    // A device that would not close may still write into the blocks, and a
    // thread that would not end may still refill them: both keep them.
    if (CanRelease()) {
        for (WAVEHDR& buffer : buffers_) {
            FreeBlock(buffer.lpData);
            buffer.lpData = nullptr;
        }
    }
    if (thread_)
        CloseHandle(thread_);
    if (queueReady_)
        CloseHandle(queueReady_);
}

bool CVoicePlay::Play(DWORD samplesPerSec)
{
    if (started_) {
        if (!paused_)
            return true;  // already playing
        if (waveOutRestart(device_) != MMSYSERR_NOERROR)
            return false;
        paused_ = 0;
        return true;
    }

    // A device left open by a failed stop is closed before a new one opens.
    if (device_ && !Stop())
        return false;
    if (!queueReady_ || samplesPerSec == 0)
        return false;
    for (const WAVEHDR& buffer : buffers_) {
        if (!buffer.lpData)
            return false;
    }

    format_.nSamplesPerSec = samplesPerSec;
    format_.nAvgBytesPerSec = 2 * samplesPerSec;
    ring_.Reset();
    paused_ = 0;
    heldBuffers_ = 0;
    ResetEvent(queueReady_);

    // The previous thread has ended or was given up by Stop; either way its
    // handle is no longer needed.
    if (thread_) {
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    threadEnded_ = 0;
    DWORD threadId = 0;
    // The id is recorded before the thread runs: the thread compares itself with it.
    threadId_ = 0;
    HANDLE thread = CreateThread(nullptr, 0, waveOutThread, this, CREATE_SUSPENDED, &threadId);
    if (!thread) {
        DWORD error = GetLastError();
        threadEnded_ = 1;
        ReportSystemError(error, TRUE, "CVoicePlay::Play->CreateThread(...)");
        return false;
    }
    threadId_ = threadId;
    thread_ = thread;
    ResumeThread(thread);

    // A notification posted before the thread owns its queue would be lost, and
    // a lost MM_WOM_DONE takes a wave buffer out of circulation for good.
    HANDLE waits[2] = {queueReady_, thread};
    if (WaitForMultipleObjects(2, waits, FALSE, QUEUE_READY_TIMEOUT_MS) != WAIT_OBJECT_0) {
        PostThreadMessageA(threadId, MM_WOM_CLOSE, 0, 0);
        WaitForThreadEnd(QUEUE_READY_TIMEOUT_MS);
        return false;
    }

    HWAVEOUT device = nullptr;
    if (waveOutOpen(&device, WAVE_MAPPER, &format_, (DWORD_PTR)threadId, (DWORD_PTR)this, CALLBACK_THREAD) !=
        MMSYSERR_NOERROR) {
        PostThreadMessageA(threadId, MM_WOM_CLOSE, 0, 0);
        // Closed means closed: the thread is gone before Play answers.
        WaitForThreadEnd(THREAD_END_POLL_MS * THREAD_END_POLLS);
        return false;
    }
    device_ = device;
    started_ = 1;

    // Every opening begins with 16 x 512 bytes of silence.
    for (WAVEHDR& buffer : buffers_) {
        LPSTR data = buffer.lpData;
        ZeroMemory(&buffer, sizeof buffer);
        buffer.lpData = data;
        ZeroMemory(data, WAVE_BLOCK_SIZE);
        buffer.dwBufferLength = PRIMING_BYTES;
        if (waveOutPrepareHeader(device_, &buffer, sizeof buffer) != MMSYSERR_NOERROR) {
            Stop();
            return false;
        }
        InterlockedIncrement(&heldBuffers_);
        if (waveOutWrite(device_, &buffer, sizeof buffer) != MMSYSERR_NOERROR) {
            InterlockedDecrement(&heldBuffers_);
            Stop();
            return false;
        }
    }
    SetVolume(volume_);
    return true;
}

DWORD WINAPI CVoicePlay::waveOutThread(void* param)
{
    CVoicePlay* engine = static_cast<CVoicePlay*>(param);
    OutputDebugStringA("ThreadBegin\n");

    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // creates the queue
    SetEvent(engine->queueReady_);

    for (;;) {
        SetLastError(0);
        BOOL result = GetMessageA(&msg, nullptr, 0, 0);
        if (result > 0) {
            if (msg.message == MM_WOM_CLOSE)
                break;
            if (msg.message == MM_WOM_DONE)
                engine->OnBufferDone((HWAVEOUT)msg.wParam, (WAVEHDR*)msg.lParam);
        } else {
            ReportSystemError(GetLastError(), TRUE, "waveOutThread(dwResult == FALSE)");
        }
    }

    // A thread that Stop has given up on must not mark a newer one as ended.
    if (engine->threadId_ == GetCurrentThreadId())
        engine->threadEnded_ = 1;
    return 0;
}

void CVoicePlay::OnBufferDone(HWAVEOUT device, WAVEHDR* buffer)
{
    if (buffer < buffers_ || buffer >= buffers_ + WAVE_BUFFER_COUNT)
        return;  // not one of ours
    bool hadSound = buffer->dwBufferLength > 0;
    // Counted as held before the ring buffer is read, so that IsPlayedOut never
    // sees an empty ring buffer while the last data is on its way to the device.
    InterlockedIncrement(&heldBuffers_);
    bool handBack = FillBuffer(buffer);
    bool carriesSound = handBack && buffer->dwBufferLength > 0;
    if (!carriesSound)
        InterlockedDecrement(&heldBuffers_);
    if (hadSound)
        InterlockedDecrement(&heldBuffers_);
    if (handBack && waveOutWrite(device, buffer, sizeof *buffer) != MMSYSERR_NOERROR && carriesSound)
        InterlockedDecrement(&heldBuffers_);
}

bool CVoicePlay::FillBuffer(WAVEHDR* buffer)
{
    ZeroMemory(buffer->lpData, WAVE_BLOCK_SIZE);
    buffer->dwBufferLength = 0;
    if (!started_)
        return false;

    DWORD held = ring_.GetDataSize();
    if (held == 0)
        return true;  // goes back empty: the sixteen buffers keep circulating
    DWORD length = held < REFILL_BYTES ? held : REFILL_BYTES;
    buffer->dwBufferLength = ring_.Read(buffer->lpData, length);
    // One step for each refill that carries sound.
    if (buffer->dwBufferLength > 0 && notify_) {
        HWND window = notify_->GetStepWindow();
        if (window)
            PostMessageA(window, g_uPlayerStepMsg, 0, 0);
    }
    return true;
}

bool CVoicePlay::WaitForThreadEnd(DWORD timeoutMs)
{
    if (!thread_)
        return true;
    // Polled in slices of 100 ms; the handle also tells when a thread that
    // has set its flag has really returned.
    for (DWORD waited = 0; waited < timeoutMs; waited += THREAD_END_POLL_MS) {
        if (WaitForSingleObject(thread_, THREAD_END_POLL_MS) == WAIT_OBJECT_0)
            return true;
    }
    return false;
}

bool CVoicePlay::Stop()
{
    // A device that a failed stop left open is still closed here.
    if (!started_ && !device_)
        return true;

    if (started_)
        PostThreadMessageA(threadId_, MM_WOM_CLOSE, 0, 0);
    paused_ = 0;
    started_ = 0;
    WaitForThreadEnd(THREAD_END_POLL_MS * THREAD_END_POLLS);
    threadEnded_ = 1;
    ring_.Reset();
    return CloseDevice();
}

bool CVoicePlay::CloseDevice()
{
    if (!device_)
        return true;
    // The reset hands every queued buffer back; the device keeps nothing.
    if (waveOutReset(device_) != MMSYSERR_NOERROR)
        return false;
    for (WAVEHDR& buffer : buffers_) {
        if (waveOutUnprepareHeader(device_, &buffer, sizeof buffer) != MMSYSERR_NOERROR)
            return false;
    }
    if (waveOutClose(device_) != MMSYSERR_NOERROR)
        return false;
    device_ = nullptr;
    heldBuffers_ = 0;
    return true;
}

bool CVoicePlay::Pause()
{
    HWAVEOUT device = device_;
    paused_ = device && started_ && waveOutPause(device) == MMSYSERR_NOERROR;
    return paused_ != 0;
}

bool CVoicePlay::IsOpen() { return device_ != nullptr; }

bool CVoicePlay::IsPaused() { return paused_ != 0; }

bool CVoicePlay::SetVolume(DWORD level)
{
    if (level > MAX_VOLUME)
        level = MAX_VOLUME;
    HWAVEOUT device = device_;
    if (device) {
        DWORD channel = level * 256;
        if (waveOutSetVolume(device, channel | (channel << 16)) != MMSYSERR_NOERROR)
            return false;
    }
    volume_ = level;
    return true;
}

DWORD CVoicePlay::GetVolume()
{
    HWAVEOUT device = device_;
    if (!device)
        return volume_;
    DWORD value = 0;
    if (waveOutGetVolume(device, &value) != MMSYSERR_NOERROR)
        return 0;
    return (value >> 8) & 0xFF;  // high byte of the left channel
}

bool CVoicePlay::IsPlayedOut() { return ring_.GetDataSize() == 0 && heldBuffers_ <= 0; }

bool CVoicePlay::CanRelease()
{
    if (device_)
        return false;
    return !thread_ || WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0;
}
