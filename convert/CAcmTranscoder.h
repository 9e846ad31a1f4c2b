// One audio compression manager stream between any two formats (unlike the
// player's CAcmConvert, which only decodes whole seconds to PCM), fed in pieces
// of any length: what a piece leaves of an unfinished block is kept for the
// next. The greeting converter decodes with it and encodes with it; the
// stream, its prepared header and its buffers live exactly as long as it.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include "wave/CAcmStream.h"

class CAcmTranscoder {
public:
    CAcmTranscoder();
    virtual ~CAcmTranscoder();
    CAcmTranscoder(const CAcmTranscoder&) = delete;
    CAcmTranscoder& operator=(const CAcmTranscoder&) = delete;

    // pieceBytes: the most source bytes one Convert is given. Answers the
    // manager's result, 0 on success.
    MMRESULT Open(const WAVEFORMATEX* source, const WAVEFORMATEX* dest, DWORD pieceBytes);
    // Converts a piece; *output points at the bytes produced (valid until the
    // next call). last tells the codec the stream ends; a partial block left
    // at the end is dropped.
    MMRESULT Convert(const BYTE* input, DWORD length, bool last, const BYTE** output, DWORD* produced);
    void Close();
    // Source bytes of an unfinished block kept for the next piece.
    DWORD Held() const { return held_; }

private:
    CAcmStream stream_;
    DWORD held_;     // source bytes of an unfinished block at the buffer's start
    bool started_;
};
