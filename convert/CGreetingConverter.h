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

#include "convert/CAcmTranscoder.h"
#include "convert/CMfResampler.h"
#include "convert/CWaveWriter.h"

class CWaveSource;

// Answered by Convert when the source needs a new sampling rate and the
// platform's resampler cannot be had: Media Foundation is not installed, or
// its resampler cannot be created. An application's code (bit 29), never a
// system error.
const DWORD CONVERT_ERROR_NO_RESAMPLER = 0x20000001;

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
    // ERROR_CANCELLED once cancel is seen (nothing is left behind, and the
    // cancel is looked at up to the moment the target is replaced),
    // CONVERT_ERROR_NO_RESAMPLER, ERROR_FILE_TOO_LARGE when the result would
    // not fit in a WAV file (refused before writing when the source's length
    // is known), or the error code of what failed (see CWaveSource::Open and
    // CWaveWriter). progress, when given, hears on the converting thread the
    // per mille of the source read after each piece (at most 999), and 1000
    // once the new file is complete, just before it replaces the target.
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
    DWORD Finish(DWORD* samples);

    CMfResampler resampler_;
    bool resampling_;
    CAcmTranscoder encoder_;
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
