#include "convert/CWaveSource.h"

#include <string.h>

#include "wave/WaveChunks.h"

namespace {

// Bytes read from the file at a time: a few hundred milliseconds of the
// largest usual formats, small enough to keep memory flat.
const DWORD PIECE_BYTES = 64 * 1024;
// A block beyond this is no real codec's: such a header is refused.
const DWORD MAX_BLOCK_BYTES = 1024 * 1024;
// Room for the fmt body: WAVEFORMATEXTENSIBLE and any codec's extra bytes.
const DWORD MAX_FORMAT_BYTES = 1024;
const DWORD FORMAT_EX_BYTES = 18;      // WAVEFORMATEX with its cbSize
const DWORD MIN_FORMAT_BYTES = 16;     // WAVEFORMAT with its bits per sample
const DWORD EXTENSIBLE_EXTRA = 22;     // samples union, channel mask, subformat
const DWORD SUBFORMAT_OFFSET = 24;     // of the subformat GUID in the fmt body
const DWORD MAX_SAMPLE_RATE = 768000;

// The first two bytes of the PCM and IEEE float subformat GUIDs; the rest of
// the GUID is the same for both.
const BYTE KS_SUBTYPE_TAIL[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                  0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

float Sample(const BYTE* p, WORD bytes, bool isFloat)
{
    if (isFloat) {
        if (bytes == 4) {
            float f;
            memcpy(&f, p, 4);
            return f;
        }
        double d;
        memcpy(&d, p, 8);
        return (float)d;
    }
    switch (bytes) {
    case 1:
        return (p[0] - 128) / 128.0f;  // 8-bit PCM is unsigned
    case 2:
        return (short)LittleWord(p) / 32768.0f;
    case 3:
        return (int)((DWORD)p[0] << 8 | (DWORD)p[1] << 16 | (DWORD)p[2] << 24) / 2147483648.0f;
    default:
        return (int)LittleDword(p) / 2147483648.0f;
    }
}

} // namespace

CWaveSource::CWaveSource()
    : fmtSize_(0), pcm_(), isFloat_(false), useCodec_(false), sampleRate_(0), pieceBytes_(0),
      framesLeft_(MAXULONGLONG), dataBytes_(0), bytesRead_(0)
{
}

CWaveSource::~CWaveSource() {}

DWORD CWaveSource::Open(const char* fileName)
{
    file_.Reset(OpenForReading(fileName));
    if (!file_.IsValid())
        return GetLastError();
    DWORD error = ReadFormat();
    if (error != 0)
        return error;
    const WAVEFORMATEX& format = *reinterpret_cast<const WAVEFORMATEX*>(format_.data());
    if (format.nChannels == 0 || format.nSamplesPerSec == 0 || format.nSamplesPerSec > MAX_SAMPLE_RATE ||
        format.nBlockAlign == 0 || format.nBlockAlign > MAX_BLOCK_BYTES)
        return ERROR_BAD_FORMAT;
    sampleRate_ = format.nSamplesPerSec;
    // Whole blocks at a time; a block larger than a piece is a piece.
    pieceBytes_ = PIECE_BYTES - PIECE_BYTES % format.nBlockAlign;
    if (pieceBytes_ == 0)
        pieceBytes_ = format.nBlockAlign;
    if (!SetDirect(format)) {
        error = OpenCodec();
        if (error != 0)
            return error;
    }

    WaveDataChunk data;
    error = FindDataChunk(file_.Get(), fmtSize_, &data);
    if (error != 0)
        return error;
    // Only a size field at its largest can stand for more than 4 GB of data:
    // cutting it to 4 GB would lose the rest of the recording unannounced.
    if (data.statedSize == MAXDWORD && data.heldSize > MAXDWORD)
        return ERROR_FILE_TOO_LARGE;
    dataBytes_ = data.statedSize < data.heldSize ? data.statedSize : data.heldSize;
    if (dataBytes_ < format.nBlockAlign)
        return ERROR_HANDLE_EOF;  // not one sample to convert
    // A codec decodes whole blocks; the fact chunk says how many of the
    // samples are sound and how many pad the last block.
    framesLeft_ = useCodec_ && data.hasFact && data.factSamples ? data.factSamples : MAXULONGLONG;
    bytesRead_ = 0;
    piece_.assign(pieceBytes_, 0);
    return 0;
}

// Reads the fmt body into a zeroed record large enough for any WAVEFORMATEX
// the manager may read; its extra size is cut to what the file holds.
DWORD CWaveSource::ReadFormat()
{
    RawHeader header;
    DWORD error = ReadRawHeader(file_.Get(), &header);
    if (error != 0)
        return error;
    if (header.fmtSize < MIN_FORMAT_BYTES)
        return ERROR_BAD_FORMAT;
    format_.assign(MAX_FORMAT_BYTES, 0);
    DWORD got = 0;
    error = ReadFormatBody(file_.Get(), header, format_.data(), MAX_FORMAT_BYTES, &got);
    if (error != 0)
        return error;
    WAVEFORMATEX* format = reinterpret_cast<WAVEFORMATEX*>(format_.data());
    if (got < FORMAT_EX_BYTES)
        format->cbSize = 0;
    else if (format->cbSize > got - FORMAT_EX_BYTES)
        format->cbSize = (WORD)(got - FORMAT_EX_BYTES);
    fmtSize_ = header.fmtSize;
    return 0;
}

// Integer PCM and IEEE float, plain or extensible, are read as they are.
bool CWaveSource::SetDirect(const WAVEFORMATEX& format)
{
    WORD tag = format.wFormatTag;
    if (tag == WAVE_FORMAT_EXTENSIBLE) {
        if (format.cbSize < EXTENSIBLE_EXTRA)
            return false;
        const BYTE* guid = format_.data() + SUBFORMAT_OFFSET;
        if (guid[1] != 0 || memcmp(guid + 2, KS_SUBTYPE_TAIL, sizeof KS_SUBTYPE_TAIL) != 0)
            return false;
        tag = guid[0];
    }
    WORD bytes = format.wBitsPerSample / 8;
    bool isFloat = tag == WAVE_FORMAT_IEEE_FLOAT;
    bool known = (tag == WAVE_FORMAT_PCM && bytes >= 1 && bytes <= 4) || (isFloat && (bytes == 4 || bytes == 8));
    if (!known || format.wBitsPerSample % 8 != 0 || format.nBlockAlign != (DWORD)format.nChannels * bytes)
        return false;
    pcm_ = format;
    pcm_.cbSize = 0;
    isFloat_ = isFloat;
    useCodec_ = false;
    return true;
}

// Everything else goes to the codec that decodes it to PCM, if one is
// installed: a file without one is no file this program can convert.
DWORD CWaveSource::OpenCodec()
{
    WAVEFORMATEX* format = reinterpret_cast<WAVEFORMATEX*>(format_.data());
    if (format->wFormatTag == WAVE_FORMAT_PCM || format->wFormatTag == WAVE_FORMAT_IEEE_FLOAT ||
        format->wFormatTag == WAVE_FORMAT_EXTENSIBLE)
        return ERROR_BAD_FORMAT;  // malformed forms of the direct formats
    pcm_ = WAVEFORMATEX();
    pcm_.wFormatTag = WAVE_FORMAT_PCM;
    pcm_.wBitsPerSample = 16;
    if (acmFormatSuggest(nullptr, format, &pcm_, sizeof pcm_,
                         ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_WBITSPERSAMPLE) != 0)
        return ERROR_BAD_FORMAT;
    if (codec_.Open(format, &pcm_, pieceBytes_) != 0)
        return ERROR_BAD_FORMAT;
    if (pcm_.wBitsPerSample != 16 || pcm_.nChannels == 0 || pcm_.nBlockAlign != 2 * pcm_.nChannels)
        return ERROR_BAD_FORMAT;
    sampleRate_ = pcm_.nSamplesPerSec;
    isFloat_ = false;
    useCodec_ = true;
    return 0;
}

DWORD CWaveSource::Read(const float** samples, DWORD* count)
{
    *samples = nullptr;
    *count = 0;
    mono_.clear();
    // A codec may swallow a piece without output (an unfinished block): read on.
    while (mono_.empty()) {
        ULONGLONG left = dataBytes_ - bytesRead_;
        DWORD want = left < pieceBytes_ ? (DWORD)left : pieceBytes_;
        DWORD got = 0;
        if (want && !ReadFile(file_.Get(), piece_.data(), want, &got, nullptr))
            return GetLastError();
        if (got < want)
            dataBytes_ = bytesRead_ + got;  // the file shrank while we read it
        bytesRead_ += got;
        bool last = bytesRead_ >= dataBytes_;
        if (!useCodec_) {
            MixDown(piece_.data(), got);
        } else {
            const BYTE* decoded = nullptr;
            DWORD produced = 0;
            if (codec_.Convert(piece_.data(), got, last, &decoded, &produced) != 0)
                return ERROR_INVALID_DATA;
            MixDown(decoded, produced);
        }
        if (last)
            break;
    }
    if (mono_.size() > framesLeft_)
        mono_.resize((size_t)framesLeft_);
    if (framesLeft_ != MAXULONGLONG)
        framesLeft_ -= mono_.size();
    *samples = mono_.data();
    *count = (DWORD)mono_.size();
    return 0;
}

// The mean of the channels: never louder than the loudest, so never clipped.
void CWaveSource::MixDown(const BYTE* frames, DWORD bytes)
{
    const WORD bytesPerSample = pcm_.wBitsPerSample / 8;
    const WORD channels = pcm_.nChannels;
    const DWORD frameBytes = pcm_.nBlockAlign;
    const DWORD frameCount = bytes / frameBytes;
    size_t start = mono_.size();
    mono_.resize(start + frameCount);
    for (DWORD i = 0; i < frameCount; ++i) {
        const BYTE* frame = frames + (size_t)i * frameBytes;
        float sum = 0;
        for (WORD c = 0; c < channels; ++c)
            sum += Sample(frame + c * bytesPerSample, bytesPerSample, isFloat_);
        mono_[start + i] = sum / channels;
    }
}
