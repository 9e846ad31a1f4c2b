// The four formats the IVR system plays, each at 8000 samples per second and
// one channel: the one table that the header check, the decoder of the player
// and the encoder of the greeting converter all read.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>

const WORD VOICE_CHANNELS = 1;
const DWORD VOICE_SAMPLES_PER_SEC = 8000;

struct VoiceFormat {
    WORD tag;
    const char* name;       // display name
    DWORD bytesPerSec;      // at 8000 samples per second: what the header must state
    WORD blockAlign;        // bytes of one block (GSM 6.10: 65 bytes of 320 samples)
    WORD bitsPerSample;     // 0 for GSM 6.10, which has no sample width
    WORD samplesPerBlock;   // 0 when a block is one sample
    DWORD BytesPer40ms() const { return bytesPerSec / 25; }
};

extern const VoiceFormat VOICE_FORMATS[4];

// The row of a tag, or null for a tag the IVR system does not play.
const VoiceFormat* FindVoiceFormat(WORD tag);

// WAVEFORMATEX followed by the GSM 6.10 samples-per-block field.
#pragma pack(push, 1)
struct AcmWaveFormat {
    WAVEFORMATEX format;
    WORD samplesPerBlock;
};
#pragma pack(pop)

// Clears the record and fills it with the mono wave format of an accepted tag
// at a sample rate (the byte rate scaled from the table's); false, record
// cleared, for any other tag.
bool FillMonoWaveFormat(AcmWaveFormat* record, WORD tag, DWORD samplesPerSec);
