#include "convert/CAcmTranscoder.h"

#include <string.h>

CAcmTranscoder::CAcmTranscoder() : held_(0), started_(false) {}

CAcmTranscoder::~CAcmTranscoder() { Close(); }

MMRESULT CAcmTranscoder::Open(const WAVEFORMATEX* source, const WAVEFORMATEX* dest, DWORD pieceBytes)
{
    Close();
    // Room for a piece behind what the previous one left of a block: less
    // than a block of the source or of the destination (an encoder of 320
    // samples keeps up to 638 bytes of PCM), and no codec's block is larger
    // than a piece.
    return stream_.Open(source, dest, 2 * pieceBytes + source->nBlockAlign);
}

MMRESULT CAcmTranscoder::Convert(const BYTE* input, DWORD length, bool last, const BYTE** output, DWORD* produced)
{
    *produced = 0;
    if (!stream_.IsOpen() || held_ + length > stream_.SourceBytes())
        return MMSYSERR_INVALPARAM;
    if (held_ + length == 0)
        return 0;
    BYTE* source = stream_.Source();
    if (length)
        memcpy(source + held_, input, length);
    // Whole blocks only: a partial block at the very end is dropped.
    DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN | (last ? ACM_STREAMCONVERTF_END : 0);
    if (!started_)
        flags |= ACM_STREAMCONVERTF_START;
    DWORD used = 0;
    MMRESULT result = stream_.Convert(held_ + length, flags, &used, produced);
    if (result != 0)
        return result;
    started_ = true;
    held_ = held_ + length - used;
    memmove(source, source + used, held_);
    *output = stream_.Dest();
    return 0;
}

void CAcmTranscoder::Close()
{
    // Closed either way: a stream that would not close is let go, and the
    // codec may open again.
    stream_.Release();
    held_ = 0;
    started_ = false;
}
