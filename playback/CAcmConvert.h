// Decodes one second at a time of an accepted WAV format to 16-bit PCM
// through the audio compression manager.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include "wave/CAcmStream.h"
#include "wave/VoiceFormats.h"

// One conversion, filled by the caller.
struct ConvertBlock {
    BYTE* output;        // at least GetDestLength() bytes
    DWORD outputLength;  // on success: bytes produced
    const BYTE* input;
    DWORD inputLength;   // at most GetSourceLength()
};

class CAcmConvert {
public:
    CAcmConvert();
    virtual ~CAcmConvert();
    CAcmConvert(const CAcmConvert&) = delete;
    CAcmConvert& operator=(const CAcmConvert&) = delete;

    bool SetFormats(WORD sourceTag, WORD destTag, DWORD samplesPerSec);
    bool Convert(ConvertBlock* block);
    bool Close();

    DWORD GetSourceLength() const { return sourceLength_; }
    DWORD GetDestLength() const { return destLength_; }

private:
    bool CheckFormat(AcmWaveFormat* format);
    bool OpenStream(AcmWaveFormat* source, AcmWaveFormat* dest);
    bool CloseStream();

    CAcmStream stream_;  // with its prepared header and conversion buffer
    ACMFORMATTAGDETAILSA tagDetails_;
    ACMFORMATDETAILSA formatDetails_;
    AcmWaveFormat source_;
    AcmWaveFormat dest_;
    DWORD sourceLength_;
    DWORD destLength_;
    DWORD lastOutput_;  // bytes the previous conversion produced
};
