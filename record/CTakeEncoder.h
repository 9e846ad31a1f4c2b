// Writes the recorder's take as a greeting: the quality fix as the operator
// chose it (the take's analysis first, then the fix in pieces), then one of
// the four formats through the audio compression manager, into a temporary
// beside the target that replaces it only once it is complete.
#pragma once
#include <windows.h>

#include <vector>

#include "app/ScopedWin.h"
#include "convert/CAcmTranscoder.h"
#include "convert/CGreetingFix.h"
#include "convert/CWaveWriter.h"

class CTakeEncoder {
public:
    CTakeEncoder();
    virtual ~CTakeEncoder();
    CTakeEncoder(const CTakeEncoder&) = delete;
    CTakeEncoder& operator=(const CTakeEncoder&) = delete;

    // take: a 16-bit PCM WAV at 8000 Hz mono with a 44-byte header (CTakeFile).
    // Answers 0 or the error code of what failed; the target is then untouched.
    DWORD Encode(const char* take, const char* target, WORD tag, const GreetingFixChoice& choice);

private:
    DWORD Run(const char* take, const char* target, WORD tag, const GreetingFixChoice& choice);
    // Reads the take from its first sample, handing each piece to use.
    template <typename Use>
    DWORD ReadTake(Use use);
    DWORD Put(const short* samples, size_t count);
    DWORD Encode(const BYTE* pcm, DWORD bytes, bool last);

    ScopedHandle take_;
    CAcmTranscoder encoder_;
    bool encoding_;
    CWaveWriter writer_;
    ULONGLONG written_;  // samples handed to the encoder
    std::vector<short> piece_;
    std::vector<short> fixed_;
};
