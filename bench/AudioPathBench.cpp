// Figures for the file, ring buffer and conversion steps of playback: how long
// one WAV header check, one second of conversion per format, and one second
// through the ring buffer (16000 in, fifty reads of 320) take.
#include <windows.h>

#include <stdio.h>
#include <string>
#include <vector>

#include "playback/CAcmConvert.h"
#include "playback/CRingBuffer.h"
#include "playback/CVoiceFile.h"
#include "bench/BenchClock.h"
#include "bytes/FileBytes.h"
#include "bytes/WavBytes.h"

namespace {

std::vector<BYTE> Noise(size_t length)
{
    std::vector<BYTE> v(length);
    DWORD x = 12345;
    for (BYTE& b : v) {
        x = x * 1103515245u + 12345u;
        b = (BYTE)(x >> 16);
    }
    return v;
}

void BenchConvert(const char* name, WORD tag)
{
    CAcmConvert acm;
    if (!acm.SetFormats(tag, WAVE_FORMAT_PCM, 8000)) {
        printf("convert %-9s  no codec\n", name);
        return;
    }
    std::vector<BYTE> input = Noise(acm.GetSourceLength()), output(acm.GetDestLength());
    const int seconds = 200;
    double start = ClockSeconds();
    for (int i = 0; i < seconds; ++i) {
        ConvertBlock block = {output.data(), (DWORD)output.size(), input.data(), (DWORD)input.size()};
        acm.Convert(&block);
    }
    double perSecond = (ClockSeconds() - start) / seconds;
    printf("convert %-9s  %8.1f us per second of sound (%u -> %u bytes)\n", name, perSecond * 1e6,
           (unsigned)input.size(), (unsigned)acm.GetDestLength());
    acm.Close();
}

void BenchRing()
{
    CRingBuffer rb(0x10001);
    std::vector<BYTE> in = Noise(16000), out(320);
    const int seconds = 2000;
    double start = ClockSeconds();
    for (int i = 0; i < seconds; ++i) {
        rb.Write(in.data(), 16000);
        for (int j = 0; j < 50; ++j)
            rb.Read(out.data(), 320);
    }
    double perSecond = (ClockSeconds() - start) / seconds;
    printf("ring buffer       %8.1f us per second of sound (one write of 16000, 50 reads of 320)\n",
           perSecond * 1e6);
}

void BenchOpen()
{
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    std::string path = std::string(dir) + "orlenta-bench.wav";
    // PCM, a LIST chunk in front of the data, 10 s of sound.
    WriteFileBytes(path, Wav(PcmFmt(), Chunk("LIST", std::string(26, 'i')) + Chunk("data", std::string(160000, '\0'))));

    const int runs = 500;
    double start = ClockSeconds();
    int ok = 0;
    CVoiceFile voice(path.c_str());
    for (int i = 0; i < runs; ++i) {
        ok += voice.Open() ? 1 : 0;
        voice.Close();
    }
    double each = (ClockSeconds() - start) / runs;
    printf("CVoiceFile::Open  %8.1f us per header check (%d of %d accepted)\n", each * 1e6, ok, runs);
    DeleteFileA(path.c_str());
}

} // namespace

int main()
{
    BenchOpen();
    BenchRing();
    BenchConvert("PCM", WAVE_FORMAT_PCM);
    BenchConvert("G.711a", WAVE_FORMAT_ALAW);
    BenchConvert("G.711m", WAVE_FORMAT_MULAW);
    BenchConvert("GSM 6.10", WAVE_FORMAT_GSM610);
    return 0;
}
