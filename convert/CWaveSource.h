// Any WAV file the program can decode, read piece by piece as mono samples in
// [-1, 1] at the file's own rate: integer PCM of 8 to 32 bits, IEEE float,
// their WAVE_FORMAT_EXTENSIBLE forms, and every tag an installed audio
// compression manager codec decodes to PCM. The header and chunk walk are the
// player's; memory stays fixed whatever the file's length.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>

#include <vector>

#include "app/ScopedWin.h"
#include "convert/CAcmCodec.h"

class CWaveSource {
public:
    CWaveSource();
    virtual ~CWaveSource();
    CWaveSource(const CWaveSource&) = delete;
    CWaveSource& operator=(const CWaveSource&) = delete;

    // Answers 0; ERROR_FILE_NOT_FOUND; ERROR_BAD_FORMAT for a file nothing
    // here decodes; ERROR_HANDLE_EOF for a file without one whole block of
    // data; ERROR_FILE_TOO_LARGE for more than 4 GB of data; or the
    // system's error code of a failed open or read.
    DWORD Open(const char* fileName);
    // The next piece, mixed down to the mean of the channels; *count is 0 at
    // the end. The samples stay valid until the next call. Answers 0 or an
    // error code.
    DWORD Read(const float** samples, DWORD* count);

    DWORD GetSampleRate() const { return sampleRate_; }
    ULONGLONG GetDataBytes() const { return dataBytes_; }
    ULONGLONG GetBytesRead() const { return bytesRead_; }
    // The frames the data holds where its size tells (PCM and float read as
    // they are); 0 where only decoding tells.
    ULONGLONG GetFrameCount() const { return useCodec_ ? 0 : dataBytes_ / pcm_.nBlockAlign; }

private:
    DWORD ReadFormat();
    bool SetDirect(const WAVEFORMATEX& format);
    DWORD OpenCodec();
    void MixDown(const BYTE* frames, DWORD bytes);

    ScopedHandle file_;
    DWORD fmtSize_;             // as the header states it: where the next chunk starts
    std::vector<BYTE> format_;  // the fmt body, room for a WAVEFORMATEX's extra bytes
    WAVEFORMATEX pcm_;          // what the mixer reads: the file's own or the codec's output
    bool isFloat_;
    bool useCodec_;
    CAcmCodec codec_;
    DWORD sampleRate_;
    DWORD pieceBytes_;
    ULONGLONG framesLeft_;      // of the fact chunk's count; MAXULONGLONG without one
    ULONGLONG dataBytes_;
    ULONGLONG bytesRead_;
    std::vector<BYTE> piece_;
    std::vector<float> mono_;
};
