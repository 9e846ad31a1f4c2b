#include "wave/VoiceFileCheck.h"

#include "app/CommonServices.h"
#include "wave/VoiceFormats.h"

namespace {

bool IsAcceptedRate(const RawHeader& header, const VoiceFormat& format)
{
    return header.channels == VOICE_CHANNELS && header.samplesPerSec == VOICE_SAMPLES_PER_SEC &&
           header.avgBytesPerSec == format.bytesPerSec;
}

} // namespace

DWORD CheckVoiceFile(const char* fileName, ScopedHandle* file, RawHeader* header, DWORD* dataOffset,
                     DWORD* dataSize)
{
    if (!FileExists(fileName))
        return VOICE_ERROR_MISSING;
    file->Reset(OpenForReading(fileName));
    if (!file->IsValid())
        return GetLastError();
    DWORD error = ReadRawHeader(file->Get(), header);
    if (error != 0)
        return error;
    const VoiceFormat* format = FindVoiceFormat(header->formatTag);
    if (!format || !IsAcceptedRate(*header, *format))
        return VOICE_ERROR_FORMAT;
    return FindVoiceData(file->Get(), header->fmtSize, dataOffset, dataSize);
}
