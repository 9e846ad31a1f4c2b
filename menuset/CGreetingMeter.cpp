#include "menuset/CGreetingMeter.h"

#include "playback/GreetingFileAnalysis.h"
#include "wave/CAcmStream.h"
#include "wave/ScopedAcmDriver.h"
#include "wave/VoiceFormats.h"
#include "wave/WaveChunks.h"

// The driver is declared first, so the stream on it closes before it does.
struct CGreetingMeter::Codec {
    ScopedAcmDriver driver;  // null until found, or when it would not open
    CAcmStream stream;       // opened again for every file
    bool missing = false;    // no driver takes the format: none will for the next file
};

namespace {

// Seconds of source read and decoded at a time.
const DWORD PIECE_SECONDS = 8;

// Reads up to want bytes; got 0 when the file ends early (it is shorter than
// when it was checked).
DWORD ReadPiece(HANDLE file, BYTE* into, DWORD want, DWORD* got)
{
    *got = 0;
    return ReadFile(file, into, want, got, nullptr) ? 0 : GetLastError();
}

} // namespace

CGreetingMeter::CGreetingMeter() : pcm_(PIECE_SECONDS * VOICE_SAMPLES_PER_SEC * sizeof(short)) {}

CGreetingMeter::~CGreetingMeter() = default;

DWORD CGreetingMeter::Measure(HANDLE file, WORD formatTag, DWORD dataOffset, DWORD dataSize,
                              GreetingFigures* figures)
{
    if (!SeekTo(file, dataOffset))
        return GetLastError();
    CGreetingAnalysis analysis(DecodedFullScale(formatTag));
    DWORD error = formatTag == WAVE_FORMAT_PCM ? MeasurePcm(file, dataSize, &analysis)
                                               : MeasureCoded(file, formatTag, dataSize, &analysis);
    if (error == 0)
        *figures = analysis.Figures();
    return error;
}

// 8000 Hz mono 16-bit PCM is what the decoder would give: the samples go to
// the analysis as they are. A last odd byte is no sample.
DWORD CGreetingMeter::MeasurePcm(HANDLE file, DWORD dataSize, CGreetingAnalysis* analysis)
{
    for (DWORD left = dataSize; left >= sizeof(short);) {
        DWORD got = 0;
        DWORD error = ReadPiece(file, pcm_.data(), left < pcm_.size() ? left : (DWORD)pcm_.size(), &got);
        if (error || got == 0)
            return error;
        left -= got;
        analysis->Add(reinterpret_cast<const short*>(pcm_.data()), got / sizeof(short));
    }
    return 0;
}

// A last part block is left undecoded, as the player leaves it.
DWORD CGreetingMeter::MeasureCoded(HANDLE file, WORD formatTag, DWORD dataSize, CGreetingAnalysis* analysis)
{
    CAcmStream* decoder = DecoderFor(formatTag);
    if (!decoder)
        return ERROR_INVALID_DATA;
    for (DWORD left = dataSize; left > 0;) {
        DWORD got = 0;
        DWORD error =
            ReadPiece(file, decoder->Source(), left < decoder->SourceBytes() ? left : decoder->SourceBytes(), &got);
        if (error || got == 0)
            return error;
        left -= got;
        DWORD used = 0, produced = 0;
        if (decoder->Convert(got, ACM_STREAMCONVERTF_BLOCKALIGN, &used, &produced) != 0)
            return ERROR_INVALID_DATA;
        analysis->Add(reinterpret_cast<const short*>(decoder->Dest()), produced / sizeof(short));
    }
    return 0;
}

// A new stream for the next file: on the format's driver once it is known,
// where opening one costs next to nothing; the first is opened by the manager,
// which finds the driver.
CAcmStream* CGreetingMeter::DecoderFor(WORD formatTag)
{
    std::unique_ptr<Codec>& codec = codecs_[formatTag];
    if (!codec)
        codec.reset(new Codec);
    AcmWaveFormat source;
    AcmWaveFormat pcm;
    if (codec->missing || !FillMonoWaveFormat(&source, formatTag, VOICE_SAMPLES_PER_SEC) ||
        !FillMonoWaveFormat(&pcm, WAVE_FORMAT_PCM, VOICE_SAMPLES_PER_SEC))
        return nullptr;
    if (codec->stream.Open(&source.format, &pcm.format, PIECE_SECONDS * source.format.nAvgBytesPerSec,
                           codec->driver.Get()) != 0) {
        codec->missing = true;
        return nullptr;
    }
    if (!codec->driver.Get() && codec->stream.DriverId())
        codec->driver.Open(codec->stream.DriverId());  // without it, each file is opened as the first
    return &codec->stream;
}
