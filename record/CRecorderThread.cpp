#include "record/CRecorderThread.h"

#include <math.h>
#include <process.h>

#include "convert/CGreetingConverter.h"
#include "convert/CMfResampler.h"
#include "record/LevelMeter.h"
#include "wave/VoiceFormats.h"

namespace {

// Thread messages of the recorder thread.
enum {
    RC_OPEN = WM_APP + 1,  // wParam: the device
    RC_RECORD,
    RC_STOP,
    RC_DISCARD,
    RC_SAVE,
    RC_QUIT,
};

const DWORD READY_TIMEOUT_MS = 5000;
const DWORD BUFFER_COUNT = 8;
const DWORD BUFFERS_PER_SECOND = 10;
const float PCM_SCALE = 32768.0f;

// The device's own formats from its capabilities, most preferred first.
struct NativeFormat {
    DWORD flag;
    DWORD rate;
    WORD channels;
};
const NativeFormat NATIVE_FORMATS[] = {
    {WAVE_FORMAT_48M16, 48000, 1}, {WAVE_FORMAT_48S16, 48000, 2}, {WAVE_FORMAT_4M16, 44100, 1},
    {WAVE_FORMAT_4S16, 44100, 2},  {WAVE_FORMAT_2M16, 22050, 1},  {WAVE_FORMAT_2S16, 22050, 2},
    {WAVE_FORMAT_1M16, 11025, 1},  {WAVE_FORMAT_1S16, 11025, 2},
};

short Quantise(float sample)
{
    float scaled = sample * PCM_SCALE;
    if (!(scaled > -32768.0f))
        return -32768;
    if (scaled >= 32767.0f)
        return 32767;
    return (short)lrintf(scaled);
}

LPARAM Hundredths(double db) { return (LPARAM)lround(db * 100.0); }

} // namespace

std::shared_ptr<CRecorderThread> CRecorderThread::Start(HWND window, DWORD deviceRate)
{
    std::shared_ptr<CRecorderThread> self(new (std::nothrow) CRecorderThread(window, deviceRate));
    if (!self || !self->bufferEvent_.IsValid() || !self->ready_.IsValid() || self->take_.Reserve() != 0)
        return nullptr;
    // The thread holds its own reference for as long as it runs.
    auto* hold = new (std::nothrow) std::shared_ptr<CRecorderThread>(self);
    if (!hold)
        return nullptr;
    unsigned id = 0;
    self->thread_.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadMain, hold, 0, &id)));
    if (!self->thread_.IsValid()) {
        delete hold;
        return nullptr;
    }
    self->threadId_ = id;
    if (WaitForSingleObject(self->ready_.Get(), READY_TIMEOUT_MS) != WAIT_OBJECT_0) {
        self->Shutdown(0);
        return nullptr;
    }
    return self;
}

CRecorderThread::CRecorderThread(HWND window, DWORD deviceRate)
    : window_(window),
      quiet_(false),
      deviceRate_(deviceRate),
      thread_(nullptr),
      threadId_(0),
      ready_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      save_(),
      takeSamples_(0),
      bufferEvent_(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      device_(nullptr),
      deviceId_(WAVE_MAPPER),
      format_(),
      next_(0),
      lastHeard_(0),
      recording_(false)
{
}

CRecorderThread::~CRecorderThread() {}

bool CRecorderThread::Command(UINT command, WPARAM wParam)
{
    return PostThreadMessageA(threadId_, command, wParam, 0) != FALSE;
}

bool CRecorderThread::Open(UINT device) { return Command(RC_OPEN, device); }
bool CRecorderThread::Record() { return Command(RC_RECORD, 0); }
bool CRecorderThread::Stop() { return Command(RC_STOP, 0); }
bool CRecorderThread::Discard() { return Command(RC_DISCARD, 0); }

bool CRecorderThread::Save(const char* target, WORD tag, const GreetingFixChoice& choice)
{
    lstrcpynA(save_.target, target, sizeof save_.target);
    save_.tag = tag;
    save_.choice = choice;
    // The posted message orders these writes before the thread's reads.
    return Command(RC_SAVE, 0);
}

bool CRecorderThread::Shutdown(DWORD timeoutMs)
{
    quiet_.store(true);
    if (!thread_.IsValid())
        return true;
    Command(RC_QUIT, 0);
    return WaitForSingleObject(thread_.Get(), timeoutMs) == WAIT_OBJECT_0;
}

void CRecorderThread::Tell(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!quiet_.load())
        PostMessageA(window_, message, wParam, lParam);
}

unsigned __stdcall CRecorderThread::ThreadMain(void* param)
{
    std::unique_ptr<std::shared_ptr<CRecorderThread>> hold(static_cast<std::shared_ptr<CRecorderThread>*>(param));
    (*hold)->Run();
    return 0;
}

void CRecorderThread::Run()
{
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the queue exists from here
    SetEvent(ready_.Get());
    HANDLE event = bufferEvent_.Get();
    for (;;) {
        DWORD timeout = INFINITE;
        if (device_) {
            DWORD silent = GetTickCount() - lastHeard_;
            timeout = silent < DEVICE_SILENCE_LIMIT_MS ? DEVICE_SILENCE_LIMIT_MS - silent : 0;
        }
        DWORD wait = MsgWaitForMultipleObjects(1, &event, FALSE, timeout, QS_POSTMESSAGE);
        if (wait == WAIT_OBJECT_0) {
            CollectBuffers();
        } else if (wait == WAIT_OBJECT_0 + 1) {
            bool more = true;
            while (more && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                more = OnCommand(msg);
            if (!more)
                break;
        } else if (wait == WAIT_TIMEOUT) {
            OnDeviceSilent();
        }
    }
    if (recording_)
        EndTake(TAKE_END_ASKED);
    CloseDevice();
}

bool CRecorderThread::OnCommand(const MSG& msg)
{
    switch (msg.message) {
    case RC_OPEN:
        OpenDevice((UINT)msg.wParam);
        return true;
    case RC_RECORD:
        BeginTake();
        return true;
    case RC_STOP:
        if (recording_ && device_) {
            // The buffers come back with what they hold: the take ends with
            // everything heard up to now.
            // (Collecting hands them to the device again, in their order.)
            waveInReset(device_);
            CollectBuffers();
            EndTake(TAKE_END_ASKED);
            waveInStart(device_);
        } else if (recording_) {
            EndTake(TAKE_END_ASKED);
        }
        return true;
    case RC_DISCARD:
        if (!recording_) {
            take_.Discard();
            takeSamples_.store(0);
            Tell(WM_RECORDER_EVENT, RECORDER_DISCARDED, 0);
        }
        return true;
    case RC_SAVE:
        SaveTake();
        return true;
    case RC_QUIT:
        return false;
    default:
        return true;
    }
}

void CRecorderThread::OpenDevice(UINT device)
{
    if (recording_)
        EndTake(TAKE_END_ASKED);
    CloseDevice();
    deviceId_ = device;
    MMRESULT result = deviceRate_ ? OpenAt(device, deviceRate_, 1) : OpenAt(device, VOICE_SAMPLES_PER_SEC, 1);
    if (result == WAVERR_BADFORMAT)
        result = OpenNative(device);
    if (result == MMSYSERR_NOERROR && format_.nSamplesPerSec != VOICE_SAMPLES_PER_SEC) {
        resampler_.reset(new (std::nothrow) CMfResampler);
        if (!resampler_ || FAILED(resampler_->Open(format_.nSamplesPerSec, VOICE_SAMPLES_PER_SEC))) {
            CloseDevice();
            Tell(WM_RECORDER_EVENT, RECORDER_OPEN_FAILED, (LPARAM)CONVERT_ERROR_NO_RESAMPLER);
            return;
        }
    }
    if (result != MMSYSERR_NOERROR) {
        CloseDevice();
        Tell(WM_RECORDER_EVENT, RECORDER_OPEN_FAILED, (LPARAM)result);
        return;
    }
    // A tenth of a second per buffer: the meter's pace.
    const DWORD bytes = format_.nAvgBytesPerSec / BUFFERS_PER_SECOND;
    buffers_.assign(BUFFER_COUNT, std::vector<BYTE>(bytes));
    headers_.assign(BUFFER_COUNT, WAVEHDR());
    for (DWORD i = 0; i < BUFFER_COUNT && result == MMSYSERR_NOERROR; ++i) {
        headers_[i].lpData = reinterpret_cast<LPSTR>(buffers_[i].data());
        headers_[i].dwBufferLength = bytes;
        result = waveInPrepareHeader(device_, &headers_[i], sizeof headers_[i]);
        if (result == MMSYSERR_NOERROR)
            result = waveInAddBuffer(device_, &headers_[i], sizeof headers_[i]);
    }
    next_ = 0;
    if (result == MMSYSERR_NOERROR)
        result = waveInStart(device_);
    if (result != MMSYSERR_NOERROR) {
        CloseDevice();
        Tell(WM_RECORDER_EVENT, RECORDER_OPEN_FAILED, (LPARAM)result);
        return;
    }
    lastHeard_ = GetTickCount();
    Tell(WM_RECORDER_EVENT, RECORDER_MONITORING, resampler_ ? 1 : 0);
}

MMRESULT CRecorderThread::OpenAt(UINT device, DWORD rate, WORD channels)
{
    format_ = WAVEFORMATEX();
    format_.wFormatTag = WAVE_FORMAT_PCM;
    format_.nChannels = channels;
    format_.nSamplesPerSec = rate;
    format_.wBitsPerSample = 16;
    format_.nBlockAlign = (WORD)(channels * 2);
    format_.nAvgBytesPerSec = rate * format_.nBlockAlign;
    return waveInOpen(&device_, device, &format_, (DWORD_PTR)bufferEvent_.Get(), 0, CALLBACK_EVENT);
}

// The device offers no 8000 Hz: its own rate, the highest its capabilities list.
MMRESULT CRecorderThread::OpenNative(UINT device)
{
    WAVEINCAPSA caps = {};
    MMRESULT result = waveInGetDevCapsA(device, &caps, sizeof caps);
    if (result != MMSYSERR_NOERROR)
        return result;
    result = WAVERR_BADFORMAT;
    for (const NativeFormat& native : NATIVE_FORMATS) {
        if (!(caps.dwFormats & native.flag))
            continue;
        result = OpenAt(device, native.rate, native.channels);
        if (result != WAVERR_BADFORMAT)
            break;
    }
    return result;
}

void CRecorderThread::CloseDevice()
{
    if (device_) {
        waveInReset(device_);
        for (WAVEHDR& header : headers_) {
            if (header.dwFlags & WHDR_PREPARED)
                waveInUnprepareHeader(device_, &header, sizeof header);
        }
        waveInClose(device_);
        device_ = nullptr;
    }
    headers_.clear();
    buffers_.clear();
    resampler_.reset();
}

void CRecorderThread::CollectBuffers()
{
    if (!device_ || headers_.empty())
        return;
    for (size_t n = 0; n < headers_.size(); ++n) {
        WAVEHDR& header = headers_[next_];
        if (!(header.dwFlags & WHDR_DONE))
            break;
        lastHeard_ = GetTickCount();
        Hear(header);
        header.dwFlags &= ~WHDR_DONE;
        header.dwBytesRecorded = 0;
        waveInAddBuffer(device_, &header, sizeof header);
        next_ = (next_ + 1) % headers_.size();
    }
}

void CRecorderThread::Hear(const WAVEHDR& header)
{
    const short* samples = reinterpret_cast<const short*>(header.lpData);
    const DWORD count = header.dwBytesRecorded / sizeof(short);
    if (count == 0)
        return;
    SignalLevel level = MeasureLevel(samples, count);
    Tell(WM_RECORDER_LEVEL, (WPARAM)Hundredths(level.peakDb), Hundredths(level.rmsDb));
    if (!recording_)
        return;
    DWORD code = Keep(samples, count / format_.nChannels);
    if (code != 0)
        EndTake((LPARAM)code);
    else if (take_.Samples() >= TAKE_MAX_SAMPLES)
        EndTake(TAKE_END_LIMIT);
}

// Mixed down to mono and brought to 8000 Hz where the device has another rate.
DWORD CRecorderThread::Keep(const short* samples, DWORD frames)
{
    if (format_.nChannels == 1 && !resampler_)
        return KeepMono(samples, frames);
    mono_.resize(frames);
    floats_.resize(frames);
    for (DWORD i = 0; i < frames; ++i) {
        int sum = 0;
        for (WORD c = 0; c < format_.nChannels; ++c)
            sum += samples[i * format_.nChannels + c];
        floats_[i] = (float)sum / format_.nChannels / PCM_SCALE;
        mono_[i] = (short)(sum / format_.nChannels);
    }
    if (!resampler_)
        return KeepMono(mono_.data(), frames);
    resampled_.clear();
    if (FAILED(resampler_->Process(floats_.data(), frames, &resampled_)))
        return ERROR_INVALID_DATA;
    mono_.resize(resampled_.size());
    for (size_t i = 0; i < resampled_.size(); ++i)
        mono_[i] = Quantise(resampled_[i]);
    return KeepMono(mono_.data(), (DWORD)mono_.size());
}

DWORD CRecorderThread::KeepMono(const short* mono, DWORD count)
{
    DWORD room = TAKE_MAX_SAMPLES - take_.Samples();
    DWORD code = take_.Append(mono, count < room ? count : room);
    takeSamples_.store(take_.Samples());
    return code;
}

void CRecorderThread::BeginTake()
{
    if (recording_ || !device_)
        return;
    takeSamples_.store(0);
    DWORD code = take_.Begin();
    if (code != 0) {
        Tell(WM_RECORDER_EVENT, RECORDER_TAKE_ENDED, (LPARAM)code);
        return;
    }
    recording_ = true;
    Tell(WM_RECORDER_EVENT, RECORDER_RECORDING, 0);
}

void CRecorderThread::EndTake(LPARAM reason)
{
    recording_ = false;
    DWORD code = take_.End();
    takeSamples_.store(take_.Samples());
    Tell(WM_RECORDER_EVENT, RECORDER_TAKE_ENDED, code != 0 && reason == TAKE_END_ASKED ? (LPARAM)code : reason);
}

// The driver has handed nothing back for too long: the device has gone (a
// USB microphone pulled out, a sound server's source removed). What was
// recorded up to then is kept.
void CRecorderThread::OnDeviceSilent()
{
    const bool cut = recording_;
    if (cut)
        EndTake(TAKE_END_ASKED);
    CloseDevice();
    Tell(WM_RECORDER_EVENT, RECORDER_DEVICE_LOST, cut ? 1 : 0);
}

// The device rests while the take is read; monitoring goes on afterwards.
void CRecorderThread::SaveTake()
{
    if (recording_)
        EndTake(TAKE_END_ASKED);
    const bool wasOpen = device_ != nullptr;
    CloseDevice();
    DWORD code;
    {
        // The converter's own path: an 8000 Hz take passes sample for sample
        // into the fix and the encoder.
        CGreetingConverter converter;
        converter.SetFix(save_.choice);
        code = converter.Convert(take_.Path(), save_.target, save_.tag, nullptr, nullptr);
    }
    Tell(WM_RECORDER_EVENT, RECORDER_SAVED, (LPARAM)code);
    if (wasOpen)
        OpenDevice(deviceId_);
}
