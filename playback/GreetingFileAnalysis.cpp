#include "playback/GreetingFileAnalysis.h"

#include <vector>

#include "app/ScopedWin.h"
#include "playback/CAcmConvert.h"
#include "playback/CVoiceFile.h"
#include "wave/VoiceFormats.h"

namespace {

// Reads the data from where file stands, one second of source at a time,
// and adds what it decodes to.
DWORD DecodeInto(HANDLE file, WORD formatTag, DWORD dataSize, CGreetingAnalysis* analysis)
{
    CAcmConvert decoder;
    if (!decoder.SetFormats(formatTag, WAVE_FORMAT_PCM, VOICE_SAMPLES_PER_SEC))
        return ERROR_INVALID_DATA;
    std::vector<BYTE> input(decoder.GetSourceLength());
    std::vector<BYTE> output(decoder.GetDestLength());
    DWORD error = 0;
    for (DWORD left = dataSize; left > 0 && error == 0;) {
        DWORD want = left < input.size() ? left : (DWORD)input.size();
        DWORD got = 0;
        if (!ReadFile(file, input.data(), want, &got, nullptr)) {
            error = GetLastError();
            break;
        }
        if (got == 0)
            break;  // the file is shorter than when it was checked
        left -= got;
        ConvertBlock block = {output.data(), (DWORD)output.size(), input.data(), got};
        if (!decoder.Convert(&block))
            error = ERROR_INVALID_DATA;
        else
            analysis->Add(reinterpret_cast<const short*>(output.data()), block.outputLength / sizeof(short));
    }
    decoder.Close();
    return error;
}

} // namespace

int DecodedFullScale(WORD formatTag)
{
    switch (formatTag) {
    case WAVE_FORMAT_ALAW:
        return 32256;
    case WAVE_FORMAT_MULAW:
        return 32124;
    default:
        return 32767;
    }
}

DWORD AnalyseGreetingFile(const char* fileName, GreetingFigures* figures)
{
    // The player's own check tells the format and where the data lie.
    CVoiceFile voice(fileName);
    if (!voice.Open())
        return voice.GetLastErrorCode();
    const WaveHeader& header = voice.GetHeader();
    voice.Close();
    DWORD formatTag = 0;
    ScopedHandle file(OpenWaveFile(fileName, 0, &formatTag));
    if (!file.IsValid())
        return GetLastError() ? GetLastError() : VOICE_ERROR_FORMAT;

    CGreetingAnalysis analysis(DecodedFullScale(header.formatTag));
    DWORD error = DecodeInto(file.Get(), header.formatTag, header.dataSize, &analysis);
    if (error == 0)
        *figures = analysis.Figures();
    return error;
}
