#include "convert/CWaveWriter.h"

#include <string.h>

#include "app/CommonServices.h"
#include "wave/VoiceFormats.h"

namespace {

// The header as sox lays it out, which the player's check accepts: PCM with
// a 16-byte fmt body, G.711 with 18 bytes and GSM 6.10 with 20 (its samples
// per block), each of the compressed ones with a fact chunk of the sample count.
const DWORD CHUNK_HEADER_BYTES = 8;
const DWORD FACT_BODY_BYTES = 4;
const DWORD MAX_HEADER_BYTES = 12 + CHUNK_HEADER_BYTES + 20 + CHUNK_HEADER_BYTES + FACT_BODY_BYTES + CHUNK_HEADER_BYTES;

DWORD LastErrorOr(DWORD fallback)
{
    DWORD code = GetLastError();
    return code ? code : fallback;
}

BYTE* Put(BYTE* p, const void* data, DWORD size)
{
    memcpy(p, data, size);
    return p + size;
}

BYTE* PutChunk(BYTE* p, const char* id, DWORD size)
{
    p = Put(p, id, 4);
    return Put(p, &size, 4);
}

DWORD FmtBodyBytes(const WAVEFORMATEX& format)
{
    if (format.wFormatTag == WAVE_FORMAT_PCM)
        return 16;
    return 18 + format.cbSize;
}

// The most data bytes whose RIFF and data sizes (and a pad byte) stay 32-bit.
const ULONGLONG MAX_DATA_BYTES = MAXDWORD - MAX_HEADER_BYTES - 1;

// Bytes of that many samples in a format, a last partial block counted whole.
ULONGLONG DataBytesFor(const VoiceFormat& format, ULONGLONG samples)
{
    if (!format.samplesPerBlock)
        return samples * format.blockAlign;
    return (samples + format.samplesPerBlock - 1) / format.samplesPerBlock * format.blockAlign;
}

} // namespace

CWaveWriter::CWaveWriter() : tag_(0), dataBytes_(0) {}

CWaveWriter::~CWaveWriter() { Discard(); }

void CWaveWriter::Discard() { out_.Discard(); }

DWORD CWaveWriter::Create(const char* target, WORD tag, ULONGLONG samples)
{
    Discard();
    const VoiceFormat* format = FindVoiceFormat(tag);
    if (!format)
        return ERROR_INVALID_PARAMETER;
    if (DataBytesFor(*format, samples) > MAX_DATA_BYTES)
        return ERROR_FILE_TOO_LARGE;
    tag_ = tag;
    dataBytes_ = 0;
    DWORD code = out_.Create(target, "wav");
    if (code == 0)
        code = WriteHeader(0);
    if (code != 0)
        Discard();
    return code;
}

DWORD CWaveWriter::WriteHeader(DWORD samples)
{
    AcmWaveFormat format;
    FillMonoWaveFormat(&format, tag_, VOICE_SAMPLES_PER_SEC);
    const DWORD fmtBytes = FmtBodyBytes(format.format);
    const bool hasFact = tag_ != WAVE_FORMAT_PCM;
    const DWORD headerBytes = 12 + CHUNK_HEADER_BYTES + fmtBytes +
                              (hasFact ? CHUNK_HEADER_BYTES + FACT_BODY_BYTES : 0) + CHUNK_HEADER_BYTES;
    const DWORD pad = dataBytes_ & 1;

    BYTE header[MAX_HEADER_BYTES];
    BYTE* p = PutChunk(header, "RIFF", headerBytes - CHUNK_HEADER_BYTES + dataBytes_ + pad);
    p = Put(p, "WAVE", 4);
    p = PutChunk(p, "fmt ", fmtBytes);
    p = Put(p, &format, fmtBytes);
    if (hasFact) {
        p = PutChunk(p, "fact", FACT_BODY_BYTES);
        p = Put(p, &samples, FACT_BODY_BYTES);
    }
    p = PutChunk(p, "data", dataBytes_);
    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(out_.Handle(), start, nullptr, FILE_BEGIN))
        return LastErrorOr(ERROR_SEEK);
    return out_.Write(header, (DWORD)(p - header));
}

DWORD CWaveWriter::Write(const BYTE* data, DWORD size)
{
    if (!out_.IsOpen())
        return ERROR_INVALID_HANDLE;
    // The sizes of a RIFF file are 32-bit: refuse rather than wrap round.
    if (size > MAX_DATA_BYTES - dataBytes_)
        return ERROR_FILE_TOO_LARGE;
    DWORD code = out_.Write(data, size);
    if (code == 0)
        dataBytes_ += size;
    return code;
}

DWORD CWaveWriter::Commit(DWORD samples, const std::atomic<bool>* cancel)
{
    if (!out_.IsOpen())
        return ERROR_INVALID_HANDLE;
    DWORD code = 0;
    if (dataBytes_ & 1) {
        LARGE_INTEGER end = {};
        const BYTE zero = 0;  // RIFF pads an odd chunk to an even length
        if (!SetFilePointerEx(out_.Handle(), end, nullptr, FILE_END))
            code = LastErrorOr(ERROR_SEEK);
        if (!code)
            code = out_.Write(&zero, 1);
    }
    if (!code)
        code = WriteHeader(samples);
    if (!code)
        code = out_.Flush();
    // The cancel is looked at last, right before the rename: once the
    // operator has cancelled, the old target stays as it was.
    if (!code)
        code = out_.Replace(cancel);
    if (code)
        Discard();
    return code;
}
