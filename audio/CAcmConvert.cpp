#include "audio/CAcmConvert.h"

#include <string.h>

#include "app/CommonServices.h"

CAcmConvert::CAcmConvert()
    : stream_(nullptr), sourceLength_(0), destLength_(0), buffer_(nullptr), lastOutput_(0)
{
    ZeroMemory(&header_, sizeof header_);
    ZeroMemory(&tagDetails_, sizeof tagDetails_);
    ZeroMemory(&formatDetails_, sizeof formatDetails_);
    ZeroMemory(&source_, sizeof source_);
    ZeroMemory(&dest_, sizeof dest_);
}

// The stream must have been closed (Close) before; nothing is released here.
CAcmConvert::~CAcmConvert() {}

bool CAcmConvert::SetFormats(WORD sourceTag, WORD destTag, DWORD samplesPerSec)
{
    Close();  // a second set-up must not leak the first stream
    if (!FillMonoWaveFormat(&source_, sourceTag, samplesPerSec))
        return false;
    if (!FillMonoWaveFormat(&dest_, destTag, samplesPerSec))
        return false;
    sourceLength_ = source_.format.nAvgBytesPerSec;
    if (!CheckFormat(&source_) || !CheckFormat(&dest_))
        return false;
    return OpenStream(&source_, &dest_);
}

bool CAcmConvert::CheckFormat(AcmWaveFormat* format)
{
    ZeroMemory(&tagDetails_, sizeof tagDetails_);
    tagDetails_.cbStruct = sizeof tagDetails_;
    tagDetails_.dwFormatTag = format->format.wFormatTag;
    if (acmFormatTagDetailsA(nullptr, &tagDetails_, ACM_FORMATTAGDETAILSF_FORMATTAG) != 0)
        return false;

    ZeroMemory(&formatDetails_, sizeof formatDetails_);
    formatDetails_.cbStruct = sizeof formatDetails_;
    formatDetails_.dwFormatTag = format->format.wFormatTag;
    formatDetails_.pwfx = &format->format;
    formatDetails_.cbwfx = sizeof *format;
    return acmFormatDetailsA(nullptr, &formatDetails_, ACM_FORMATDETAILSF_FORMAT) == 0;
}

bool CAcmConvert::OpenStream(AcmWaveFormat* source, AcmWaveFormat* dest)
{
    HACMSTREAM stream = nullptr;
    if (acmStreamOpen(&stream, nullptr, &source->format, &dest->format, nullptr, 0, 0,
                      ACM_STREAMOPENF_NONREALTIME) != 0)
        return false;

    // From here on a failure closes what was opened: the caller destroys a
    // converter whose set-up failed without closing it.
    DWORD destLength = 0;
    if (acmStreamSize(stream, sourceLength_, &destLength, ACM_STREAMSIZEF_SOURCE) != 0 || destLength == 0) {
        acmStreamClose(stream, 0);
        return false;
    }
    BYTE* buffer = static_cast<BYTE*>(AllocBlock((int)(sourceLength_ + destLength)));
    if (!buffer) {
        acmStreamClose(stream, 0);
        return false;
    }

    ZeroMemory(&header_, sizeof header_);
    header_.cbStruct = sizeof header_;
    header_.pbSrc = buffer;
    header_.cbSrcLength = sourceLength_;
    header_.pbDst = buffer + sourceLength_;
    header_.cbDstLength = destLength;
    if (acmStreamPrepareHeader(stream, &header_, 0) != 0) {
        acmStreamClose(stream, 0);
        FreeBlock(buffer);
        ZeroMemory(&header_, sizeof header_);
        return false;
    }
    stream_ = stream;
    buffer_ = buffer;
    destLength_ = destLength;
    lastOutput_ = 0;
    return true;
}

bool CAcmConvert::Convert(ConvertBlock* block)
{
    if (!stream_ || !block || !block->output || block->inputLength > sourceLength_ ||
        (block->inputLength > 0 && !block->input))
        return false;
    header_.cbSrcLength = block->inputLength;
    // Whatever the previous block left behind becomes silence.
    memset(block->output, 0, lastOutput_);
    lastOutput_ = 0;
    if (block->inputLength > 0)
        memcpy(header_.pbSrc, block->input, block->inputLength);
    if (acmStreamConvert(stream_, &header_, ACM_STREAMCONVERTF_BLOCKALIGN) != 0)
        return false;
    DWORD produced = header_.cbDstLengthUsed;
    if (produced > destLength_)
        produced = destLength_;
    memcpy(block->output, header_.pbDst, produced);
    block->outputLength = produced;
    lastOutput_ = produced;
    return true;
}

bool CAcmConvert::Close()
{
    if (!stream_)
        return true;
    return CloseStream();
}

bool CAcmConvert::CloseStream()
{
    // Unprepare wants the lengths the header was prepared with.
    header_.cbSrcLength = sourceLength_;
    header_.cbDstLength = destLength_;
    if (acmStreamUnprepareHeader(stream_, &header_, 0) != 0)
        return false;
    if (acmStreamClose(stream_, 0) != 0)
        return false;
    FreeBlock(buffer_);
    buffer_ = nullptr;
    stream_ = nullptr;
    lastOutput_ = 0;
    return true;
}
