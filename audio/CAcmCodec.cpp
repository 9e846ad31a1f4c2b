#include "audio/CAcmCodec.h"

#include <string.h>

CAcmCodec::CAcmCodec() : stream_(nullptr), header_(), held_(0), started_(false) {}

CAcmCodec::~CAcmCodec() { Close(); }

MMRESULT CAcmCodec::Open(const WAVEFORMATEX* source, const WAVEFORMATEX* dest, DWORD pieceBytes)
{
    Close();
    MMRESULT result = acmStreamOpen(&stream_, nullptr, const_cast<WAVEFORMATEX*>(source),
                                    const_cast<WAVEFORMATEX*>(dest), nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
    if (result != 0) {
        stream_ = nullptr;
        return result;
    }
    // Room for a piece behind what the previous one left of a block: less
    // than a block of the source or of the destination (an encoder of 320
    // samples keeps up to 638 bytes of PCM), and no codec's block is larger
    // than a piece.
    DWORD capacity = 2 * pieceBytes + source->nBlockAlign;
    DWORD destBytes = 0;
    result = acmStreamSize(stream_, capacity, &destBytes, ACM_STREAMSIZEF_SOURCE);
    if (result == 0 && destBytes == 0)
        result = ACMERR_NOTPOSSIBLE;
    if (result != 0) {
        Close();
        return result;
    }
    source_.assign(capacity, 0);
    dest_.assign(destBytes, 0);
    header_ = ACMSTREAMHEADER();
    header_.cbStruct = sizeof header_;
    header_.pbSrc = source_.data();
    header_.cbSrcLength = capacity;
    header_.pbDst = dest_.data();
    header_.cbDstLength = destBytes;
    result = acmStreamPrepareHeader(stream_, &header_, 0);
    if (result != 0) {
        header_.fdwStatus = 0;
        Close();
    }
    return result;
}

MMRESULT CAcmCodec::Convert(const BYTE* input, DWORD length, bool last, const BYTE** output, DWORD* produced)
{
    *produced = 0;
    if (!stream_ || held_ + length > source_.size())
        return MMSYSERR_INVALPARAM;
    if (held_ + length == 0)
        return 0;
    if (length)
        memcpy(source_.data() + held_, input, length);
    header_.cbSrcLength = held_ + length;
    header_.cbDstLength = (DWORD)dest_.size();
    // Whole blocks only: a partial block at the very end is dropped.
    DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN | (last ? ACM_STREAMCONVERTF_END : 0);
    if (!started_)
        flags |= ACM_STREAMCONVERTF_START;
    MMRESULT result = acmStreamConvert(stream_, &header_, flags);
    if (result != 0)
        return result;
    started_ = true;
    DWORD used = header_.cbSrcLengthUsed < header_.cbSrcLength ? header_.cbSrcLengthUsed : header_.cbSrcLength;
    held_ = header_.cbSrcLength - used;
    memmove(source_.data(), source_.data() + used, held_);
    *output = dest_.data();
    *produced = header_.cbDstLengthUsed < dest_.size() ? header_.cbDstLengthUsed : (DWORD)dest_.size();
    return 0;
}

void CAcmCodec::Close()
{
    if (!stream_)
        return;
    if (header_.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) {
        // Unprepare wants the lengths the header was prepared with.
        header_.cbSrcLength = (DWORD)source_.size();
        header_.cbDstLength = (DWORD)dest_.size();
        acmStreamUnprepareHeader(stream_, &header_, 0);
    }
    acmStreamClose(stream_, 0);
    stream_ = nullptr;
    held_ = 0;
    started_ = false;
}
