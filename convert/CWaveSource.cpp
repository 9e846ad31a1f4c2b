#include "convert/CWaveSource.h"

#include <string.h>

#include "wave/WaveChunks.h"

namespace {

// Bytes read from the file at a time: a few hundred milliseconds of the
// largest usual formats, small enough to keep memory flat.
const DWORD PIECE_BYTES = 64 * 1024;
// Coded data goes to the codec a few blocks at a time: a codec that stops at
// a block it cannot decode drops what it was given with it, and that must
// stay a fraction of a second.
const DWORD CODEC_PIECE_BYTES = 4 * 1024;
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
    : pcm_(), isFloat_(false), useCodec_(false), traits_(), codecPieceBytes_(0), sampleRate_(0), pieceBytes_(0),
      factFrames_(0), framesOut_(0), lostFrames_(0), ended_(false), dataBytes_(0), bytesRead_(0)
{
}

CWaveSource::~CWaveSource() {}

DWORD CWaveSource::Open(const char* fileName)
{
    file_.Reset(OpenForReading(fileName));
    if (!file_.IsValid())
        return GetLastError();
    WaveLayout layout;
    DWORD error = FindWaveLayout(file_.Get(), &layout);
    if (error == 0)
        error = ReadFormat(layout);
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

    const WaveDataChunk& data = layout.data;
    // Only a size that stands for the rest of the file can mean more than
    // 4 GB of data: cutting it to 4 GB would lose the rest unannounced.
    if (data.toEnd && data.heldSize > MAXDWORD)
        return ERROR_FILE_TOO_LARGE;
    dataBytes_ = data.toEnd || data.statedSize > data.heldSize ? data.heldSize : data.statedSize;
    if (dataBytes_ < format.nBlockAlign)
        return ERROR_HANDLE_EOF;  // not one sample to convert
    if (!SeekTo(file_.Get(), data.offset))
        return GetLastError();
    factFrames_ = useCodec_ && data.hasFact ? data.factSamples : 0;
    framesOut_ = 0;
    lostFrames_ = 0;
    ended_ = false;
    bytesRead_ = 0;
    piece_.assign(pieceBytes_, 0);
    return 0;
}

// Reads the fmt body into a zeroed record large enough for any WAVEFORMATEX
// the manager may read; its extra size is cut to what the file holds.
DWORD CWaveSource::ReadFormat(const WaveLayout& layout)
{
    if (layout.fmtSize < MIN_FORMAT_BYTES)
        return ERROR_BAD_FORMAT;
    format_.assign(MAX_FORMAT_BYTES, 0);
    DWORD got = 0;
    DWORD error = ReadFormatBody(file_.Get(), layout.fmtOffset, layout.fmtSize, format_.data(), MAX_FORMAT_BYTES, &got);
    if (error != 0)
        return error;
    WAVEFORMATEX* format = reinterpret_cast<WAVEFORMATEX*>(format_.data());
    if (got < FORMAT_EX_BYTES)
        format->cbSize = 0;
    else if (format->cbSize > got - FORMAT_EX_BYTES)
        format->cbSize = (WORD)(got - FORMAT_EX_BYTES);
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
    // Malformed forms of the direct formats, tags without rules and fields
    // outside them never reach a codec.
    if (!CheckCodedFormat(*format, &traits_))
        return ERROR_BAD_FORMAT;
    codecPieceBytes_ = CODEC_PIECE_BYTES - CODEC_PIECE_BYTES % format->nBlockAlign;
    if (codecPieceBytes_ == 0)
        codecPieceBytes_ = format->nBlockAlign;
    pcm_ = WAVEFORMATEX();
    pcm_.wFormatTag = WAVE_FORMAT_PCM;
    pcm_.wBitsPerSample = 16;
    if (acmFormatSuggest(nullptr, format, &pcm_, sizeof pcm_,
                         ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_WBITSPERSAMPLE) != 0)
        return ERROR_BAD_FORMAT;
    if (codec_.Open(format, &pcm_, codecPieceBytes_) != 0)
        return ERROR_BAD_FORMAT;
    if (pcm_.wBitsPerSample != 16 || pcm_.nChannels != format->nChannels || pcm_.nBlockAlign != 2 * pcm_.nChannels)
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
    while (mono_.empty() && !ended_) {
        ULONGLONG left = dataBytes_ - bytesRead_;
        DWORD want = left < pieceBytes_ ? (DWORD)left : pieceBytes_;
        DWORD got = 0;
        if (want && !ReadFile(file_.Get(), piece_.data(), want, &got, nullptr))
            return GetLastError();
        if (got < want)
            dataBytes_ = bytesRead_ + got;  // the file shrank while we read it
        bytesRead_ += got;
        ended_ = bytesRead_ >= dataBytes_;
        if (!useCodec_) {
            MixDown(piece_.data(), got);
        } else {
            DWORD error = Decode(piece_.data(), got, ended_);
            if (error != 0)
                return error;
        }
    }
    if (ended_)
        TrimPadding();
    framesOut_ += mono_.size();
    *samples = mono_.data();
    *count = (DWORD)mono_.size();
    return 0;
}

// A piece of coded data, a few blocks at a time.
DWORD CWaveSource::Decode(const BYTE* bytes, DWORD length, bool last)
{
    DWORD at = 0;
    do {
        DWORD n = length - at < codecPieceBytes_ ? length - at : codecPieceBytes_;
        DWORD error = DecodeBlocks(bytes + at, n, last && at + n == length);
        if (error != 0)
            return error;
        at += n;
    } while (at < length);
    return 0;
}

// Blocks whose headers break their format's rules are not given to the
// codec: each is silence of a block's length. Where a format's blocks decode
// to a fixed length, what the codec gives back is held against it, and what
// it failed to give is silence too. Either is counted as lost.
DWORD CWaveSource::DecodeBlocks(const BYTE* blocks, DWORD length, bool last)
{
    const WAVEFORMATEX& format = *reinterpret_cast<const WAVEFORMATEX*>(format_.data());
    const DWORD align = format.nBlockAlign;
    DWORD start = 0;
    DWORD end = 0;
    for (;;) {
        // The run of intact whole blocks from start (with a partial block at the very end).
        while (end + align <= length && (!traits_.blockIntact || traits_.blockIntact(blocks + end, format)))
            end += align;
        if (end + align > length)
            end = length;
        bool runIsLast = last && end == length;
        if (end > start || runIsLast) {
            DWORD heldBefore = codec_.Held();
            const BYTE* decoded = nullptr;
            DWORD produced = 0;
            if (codec_.Convert(blocks + start, end - start, runIsLast, &decoded, &produced) != 0)
                return ERROR_INVALID_DATA;
            MixDown(decoded, produced);
            if (traits_.blockFrames) {
                ULONGLONG decodedBlocks = (heldBefore + end - start - codec_.Held()) / align;
                ULONGLONG expected = decodedBlocks * traits_.blockFrames;
                ULONGLONG got = produced / pcm_.nBlockAlign;
                if (got < expected) {
                    AddSilence(expected - got);
                    lostFrames_ += expected - got;
                }
            }
        }
        if (end >= length)
            return 0;
        // A damaged block.
        if (traits_.blockFrames) {
            AddSilence(traits_.blockFrames);
            lostFrames_ += traits_.blockFrames;
        }
        start = end = end + align;
    }
}

// The fact chunk says how many of the decoded frames are sound: believed
// only where the data agrees, that is where it cuts no more than the padding
// of the last block.
void CWaveSource::TrimPadding()
{
    ULONGLONG total = framesOut_ + mono_.size();
    if (factFrames_ == 0 || factFrames_ >= total || total - factFrames_ > traits_.paddingFrames)
        return;
    ULONGLONG cut = total - factFrames_;
    mono_.resize(cut < mono_.size() ? mono_.size() - (size_t)cut : 0);
}

void CWaveSource::AddSilence(ULONGLONG frames) { mono_.resize(mono_.size() + (size_t)frames, 0.0f); }

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
