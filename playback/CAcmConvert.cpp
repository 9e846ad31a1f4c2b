#include "playback/CAcmConvert.h"

#include <string.h>

CAcmConvert::CAcmConvert() : sourceLength_(0), destLength_(0), lastOutput_(0)
{
    ZeroMemory(&tagDetails_, sizeof tagDetails_);
    ZeroMemory(&formatDetails_, sizeof formatDetails_);
    ZeroMemory(&source_, sizeof source_);
    ZeroMemory(&dest_, sizeof dest_);
}

// The stream must have been closed (Close) before; nothing is released here,
// also of a stream that Close could not close.
CAcmConvert::~CAcmConvert() { stream_.Abandon(); }

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

// A failure leaves nothing open: the caller destroys a converter whose
// set-up failed without closing it.
bool CAcmConvert::OpenStream(AcmWaveFormat* source, AcmWaveFormat* dest)
{
    if (stream_.Open(&source->format, &dest->format, sourceLength_) != 0)
        return false;
    destLength_ = stream_.DestBytes();
    lastOutput_ = 0;
    return true;
}

bool CAcmConvert::Convert(ConvertBlock* block)
{
    if (!stream_.IsOpen() || !block || !block->output || block->inputLength > sourceLength_ ||
        (block->inputLength > 0 && !block->input))
        return false;
    // Whatever the previous block left behind becomes silence.
    memset(block->output, 0, lastOutput_);
    lastOutput_ = 0;
    if (block->inputLength > 0)
        memcpy(stream_.Source(), block->input, block->inputLength);
    DWORD used = 0, produced = 0;
    if (stream_.Convert(block->inputLength, ACM_STREAMCONVERTF_BLOCKALIGN, &used, &produced) != 0)
        return false;
    memcpy(block->output, stream_.Dest(), produced);
    block->outputLength = produced;
    lastOutput_ = produced;
    return true;
}

bool CAcmConvert::Close()
{
    if (!stream_.IsOpen())
        return true;
    return CloseStream();
}

bool CAcmConvert::CloseStream()
{
    if (stream_.Close() != 0)
        return false;
    lastOutput_ = 0;
    return true;
}
