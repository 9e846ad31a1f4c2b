#include "playback/CVoicePlay.h"

#include "app/ScopedWin.h"
#include "playback/CPlaybackListener.h"

namespace {

const DWORD INITIAL_VOLUME = 100;
const DWORD MAX_VOLUME = 255;

// The level on both channels, as waveOutSetVolume takes it.
DWORD DeviceVolume(DWORD level)
{
    DWORD channel = level * 256;
    return channel | (channel << 16);
}

} // namespace

CVoicePlay::CVoicePlay() : ring_(RING_BUFFER_SIZE), output_(&ring_), volume_(INITIAL_VOLUME), notify_(nullptr)
{
    InitializeCriticalSection(&lock_);
    ring_.Reset();
}

CVoicePlay::~CVoicePlay()
{
    Stop();
    DeleteCriticalSection(&lock_);
}

bool CVoicePlay::Play(DWORD samplesPerSec, bool paused)
{
    ScopedCritSec hold(&lock_);
    if (output_.IsOpen())
        return Resume();
    if (samplesPerSec == 0)
        return false;
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = samplesPerSec;
    format.nAvgBytesPerSec = 2 * samplesPerSec;
    format.nBlockAlign = 2;
    format.wBitsPerSample = 16;
    ring_.Reset();
    return output_.Open(format, DeviceVolume(volume_), paused, notify_ ? notify_->GetStepWindow() : nullptr);
}

bool CVoicePlay::Resume()
{
    ScopedCritSec hold(&lock_);
    return output_.IsOpen() && (!output_.IsPaused() || output_.Resume() == MMSYSERR_NOERROR);
}

bool CVoicePlay::Stop()
{
    ScopedCritSec hold(&lock_);
    bool closed = output_.Close();
    ring_.Reset();
    return closed;
}

bool CVoicePlay::Pause()
{
    ScopedCritSec hold(&lock_);
    return output_.IsOpen() && output_.Pause() == MMSYSERR_NOERROR;
}

bool CVoicePlay::SetVolume(DWORD level)
{
    ScopedCritSec hold(&lock_);
    if (level > MAX_VOLUME)
        level = MAX_VOLUME;
    if (output_.IsOpen() && output_.SetVolume(DeviceVolume(level)) != MMSYSERR_NOERROR)
        return false;
    volume_ = level;
    return true;
}

DWORD CVoicePlay::GetVolume()
{
    ScopedCritSec hold(&lock_);
    if (!output_.IsOpen())
        return volume_;
    DWORD value = 0;
    if (output_.GetVolume(&value) != MMSYSERR_NOERROR)
        return 0;
    return (value >> 8) & 0xFF;  // high byte of the left channel
}

bool CVoicePlay::IsPlayedOut() { return ring_.GetDataSize() == 0 && output_.GetHeldBuffers() <= 0; }

bool CVoicePlay::IsDrained() { return ring_.GetDataSize() == 0; }
