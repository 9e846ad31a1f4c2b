#include "wave/CodecRules.h"

#include "wave/WaveChunks.h"

namespace {

// MPEG audio's frames: no layer 3 frame, free format at 640 kbit/s included,
// is longer than this.
const DWORD MAX_MPEG_FRAME_BYTES = 2881;
const WORD MPEG_LAYER3_ID = 1;  // MPEGLAYER3_ID_MPEG

// MS ADPCM's seven predictor coefficient pairs: every decoder uses these,
// whatever a file's own table says.
const short MS_ADPCM_COEFFICIENTS[7][2] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                           {240, 0}, {460, -208}, {392, -232}};
const WORD MS_ADPCM_COEFFICIENT_COUNT = 7;
const WORD MS_ADPCM_HEADER_BYTES = 7;   // per channel: predictor, delta, two samples
const WORD IMA_ADPCM_HEADER_BYTES = 4;  // per channel: sample, step index, reserved
const BYTE IMA_ADPCM_MAX_STEP = 88;
const WORD GSM610_BLOCK_BYTES = 65;
const WORD GSM610_BLOCK_SAMPLES = 320;

// The bytes after the WAVEFORMATEX's own 18.
const BYTE* Extra(const WAVEFORMATEX& format) { return reinterpret_cast<const BYTE*>(&format) + sizeof(WAVEFORMATEX); }

bool MsAdpcmBlockIntact(const BYTE* block, const WAVEFORMATEX& format)
{
    for (WORD c = 0; c < format.nChannels; ++c) {
        if (block[c] >= MS_ADPCM_COEFFICIENT_COUNT)
            return false;
    }
    return true;
}

bool ImaAdpcmBlockIntact(const BYTE* block, const WAVEFORMATEX& format)
{
    for (WORD c = 0; c < format.nChannels; ++c) {
        if (block[c * IMA_ADPCM_HEADER_BYTES + 2] > IMA_ADPCM_MAX_STEP)
            return false;
    }
    return true;
}

bool CheckG711(const WAVEFORMATEX& format, CodecTraits* traits)
{
    *traits = {1, 0, nullptr};
    return format.wBitsPerSample == 8 && format.nBlockAlign == format.nChannels;
}

// A block: each channel's header, then 4-bit samples; samples per block as
// every encoder writes them for the block size.
bool CheckMsAdpcm(const WAVEFORMATEX& format, CodecTraits* traits)
{
    const WORD channels = format.nChannels;
    if (format.wBitsPerSample != 4 || format.cbSize < 4 + 4 * MS_ADPCM_COEFFICIENT_COUNT ||
        format.nBlockAlign <= MS_ADPCM_HEADER_BYTES * channels)
        return false;
    const BYTE* extra = Extra(format);
    DWORD samples = (format.nBlockAlign - MS_ADPCM_HEADER_BYTES * channels) * 2 / channels + 2;
    if (LittleWord(extra) != samples || LittleWord(extra + 2) != MS_ADPCM_COEFFICIENT_COUNT)
        return false;
    for (int i = 0; i < MS_ADPCM_COEFFICIENT_COUNT; ++i) {
        for (int j = 0; j < 2; ++j) {
            if ((short)LittleWord(extra + 4 + 4 * i + 2 * j) != MS_ADPCM_COEFFICIENTS[i][j])
                return false;
        }
    }
    *traits = {samples, samples - 1, MsAdpcmBlockIntact};
    return true;
}

// A block: each channel's header, then words of eight 4-bit samples of one
// channel after the other.
bool CheckImaAdpcm(const WAVEFORMATEX& format, CodecTraits* traits)
{
    const WORD channels = format.nChannels;
    const DWORD word = 4 * channels;
    if (format.wBitsPerSample != 4 || format.cbSize < 2 || format.nBlockAlign <= IMA_ADPCM_HEADER_BYTES * channels ||
        format.nBlockAlign % word != 0)
        return false;
    DWORD samples = (format.nBlockAlign - IMA_ADPCM_HEADER_BYTES * channels) / word * 8 + 1;
    if (LittleWord(Extra(format)) != samples)
        return false;
    *traits = {samples, samples - 1, ImaAdpcmBlockIntact};
    return true;
}

bool CheckGsm610(const WAVEFORMATEX& format, CodecTraits* traits)
{
    *traits = {GSM610_BLOCK_SAMPLES, GSM610_BLOCK_SAMPLES - 1, nullptr};
    return format.nBlockAlign == GSM610_BLOCK_BYTES && format.cbSize >= 2 &&
           LittleWord(Extra(format)) == GSM610_BLOCK_SAMPLES;
}

// The sample rate says the MPEG version, the version its frame length and the
// bit rates its frames can have; the byte rate of a variable rate stream is an
// average of those.
bool CheckMpegLayer3(const WAVEFORMATEX& format, CodecTraits* traits)
{
    struct Version {
        DWORD rates[3];
        DWORD frameSamples;
        DWORD minKbps, maxKbps;
    } versions[] = {
        {{32000, 44100, 48000}, 1152, 32, 320},  // MPEG-1
        {{16000, 22050, 24000}, 576, 8, 160},    // MPEG-2
        {{8000, 11025, 12000}, 576, 8, 160},     // MPEG-2.5
    };
    const Version* version = nullptr;
    for (const Version& v : versions) {
        for (DWORD rate : v.rates) {
            if (rate == format.nSamplesPerSec)
                version = &v;
        }
    }
    if (!version || format.cbSize < 12)
        return false;
    ULONGLONG bitsPerSec = (ULONGLONG)format.nAvgBytesPerSec * 8;
    if (bitsPerSec < version->minKbps * 1000ULL || bitsPerSec > version->maxKbps * 1000ULL)
        return false;
    const BYTE* extra = Extra(format);
    DWORD blockSize = LittleWord(extra + 6);
    DWORD framesPerBlock = LittleWord(extra + 8);
    if (LittleWord(extra) != MPEG_LAYER3_ID || framesPerBlock == 0 || blockSize == 0 ||
        blockSize > framesPerBlock * MAX_MPEG_FRAME_BYTES)
        return false;
    *traits = {0, version->frameSamples, nullptr};
    return true;
}

struct CodecRule {
    WORD tag;
    WORD maxChannels;
    bool (*check)(const WAVEFORMATEX& format, CodecTraits* traits);
};

const CodecRule CODEC_RULES[] = {
    {WAVE_FORMAT_ADPCM, 2, CheckMsAdpcm},       {WAVE_FORMAT_ALAW, 2, CheckG711},
    {WAVE_FORMAT_MULAW, 2, CheckG711},          {WAVE_FORMAT_IMA_ADPCM, 2, CheckImaAdpcm},
    {WAVE_FORMAT_GSM610, 1, CheckGsm610},       {WAVE_FORMAT_MPEGLAYER3, 2, CheckMpegLayer3},
};

} // namespace

bool CheckCodedFormat(const WAVEFORMATEX& format, CodecTraits* traits)
{
    for (const CodecRule& rule : CODEC_RULES) {
        if (rule.tag != format.wFormatTag)
            continue;
        if (format.nChannels == 0 || format.nChannels > rule.maxChannels || format.nBlockAlign == 0)
            return false;
        return rule.check(format, traits);
    }
    return false;
}
