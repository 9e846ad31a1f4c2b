#include "wave/CAcmStream.h"

#include <limits.h>

#include "app/CommonServices.h"

CAcmStream::CAcmStream() : stream_(nullptr), header_(), prepared_(false), sourceBytes_(0), destBytes_(0) {}

CAcmStream::~CAcmStream() { Release(); }

MMRESULT CAcmStream::Open(const WAVEFORMATEX* source, const WAVEFORMATEX* dest, DWORD sourceBytes,
                          HACMDRIVER driver)
{
    Release();
    HACMSTREAM stream = nullptr;
    MMRESULT result = acmStreamOpen(&stream, driver, const_cast<WAVEFORMATEX*>(source),
                                    const_cast<WAVEFORMATEX*>(dest), nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
    if (result != 0)
        return result;
    stream_ = stream;
    result = Prepare(sourceBytes);
    if (result != 0)
        Release();
    return result;
}

// Sizes, allocates and prepares the header of the stream just opened.
MMRESULT CAcmStream::Prepare(DWORD sourceBytes)
{
    DWORD destBytes = 0;
    MMRESULT result = acmStreamSize(stream_, sourceBytes, &destBytes, ACM_STREAMSIZEF_SOURCE);
    if (result != 0)
        return result;
    if (destBytes == 0)
        return ACMERR_NOTPOSSIBLE;
    // The sum is checked before it is narrowed: a wrapped size would give a
    // block shorter than the header says.
    ULONGLONG total = (ULONGLONG)sourceBytes + destBytes;
    if (total > INT_MAX)
        return MMSYSERR_NOMEM;
    block_.Reset(AllocBlock((int)total));
    if (!block_)
        return MMSYSERR_NOMEM;
    sourceBytes_ = sourceBytes;
    destBytes_ = destBytes;
    header_ = ACMSTREAMHEADER();
    header_.cbStruct = sizeof header_;
    header_.pbSrc = Source();
    header_.cbSrcLength = sourceBytes_;
    header_.pbDst = block_.As<BYTE>() + sourceBytes_;
    header_.cbDstLength = destBytes_;
    result = acmStreamPrepareHeader(stream_, &header_, 0);
    prepared_ = result == 0;
    return result;
}

MMRESULT CAcmStream::Convert(DWORD length, DWORD flags, DWORD* used, DWORD* produced)
{
    *used = 0;
    *produced = 0;
    if (!prepared_ || length > sourceBytes_)
        return MMSYSERR_INVALPARAM;
    header_.cbSrcLength = length;
    header_.cbDstLength = destBytes_;
    MMRESULT result = acmStreamConvert(stream_, &header_, flags);
    if (result != 0)
        return result;
    *used = header_.cbSrcLengthUsed < length ? header_.cbSrcLengthUsed : length;
    *produced = header_.cbDstLengthUsed < destBytes_ ? header_.cbDstLengthUsed : destBytes_;
    return 0;
}

HACMDRIVERID CAcmStream::DriverId() const
{
    HACMDRIVERID id = nullptr;
    if (!stream_ || acmDriverID(reinterpret_cast<HACMOBJ>(stream_), &id, 0) != 0)
        return nullptr;
    return id;
}

MMRESULT CAcmStream::Close()
{
    if (!stream_)
        return 0;
    if (prepared_) {
        // Unprepare wants the lengths the header was prepared with.
        header_.cbSrcLength = sourceBytes_;
        header_.cbDstLength = destBytes_;
        MMRESULT result = acmStreamUnprepareHeader(stream_, &header_, 0);
        if (result != 0)
            return result;
        prepared_ = false;
    }
    MMRESULT result = acmStreamClose(stream_, 0);
    if (result != 0)
        return result;
    stream_ = nullptr;
    block_.Reset();
    sourceBytes_ = 0;
    destBytes_ = 0;
    return 0;
}

void CAcmStream::Abandon()
{
    stream_ = nullptr;
    prepared_ = false;
    block_.Detach();
    sourceBytes_ = 0;
    destBytes_ = 0;
}

void CAcmStream::Release()
{
    if (Close() != 0)
        Abandon();
}
