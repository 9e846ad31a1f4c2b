#include "wave/VoiceFormats.h"

static_assert(sizeof(AcmWaveFormat) == 20, "wave format record with samples per block");

const VoiceFormat VOICE_FORMATS[4] = {
    {WAVE_FORMAT_PCM, "PCM", 16000, 2, 16, 0},
    {WAVE_FORMAT_ALAW, "G.711a", 8000, 1, 8, 0},
    {WAVE_FORMAT_MULAW, "G.711m", 8000, 1, 8, 0},
    {WAVE_FORMAT_GSM610, "GSM 6.10", 1625, 65, 0, 320},
};

const VoiceFormat* FindVoiceFormat(WORD tag)
{
    for (const VoiceFormat& f : VOICE_FORMATS) {
        if (f.tag == tag)
            return &f;
    }
    return nullptr;
}

bool FillMonoWaveFormat(AcmWaveFormat* record, WORD tag, DWORD samplesPerSec)
{
    ZeroMemory(record, sizeof *record);
    const VoiceFormat* row = FindVoiceFormat(tag);
    if (!row)
        return false;
    WAVEFORMATEX& w = record->format;
    w.wFormatTag = tag;
    w.nChannels = VOICE_CHANNELS;
    w.nSamplesPerSec = samplesPerSec;
    // In integers: GSM's 1625 bytes per 8000 samples as a double product
    // truncates one byte short at rates such as 4672.
    w.nAvgBytesPerSec = (DWORD)((ULONGLONG)row->bytesPerSec * samplesPerSec / VOICE_SAMPLES_PER_SEC);
    w.nBlockAlign = row->blockAlign;
    w.wBitsPerSample = row->bitsPerSample;
    if (row->samplesPerBlock) {
        w.cbSize = sizeof record->samplesPerBlock;
        record->samplesPerBlock = row->samplesPerBlock;
    }
    return true;
}
