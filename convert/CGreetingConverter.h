// Converts any WAV file the program can decode into a greeting the IVR system
// plays: mixed down to mono, resampled to 8000 Hz and written as 16-bit PCM,
// G.711 A-law, G.711 µ-law or GSM 6.10, and fixed on the way when asked
// (CGreetingFix: the level and the silences). Runs on whatever thread calls it
// (the conversion flow uses a worker thread); memory stays fixed whatever the
// file's length.
//
// A fix needs the figures of the whole greeting before its first sample is
// changed, so a fixing conversion makes two passes: the 8000 Hz samples go
// into a raw temporary beside the target while they are analysed, then the
// fix reads them back and hands them to the encoder. An 8000 Hz PCM
// recording passes sample for sample, so fixing and encoding one is this
// same call (SetFix, then Convert).
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <vector>

#include "convert/CAcmTranscoder.h"
#include "convert/CMfResampler.h"
#include "convert/CGreetingFix.h"
#include "convert/CPcmTempFile.h"
#include "convert/CWaveWriter.h"
#include "wave/CGreetingAnalysis.h"

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

    // The fix of the conversions that follow; a choice with neither part on
    // (the start) converts without one.
    void SetFix(const GreetingFixChoice& choice);

    // Writes target (through a temporary beside it) from source. Answers 0,
    // a code for which SoundWasLost is true when the target was written but
    // part of the source could not be decoded (silence stands for it),
    // ERROR_CANCELLED once cancel is seen (nothing is left behind, and the
    // cancel is looked at up to the moment the target is replaced),
    // CONVERT_ERROR_NO_RESAMPLER, ERROR_FILE_TOO_LARGE when the result would
    // not fit in a WAV file (refused before writing when the source's length
    // is known), or the error code of what failed (see CWaveSource::Open and
    // CWaveWriter). progress, when given, hears on the converting thread the
    // per mille of the source read after each piece (at most 999; a fixing
    // conversion tells its two passes as halves), and 1000 once the new file
    // is complete, just before it replaces the target.
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
    DWORD EncodeSamples(const short* samples, DWORD count);
    DWORD Encode(const BYTE* pcm, DWORD bytes, bool last);
    DWORD PadToLength();
    DWORD FixFromTemp(const std::atomic<bool>* cancel, const std::function<void(int)>& progress, ULONGLONG* written);
    DWORD Finish(ULONGLONG written, DWORD* samples);

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
    GreetingFixChoice fix_;
    bool fixing_;               // this conversion fixes: fix_ has a part on
    CGreetingAnalysis analysis_;  // of the 8000 Hz samples, while fixing
    CPcmTempFile temp_;         // the 8000 Hz samples, while fixing
    std::vector<short> fixed_;
};
