#include "audio/CVoicePlay.h"

#include <new>
#include <string.h>

#include "app/CommonServices.h"
#include "app/ScopedWin.h"
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

// What waveOutThread does on the device for the other threads.
enum DeviceOperation { DEVICE_PAUSE, DEVICE_RESUME, DEVICE_SET_VOLUME, DEVICE_GET_VOLUME };
const UINT WM_DEVICE_REQUEST = WM_APP + 1;  // thread message, lParam: the DeviceRequest
const DWORD DEVICE_REQUEST_TIMEOUT_MS = 3000;
const DWORD DEVICE_REQUEST_POLL_MS = 50;

// One request, shared by the thread that asks and waveOutThread; the last of
// the two to let go of it deletes it, so that an answer that comes too late
// writes into nothing that is gone.
struct DeviceRequest {
    int operation;
    DWORD value;
    MMRESULT result;
    DWORD answer;
    HANDLE done;
    volatile LONG refs;
};

void ReleaseRequest(DeviceRequest* request)
{
    if (InterlockedDecrement(&request->refs) == 0) {
        CloseHandle(request->done);
        delete request;
    }
}

MMRESULT CallDevice(HWAVEOUT device, int operation, DWORD value, DWORD* answer)
{
    switch (operation) {
    case DEVICE_PAUSE:
        return waveOutPause(device);
    case DEVICE_SET_VOLUME:
        return waveOutSetVolume(device, value);
    case DEVICE_GET_VOLUME:
        return waveOutGetVolume(device, answer);
    default:
        return MMSYSERR_NOTSUPPORTED;
    }
}

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
      heldBuffers_(0),
      queuedCount_(0),
      parkedCount_(0),
      parkTimer_(0)
{
    InitializeCriticalSection(&deviceLock_);
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
    DeleteCriticalSection(&deviceLock_);
}

bool CVoicePlay::Play(DWORD samplesPerSec)
{
    if (started_) {
        if (!paused_)
            return true;  // already playing
        if (OnDevice(DEVICE_RESUME, 0, nullptr) != MMSYSERR_NOERROR)
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
    MMRESULT opened;
    {
        ScopedCritSec hold(&deviceLock_);
        opened = waveOutOpen(&device, WAVE_MAPPER, &format_, (DWORD_PTR)threadId, (DWORD_PTR)this, CALLBACK_THREAD);
        if (opened == MMSYSERR_NOERROR) {
            device_ = device;
            started_ = 1;
        }
    }
    if (opened != MMSYSERR_NOERROR) {
        PostThreadMessageA(threadId, MM_WOM_CLOSE, 0, 0);
        // Closed means closed: the thread is gone before Play answers.
        WaitForThreadEnd(THREAD_END_POLL_MS * THREAD_END_POLLS);
        return false;
    }

    {
        ScopedCritSec hold(&deviceLock_);
        queuedCount_ = 0;
    }
    // Every opening begins with 16 x 512 bytes of silence.
    for (WAVEHDR& buffer : buffers_) {
        LPSTR data = buffer.lpData;
        ZeroMemory(&buffer, sizeof buffer);
        buffer.lpData = data;
        ZeroMemory(data, WAVE_BLOCK_SIZE);
        buffer.dwBufferLength = PRIMING_BYTES;
        bool primed;
        {
            ScopedCritSec hold(&deviceLock_);
            InterlockedIncrement(&heldBuffers_);
            primed = waveOutPrepareHeader(device_, &buffer, sizeof buffer) == MMSYSERR_NOERROR &&
                     WriteToDevice(device_, &buffer) == MMSYSERR_NOERROR;
            if (!primed)
                InterlockedDecrement(&heldBuffers_);
        }
        if (!primed) {
            Stop();
            return false;
        }
    }
    SetVolume(volume_);
    return true;
}

// Buffers that come back while the ring buffer is empty are not handed back
// empty: Wine's device, given a stream of zero-length buffers, now and then
// stops returning buffers at all, and the playback would hang. They wait here
// instead and are refilled, in the order they came back, as soon as the ring
// buffer holds sound again (checked every 10 ms by a thread timer).
DWORD WINAPI CVoicePlay::waveOutThread(void* param)
{
    CVoicePlay* engine = static_cast<CVoicePlay*>(param);
    OutputDebugStringA("ThreadBegin\n");

    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // creates the queue
    engine->parkedCount_ = 0;
    engine->parkTimer_ = 0;
    SetEvent(engine->queueReady_);

    HWAVEOUT device = nullptr;
    for (;;) {
        SetLastError(0);
        BOOL result = GetMessageA(&msg, nullptr, 0, 0);
        if (result <= 0) {
            ReportSystemError(GetLastError(), TRUE, "waveOutThread(dwResult == FALSE)");
            continue;
        }
        if (msg.message == MM_WOM_CLOSE)
            break;
        if (msg.message == MM_WOM_DONE) {
            WAVEHDR* buffer = (WAVEHDR*)msg.lParam;
            if (buffer < engine->buffers_ || buffer >= engine->buffers_ + WAVE_BUFFER_COUNT)
                continue;  // not one of ours
            // The notice of a reset whose buffer has been written again since.
            if (buffer->dwFlags & WHDR_INQUEUE)
                continue;
            device = (HWAVEOUT)msg.wParam;
            engine->TakenFromDevice(buffer);
            if (buffer->dwBufferLength > 0)
                InterlockedDecrement(&engine->heldBuffers_);  // back from the device
            // Behind buffers already waiting it waits too, so that the order holds.
            if (engine->parkedCount_ > 0 || !engine->HandBack(device, buffer))
                engine->Park(buffer);
        } else if (msg.message == WM_DEVICE_REQUEST && msg.hwnd == nullptr) {
            DeviceRequest* request = (DeviceRequest*)msg.lParam;
            if (request->operation == DEVICE_RESUME) {
                request->result = engine->Resume();
            } else {
                ScopedCritSec hold(&engine->deviceLock_);
                request->result = engine->device_ ? CallDevice(engine->device_, request->operation, request->value,
                                                               &request->answer)
                                                  : MMSYSERR_INVALHANDLE;
            }
            // Set here, before the next timer tick could refill a paused device.
            if (request->result == MMSYSERR_NOERROR && request->operation == DEVICE_PAUSE)
                engine->paused_ = 1;
            else if (request->result == MMSYSERR_NOERROR && request->operation == DEVICE_RESUME)
                engine->paused_ = 0;
            SetEvent(request->done);
            ReleaseRequest(request);
        } else if (msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == engine->parkTimer_) {
            engine->RefillParked(device ? device : engine->device_);
        }
        if (engine->parkedCount_ > 0 && !engine->parkTimer_) {
            engine->parkTimer_ = SetTimer(nullptr, 0, PARKED_POLL_MS, nullptr);
        } else if (engine->parkedCount_ == 0 && engine->parkTimer_) {
            KillTimer(nullptr, engine->parkTimer_);
            engine->parkTimer_ = 0;
        }
    }
    if (engine->parkTimer_)
        KillTimer(nullptr, engine->parkTimer_);
    engine->parkTimer_ = 0;
    // Requests that came too late are answered: there is no device any more.
    while (PeekMessageA(&msg, nullptr, WM_DEVICE_REQUEST, WM_DEVICE_REQUEST, PM_REMOVE)) {
        DeviceRequest* request = (DeviceRequest*)msg.lParam;
        request->result = MMSYSERR_INVALHANDLE;
        SetEvent(request->done);
        ReleaseRequest(request);
    }

    // A thread that Stop has given up on must not mark a newer one as ended.
    if (engine->threadId_ == GetCurrentThreadId())
        engine->threadEnded_ = 1;
    return 0;
}

void CVoicePlay::Park(WAVEHDR* buffer)
{
    if (started_ && parkedCount_ < WAVE_BUFFER_COUNT)
        parked_[parkedCount_++] = buffer;
}

void CVoicePlay::RefillParked(HWAVEOUT device)
{
    // Nothing drains while the device is paused.
    int handed = 0;
    while (handed < parkedCount_ && !paused_ && ring_.GetDataSize() > 0 && HandBack(device, parked_[handed]))
        ++handed;
    for (int i = handed; i < parkedCount_; ++i)
        parked_[i - handed] = parked_[i];
    parkedCount_ -= handed;
}

// Refills a finished buffer and gives it back to the device when it carries
// sound. False when it stays here: the engine is stopped or the ring buffer empty.
bool CVoicePlay::HandBack(HWAVEOUT device, WAVEHDR* buffer)
{
    // Counted as held before the ring buffer is read, so that IsPlayedOut never
    // sees an empty ring buffer while the last sound is on its way to the device.
    InterlockedIncrement(&heldBuffers_);
    if (!FillBuffer(buffer) || buffer->dwBufferLength == 0) {
        InterlockedDecrement(&heldBuffers_);
        return false;
    }
    ScopedCritSec hold(&deviceLock_);
    if (WriteToDevice(device, buffer) != MMSYSERR_NOERROR) {
        // The buffer no longer circulates; it holds no sound for the device.
        InterlockedDecrement(&heldBuffers_);
    }
    return true;
}

// Writes a buffer and notes it as the device's newest (under deviceLock_).
MMRESULT CVoicePlay::WriteToDevice(HWAVEOUT device, WAVEHDR* buffer)
{
    MMRESULT result = waveOutWrite(device, buffer, sizeof *buffer);
    if (result == MMSYSERR_NOERROR && queuedCount_ < WAVE_BUFFER_COUNT)
        queued_[queuedCount_++] = buffer;
    return result;
}

void CVoicePlay::TakenFromDevice(WAVEHDR* buffer)
{
    ScopedCritSec hold(&deviceLock_);
    for (int i = 0; i < queuedCount_; ++i) {
        if (queued_[i] == buffer) {
            for (int j = i + 1; j < queuedCount_; ++j)
                queued_[j - 1] = queued_[j];
            --queuedCount_;
            return;
        }
    }
}

// Ends a pause. Not with waveOutRestart: Wine 8's ALSA driver, restarted after a
// pause long enough for the sound server to run dry, reads past its buffer
// while it applies the volume, and the fault leaves the device locked for good.
// The device is reset instead, which hands back every buffer it holds, and
// those are written again in their order. The part of the oldest one that was
// heard before the pause is heard again (at most one refill, 20 ms): the
// position the device reports cannot be trusted to cut it off.
MMRESULT CVoicePlay::Resume()
{
    ScopedCritSec hold(&deviceLock_);
    if (!device_)
        return MMSYSERR_INVALHANDLE;
    WAVEHDR* again[WAVE_BUFFER_COUNT];
    int count = queuedCount_;
    for (int i = 0; i < count; ++i)
        again[i] = queued_[i];
    if (waveOutReset(device_) != MMSYSERR_NOERROR)
        return waveOutRestart(device_);
    queuedCount_ = 0;
    for (int i = 0; i < count; ++i) {
        if (WriteToDevice(device_, again[i]) != MMSYSERR_NOERROR)
            InterlockedDecrement(&heldBuffers_);
    }
    // A device that a reset leaves paused plays again.
    return waveOutRestart(device_);
}

bool CVoicePlay::FillBuffer(WAVEHDR* buffer)
{
    ZeroMemory(buffer->lpData, WAVE_BLOCK_SIZE);
    buffer->dwBufferLength = 0;
    if (!started_)
        return false;

    DWORD held = ring_.GetDataSize();
    if (held == 0)
        return true;  // nothing to hand over: waveOutThread keeps the buffer until there is
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
    ScopedCritSec hold(&deviceLock_);
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
    queuedCount_ = 0;
    return true;
}

// Has waveOutThread carry out an operation on the device and waits (bounded)
// for its answer. Without a running thread there is no device to call.
MMRESULT CVoicePlay::OnDevice(int operation, DWORD value, DWORD* answer)
{
    if (!started_ || !device_)
        return MMSYSERR_INVALHANDLE;
    if (GetCurrentThreadId() == threadId_) {
        ScopedCritSec hold(&deviceLock_);
        return CallDevice(device_, operation, value, answer);
    }
    DeviceRequest* request = new (std::nothrow) DeviceRequest{operation, value, MMSYSERR_ERROR, 0, nullptr, 2};
    if (!request)
        return MMSYSERR_NOMEM;
    request->done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!request->done || !PostThreadMessageA(threadId_, WM_DEVICE_REQUEST, 0, (LPARAM)request)) {
        if (request->done)
            CloseHandle(request->done);
        delete request;
        return MMSYSERR_INVALHANDLE;
    }
    MMRESULT result = MMSYSERR_ERROR;
    for (DWORD waited = 0; waited < DEVICE_REQUEST_TIMEOUT_MS; waited += DEVICE_REQUEST_POLL_MS) {
        if (WaitForSingleObject(request->done, DEVICE_REQUEST_POLL_MS) == WAIT_OBJECT_0) {
            result = request->result;
            if (answer)
                *answer = request->answer;
            break;
        }
        if (threadEnded_)
            break;  // ended without answering; the request is its to drop
    }
    ReleaseRequest(request);
    return result;
}

bool CVoicePlay::Pause()
{
    paused_ = OnDevice(DEVICE_PAUSE, 0, nullptr) == MMSYSERR_NOERROR;
    return paused_ != 0;
}

bool CVoicePlay::IsOpen() { return device_ != nullptr; }

// A pause that raced with a stop does not outlive the device.
bool CVoicePlay::IsPaused() { return paused_ && started_; }

bool CVoicePlay::SetVolume(DWORD level)
{
    if (level > MAX_VOLUME)
        level = MAX_VOLUME;
    if (started_ && device_) {
        DWORD channel = level * 256;
        if (OnDevice(DEVICE_SET_VOLUME, channel | (channel << 16), nullptr) != MMSYSERR_NOERROR)
            return false;
    }
    volume_ = level;
    return true;
}

DWORD CVoicePlay::GetVolume()
{
    if (!started_ || !device_)
        return volume_;
    DWORD value = 0;
    if (OnDevice(DEVICE_GET_VOLUME, 0, &value) != MMSYSERR_NOERROR)
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
