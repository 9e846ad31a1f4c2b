#include "record/CTakeEncoder.h"

#include "wave/CGreetingAnalysis.h"
#include "wave/VoiceFormats.h"
#include "wave/WaveChunks.h"

namespace {

const DWORD TAKE_HEADER_BYTES = 44;
const DWORD PIECE_SAMPLES = VOICE_SAMPLES_PER_SEC;  // one second at a time

DWORD LastErrorOr(DWORD fallback)
{
    DWORD code = GetLastError();
    return code ? code : fallback;
}

} // namespace

CTakeEncoder::CTakeEncoder() : encoding_(false), written_(0) {}

CTakeEncoder::~CTakeEncoder() {}

DWORD CTakeEncoder::Encode(const char* take, const char* target, WORD tag, const GreetingFixChoice& choice)
{
    DWORD code = Run(take, target, tag, choice);
    if (code != 0)
        writer_.Discard();
    return code;
}

DWORD CTakeEncoder::Run(const char* take, const char* target, WORD tag, const GreetingFixChoice& choice)
{
    const VoiceFormat* format = FindVoiceFormat(tag);
    if (!format)
        return ERROR_INVALID_PARAMETER;
    take_.Reset(OpenForReading(take));
    if (!take_.IsValid())
        return LastErrorOr(ERROR_FILE_NOT_FOUND);
    encoding_ = tag != WAVE_FORMAT_PCM;
    if (encoding_) {
        AcmWaveFormat pcm;
        AcmWaveFormat coded;
        FillMonoWaveFormat(&pcm, WAVE_FORMAT_PCM, VOICE_SAMPLES_PER_SEC);
        FillMonoWaveFormat(&coded, tag, VOICE_SAMPLES_PER_SEC);
        if (encoder_.Open(&pcm.format, &coded.format, PIECE_SAMPLES * sizeof(short)) != 0)
            return ERROR_NOT_SUPPORTED;
    }
    DWORD code = writer_.Create(target, tag, 0);
    if (code != 0)
        return code;

    if (choice.level || choice.trim) {
        // The fix needs the whole take's figures before its first sample.
        CGreetingAnalysis analysis;
        code = ReadTake([&](const short* samples, size_t count) {
            analysis.Add(samples, count);
            return (DWORD)0;
        });
        if (code != 0)
            return code;
        CGreetingFix fix(analysis.Figures(), choice);
        code = ReadTake([&](const short* samples, size_t count) {
            fixed_.clear();
            fix.Add(samples, count, &fixed_);
            return Put(fixed_.data(), fixed_.size());
        });
        fixed_.clear();
        fix.Finish(&fixed_);
        if (code == 0)
            code = Put(fixed_.data(), fixed_.size());
    } else {
        code = ReadTake([&](const short* samples, size_t count) { return Put(samples, count); });
    }
    // GSM 6.10 codes whole blocks: the last one is filled with silence.
    if (code == 0 && format->samplesPerBlock && written_ % format->samplesPerBlock) {
        std::vector<short> silence(format->samplesPerBlock - written_ % format->samplesPerBlock, 0);
        code = Put(silence.data(), silence.size());
    }
    if (code == 0 && encoding_)
        code = Encode(nullptr, 0, true);
    if (code == 0)
        code = writer_.Commit((DWORD)written_, nullptr);
    return code;
}

template <typename Use>
DWORD CTakeEncoder::ReadTake(Use use)
{
    if (!SeekTo(take_.Get(), TAKE_HEADER_BYTES))
        return LastErrorOr(ERROR_SEEK);
    piece_.resize(PIECE_SAMPLES);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(take_.Get(), piece_.data(), PIECE_SAMPLES * sizeof(short), &read, nullptr))
            return LastErrorOr(ERROR_READ_FAULT);
        const size_t count = read / sizeof(short);
        if (count == 0)
            return 0;
        DWORD code = use(piece_.data(), count);
        if (code != 0)
            return code;
    }
}

DWORD CTakeEncoder::Put(const short* samples, size_t count)
{
    written_ += count;
    return count ? Encode(reinterpret_cast<const BYTE*>(samples), (DWORD)(count * sizeof(short)), false) : 0;
}

DWORD CTakeEncoder::Encode(const BYTE* pcm, DWORD bytes, bool last)
{
    if (!encoding_)
        return bytes ? writer_.Write(pcm, bytes) : 0;
    const BYTE* coded = nullptr;
    DWORD produced = 0;
    if (encoder_.Convert(pcm, bytes, last, &coded, &produced) != 0)
        return ERROR_INVALID_DATA;
    return produced ? writer_.Write(coded, produced) : 0;
}
