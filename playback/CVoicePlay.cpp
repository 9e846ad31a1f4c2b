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

CVoicePlay::CVoicePlay() : ring_(RING_BUFFER_SIZE), output_(&ring_), volume_(INITIAL_VOLUME), stepWindow_(nullptr)
{
    ring_.Reset();
}

CVoicePlay::~CVoicePlay() { Stop(); }

void CVoicePlay::SetNotify(CPlaybackListener* notify) { stepWindow_ = notify ? notify->GetStepWindow() : nullptr; }

bool CVoicePlay::Play(DWORD samplesPerSec, bool paused)
{
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
    return output_.Open(format, DeviceVolume(volume_), paused, stepWindow_);
}

namespace {

bool Taken(MMRESULT result) { return result == MMSYSERR_NOERROR || result == WAVE_REQUEST_PENDING; }

} // namespace

bool CVoicePlay::Resume() { return output_.IsOpen() && (!output_.IsPaused() || Taken(output_.Resume())); }

bool CVoicePlay::Stop()
{
    bool closed = output_.Close();
    ring_.Reset();
    return closed;
}

bool CVoicePlay::Pause() { return output_.IsOpen() && Taken(output_.Pause()); }

bool CVoicePlay::SetVolume(DWORD level)
{
    if (level > MAX_VOLUME)
        level = MAX_VOLUME;
    if (output_.IsOpen() && !Taken(output_.SetVolume(DeviceVolume(level))))
        return false;
    volume_ = level;
    return true;
}

// The level read back from the device; the stored one without a device, or
// while the device does not answer.
DWORD CVoicePlay::GetVolume()
{
    if (!output_.IsOpen())
        return volume_;
    DWORD value = 0;
    MMRESULT result = output_.GetVolume(&value);
    if (result == WAVE_REQUEST_PENDING)
        return volume_;
    if (result != MMSYSERR_NOERROR)
        return 0;
    return (value >> 8) & 0xFF;  // high byte of the left channel
}

bool CVoicePlay::IsPlayedOut() { return ring_.GetDataSize() == 0 && output_.GetHeldBuffers() <= 0; }

bool CVoicePlay::IsDrained() { return ring_.GetDataSize() == 0; }
