// Converts any WAV file the program can decode into a greeting the IVR system
// plays: mixed down to mono, resampled to 8000 Hz and written as 16-bit PCM,
// G.711 A-law, G.711 µ-law or GSM 6.10. Runs on whatever thread calls it (the
// conversion flow uses a worker thread); memory stays fixed whatever the
// file's length.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <vector>

#include "audio/CAcmCodec.h"
#include "audio/CMfResampler.h"
#include "audio/CWaveWriter.h"

class CWaveSource;

class CGreetingConverter {
public:
    CGreetingConverter();
    virtual ~CGreetingConverter();
    CGreetingConverter(const CGreetingConverter&) = delete;
    CGreetingConverter& operator=(const CGreetingConverter&) = delete;

    // Whether the file can be decoded at all (the header and a decoder for
    // it): 0, or the code CWaveSource::Open answers.
    static DWORD Probe(const char* source);

    // Writes target (through a temporary beside it) from source. Answers 0,
    // a code for which SoundWasLost is true when the target was written but
    // part of the source could not be decoded (silence stands for it),
    // ERROR_CANCELLED once cancel is seen (nothing is left behind), or the
    // error code of what failed (see CWaveSource::Open and CWaveWriter).
    // progress, when given, hears the per mille of the source read after
    // each piece, on the converting thread.
    DWORD Convert(const char* source, const char* target, WORD targetTag, const std::atomic<bool>* cancel,
                  const std::function<void(int)>& progress);
    // Whether Convert's answer says it wrote the target with sound lost;
    // *lostMs: how much, in milliseconds of the source.
    static bool SoundWasLost(DWORD code, DWORD* lostMs);

private:
    DWORD Run(const char* source, const char* target, WORD targetTag, const std::atomic<bool>* cancel,
              const std::function<void(int)>& progress);
    DWORD OpenEncoder(WORD targetTag);
    DWORD Resample(const float* samples, DWORD count, bool last);
    ULONGLONG ExpectedSamples() const;
    DWORD Emit(const float* samples, DWORD count, ULONGLONG limit);
    DWORD Encode(const BYTE* pcm, DWORD bytes, bool last);
    DWORD Finish();

    CMfResampler resampler_;
    bool resampling_;
    CAcmCodec encoder_;
    bool encoding_;
    CWaveWriter writer_;
    WORD tag_;
    ULONGLONG inputSamples_;   // mono samples read at the source's rate
    ULONGLONG outputSamples_;  // samples at 8000 Hz handed to the encoder
    DWORD sourceRate_;
    DWORD lostMs_;             // of the source, that could not be decoded
    std::vector<float> resampled_;
    std::vector<BYTE> pcm_;
};
