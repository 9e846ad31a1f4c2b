#include "convert/CGreetingConverter.h"

#include <math.h>

#include "convert/CWaveSource.h"
#include "wave/VoiceFormats.h"

namespace {

const DWORD PCM_BYTES = 2;
const float PCM_SCALE = 32768.0f;  // the scale sox and ffmpeg use both ways
// Pieces of PCM handed to the encoder at a time, in bytes: one second.
const DWORD ENCODE_PIECE_BYTES = VOICE_SAMPLES_PER_SEC * PCM_BYTES;
// Progress while reading stops short of this; it is told once the file is complete.
const int PERMILLE_COMPLETE = 1000;
// Convert's answer for a target written with sound lost: a bit of the
// application's own codes that no other code of the converter carries
// (CONVERT_ERROR_NO_RESAMPLER has it clear), and the milliseconds lost below it.
const DWORD SOUND_LOST_CODE = APPLICATION_ERROR_MASK | 0x08000000;
const DWORD MAX_LOST_MS = 0x07FFFFFF;

short Quantise(float sample)
{
    float scaled = sample * PCM_SCALE;
    if (!(scaled > -32768.0f))  // NaN too
        return -32768;
    if (scaled >= 32767.0f)
        return 32767;
    return (short)lrintf(scaled);
}

} // namespace

CGreetingConverter::CGreetingConverter()
    : resampling_(false),
      encoding_(false),
      tag_(0),
      inputSamples_(0),
      outputSamples_(0),
      sourceRate_(0),
      lostMs_(0),
      fixing_(false)
{
    fix_.level = false;
    fix_.trim = false;
}

CGreetingConverter::~CGreetingConverter() {}

DWORD CGreetingConverter::Probe(const char* source)
{
    CWaveSource wave;
    return wave.Open(source);
}

DWORD CGreetingConverter::Convert(const char* source, const char* target, WORD targetTag,
                                  const std::atomic<bool>* cancel, const std::function<void(int)>& progress)
{
    DWORD code = Run(source, target, targetTag, cancel, progress);
    temp_.Close();  // deleted as it closes
    if (code != 0)
        writer_.Discard();  // nothing is left behind
    else if (lostMs_)
        code = SOUND_LOST_CODE | lostMs_;
    return code;
}

void CGreetingConverter::SetFix(const GreetingFixChoice& choice) { fix_ = choice; }

bool CGreetingConverter::SoundWasLost(DWORD code, DWORD* lostMs)
{
    if ((code & ~MAX_LOST_MS) != SOUND_LOST_CODE)
        return false;
    *lostMs = code & MAX_LOST_MS;
    return true;
}

DWORD CGreetingConverter::Run(const char* source, const char* target, WORD targetTag,
                              const std::atomic<bool>* cancel, const std::function<void(int)>& progress)
{
    CWaveSource wave;
    DWORD code = wave.Open(source);
    if (code != 0)
        return code;
    sourceRate_ = wave.GetSampleRate();
    inputSamples_ = 0;
    outputSamples_ = 0;
    lostMs_ = 0;
    tag_ = targetTag;
    fixing_ = fix_.level || fix_.trim;
    analysis_.Reset();
    // At 8000 Hz already the samples pass as they are, sample for sample,
    // and Media Foundation is not needed.
    resampling_ = sourceRate_ != VOICE_SAMPLES_PER_SEC;
    if (resampling_ && FAILED(resampler_.Open(sourceRate_, VOICE_SAMPLES_PER_SEC)))
        return CONVERT_ERROR_NO_RESAMPLER;
    code = OpenEncoder(targetTag);
    // The length at 8000 Hz where the source's size tells it (0: unknown).
    const ULONGLONG frames = wave.GetFrameCount();
    if (code == 0)
        code = writer_.Create(target, targetTag, (frames * VOICE_SAMPLES_PER_SEC + sourceRate_ - 1) / sourceRate_);
    if (code == 0 && fixing_)
        code = temp_.Create(target);

    while (code == 0) {
        if (cancel && cancel->load())
            return ERROR_CANCELLED;
        const float* samples = nullptr;
        DWORD count = 0;
        code = wave.Read(&samples, &count);
        if (code != 0 || count == 0)
            break;
        inputSamples_ += count;
        code = Resample(samples, count, false);
        if (progress && wave.GetDataBytes()) {
            ULONGLONG permille = wave.GetBytesRead() * PERMILLE_COMPLETE / wave.GetDataBytes();
            if (permille >= PERMILLE_COMPLETE)
                permille = PERMILLE_COMPLETE - 1;
            progress(fixing_ ? (int)permille / 2 : (int)permille);
        }
    }
    if (code == 0)
        code = Resample(nullptr, 0, true);
    if (code == 0)
        code = PadToLength();
    ULONGLONG written = outputSamples_;
    if (code == 0 && fixing_)
        code = FixFromTemp(cancel, progress, &written);
    DWORD samples = 0;
    if (code == 0) {
        ULONGLONG lost = (wave.GetLostFrames() * 1000 + sourceRate_ - 1) / sourceRate_;
        lostMs_ = lost > MAX_LOST_MS ? MAX_LOST_MS : (DWORD)lost;
        code = Finish(written, &samples);
    }
    if (code == 0 && progress)
        progress(PERMILLE_COMPLETE);
    if (code == 0)
        code = writer_.Commit(samples, cancel);
    return code;
}

DWORD CGreetingConverter::OpenEncoder(WORD targetTag)
{
    encoding_ = targetTag != WAVE_FORMAT_PCM;
    if (!FindVoiceFormat(targetTag))
        return ERROR_INVALID_PARAMETER;
    if (!encoding_)
        return 0;
    AcmWaveFormat pcm;
    AcmWaveFormat coded;
    FillMonoWaveFormat(&pcm, WAVE_FORMAT_PCM, VOICE_SAMPLES_PER_SEC);
    FillMonoWaveFormat(&coded, targetTag, VOICE_SAMPLES_PER_SEC);
    return encoder_.Open(&pcm.format, &coded.format, ENCODE_PIECE_BYTES) == 0 ? 0 : ERROR_NOT_SUPPORTED;
}

DWORD CGreetingConverter::Resample(const float* samples, DWORD count, bool last)
{
    if (!resampling_)
        return Emit(samples, count, ExpectedSamples());
    resampled_.clear();
    HRESULT hr = last ? resampler_.Drain(&resampled_) : resampler_.Process(samples, count, &resampled_);
    if (FAILED(hr))
        return ERROR_INVALID_DATA;
    return Emit(resampled_.data(), (DWORD)resampled_.size(), ExpectedSamples());
}

// The length of the input read so far at 8000 Hz.
ULONGLONG CGreetingConverter::ExpectedSamples() const
{
    return (inputSamples_ * VOICE_SAMPLES_PER_SEC + sourceRate_ / 2) / sourceRate_;
}

// Quantises to 16-bit PCM and hands it on, never past limit samples in all:
// a filter's tail beyond the input's length is cut, and Finish makes up for
// a filter that gives back less.
DWORD CGreetingConverter::Emit(const float* samples, DWORD count, ULONGLONG limit)
{
    if (outputSamples_ + count > limit)
        count = outputSamples_ < limit ? (DWORD)(limit - outputSamples_) : 0;
    DWORD done = 0;
    while (done < count) {
        DWORD n = count - done;
        if (n > ENCODE_PIECE_BYTES / PCM_BYTES)
            n = ENCODE_PIECE_BYTES / PCM_BYTES;
        pcm_.resize(n * PCM_BYTES);
        short* out = reinterpret_cast<short*>(pcm_.data());
        for (DWORD i = 0; i < n; ++i)
            out[i] = Quantise(samples ? samples[done + i] : 0.0f);
        outputSamples_ += n;
        done += n;
        DWORD code = 0;
        if (fixing_) {
            analysis_.Add(out, n);
            code = temp_.Write(out, n);
        } else {
            code = Encode(pcm_.data(), n * PCM_BYTES, false);
        }
        if (code != 0)
            return code;
    }
    return 0;
}

// Hands 16-bit samples to the encoder (null: silence) in pieces it takes.
DWORD CGreetingConverter::EncodeSamples(const short* samples, DWORD count)
{
    const DWORD piece = ENCODE_PIECE_BYTES / PCM_BYTES;
    DWORD code = 0;
    for (DWORD done = 0; code == 0 && done < count; done += piece) {
        DWORD n = count - done < piece ? count - done : piece;
        if (samples) {
            code = Encode(reinterpret_cast<const BYTE*>(samples + done), n * PCM_BYTES, false);
        } else {
            pcm_.assign(n * PCM_BYTES, 0);
            code = Encode(pcm_.data(), n * PCM_BYTES, false);
        }
    }
    return code;
}

DWORD CGreetingConverter::Encode(const BYTE* pcm, DWORD bytes, bool last)
{
    if (!encoding_)
        return bytes ? writer_.Write(pcm, bytes) : 0;
    const BYTE* coded = nullptr;
    DWORD produced = 0;
    if (encoder_.Convert(pcm, bytes, last, &coded, &produced) != 0)
        return ERROR_INVALID_DATA;
    return produced ? writer_.Write(coded, produced) : 0;
}

// Pads a short filter output with silence to the input's length.
DWORD CGreetingConverter::PadToLength()
{
    ULONGLONG expected = ExpectedSamples();
    DWORD code = 0;
    while (code == 0 && outputSamples_ < expected)
        code = Emit(nullptr, VOICE_SAMPLES_PER_SEC, expected);
    return code;
}

// The second pass of a fixing conversion: the samples of the temporary,
// whose figures the first pass found, fixed and handed to the encoder.
// *written: the fixed samples.
DWORD CGreetingConverter::FixFromTemp(const std::atomic<bool>* cancel, const std::function<void(int)>& progress,
                                      ULONGLONG* written)
{
    CGreetingFix fix(analysis_.Figures(), fix_);
    DWORD code = temp_.Rewind();
    std::vector<short> piece(VOICE_SAMPLES_PER_SEC);
    const ULONGLONG total = temp_.Samples();
    ULONGLONG read = 0;
    *written = 0;
    while (code == 0) {
        if (cancel && cancel->load())
            return ERROR_CANCELLED;
        DWORD count = 0;
        code = temp_.Read(piece.data(), (DWORD)piece.size(), &count);
        if (code != 0 || count == 0)
            break;
        read += count;
        fixed_.clear();
        fix.Add(piece.data(), count, &fixed_);
        code = EncodeSamples(fixed_.data(), (DWORD)fixed_.size());
        *written += fixed_.size();
        if (progress)
            progress((int)((PERMILLE_COMPLETE + (PERMILLE_COMPLETE - 2) * read / total) / 2));
    }
    if (code != 0)
        return code;
    fixed_.clear();
    fix.Finish(&fixed_);
    *written += fixed_.size();
    return EncodeSamples(fixed_.data(), (DWORD)fixed_.size());
}

// Ends the encoding of written samples; GSM 6.10 codes whole blocks of 320
// samples, so its length is rounded to the nearest block (at most half a
// block, 20 ms, away) by padding with silence or by the encoder dropping the
// partial block. *samples: the count the file holds.
DWORD CGreetingConverter::Finish(ULONGLONG written, DWORD* samples)
{
    const VoiceFormat* format = FindVoiceFormat(tag_);
    *samples = (DWORD)written;
    DWORD code = 0;
    if (format->samplesPerBlock) {
        ULONGLONG blocks = (written + format->samplesPerBlock / 2) / format->samplesPerBlock;
        *samples = (DWORD)(blocks * format->samplesPerBlock);
        if (*samples > written)
            code = EncodeSamples(nullptr, (DWORD)(*samples - written));
    }
    if (code == 0 && encoding_)
        code = Encode(nullptr, 0, true);
    return code;
}
