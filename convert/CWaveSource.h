// Any WAV file the program can decode, read piece by piece as mono samples in
// [-1, 1] at the file's own rate: integer PCM of 8 to 32 bits, IEEE float,
// their WAVE_FORMAT_EXTENSIBLE forms, and every tag an installed audio
// compression manager codec decodes to PCM whose fields keep their format's
// rules (CodecRules). Every chunk is walked, so chunks before the fmt chunk
// are no hindrance; memory stays fixed whatever the file's length.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>

#include <vector>

#include "app/ScopedWin.h"
#include "convert/CAcmTranscoder.h"
#include "wave/CodecRules.h"

struct WaveLayout;

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
    // the end. Coded data is decoded to the end of the data chunk: a fact
    // chunk's count only cuts the padding of the last block. A block that
    // does not decode is silence of its length. The samples stay valid until
    // the next call. Answers 0 or an error code.
    DWORD Read(const float** samples, DWORD* count);

    DWORD GetSampleRate() const { return sampleRate_; }
    ULONGLONG GetDataBytes() const { return dataBytes_; }
    ULONGLONG GetBytesRead() const { return bytesRead_; }
    // The frames the data holds where its size tells (PCM and float read as
    // they are); 0 where only decoding tells.
    ULONGLONG GetFrameCount() const { return useCodec_ ? 0 : dataBytes_ / pcm_.nBlockAlign; }
    // Frames read so far that could not be decoded (silence stands for them).
    ULONGLONG GetLostFrames() const { return lostFrames_; }

private:
    DWORD ReadFormat(const WaveLayout& layout);
    bool SetDirect(const WAVEFORMATEX& format);
    DWORD OpenCodec();
    DWORD Decode(const BYTE* bytes, DWORD length, bool last);
    DWORD DecodeBlocks(const BYTE* blocks, DWORD length, bool last);
    void TrimPadding();
    void MixDown(const BYTE* frames, DWORD bytes);
    void AddSilence(ULONGLONG frames);

    ScopedHandle file_;
    std::vector<BYTE> format_;  // the fmt body, room for a WAVEFORMATEX's extra bytes
    WAVEFORMATEX pcm_;          // what the mixer reads: the file's own or the codec's output
    bool isFloat_;
    bool useCodec_;
    CAcmTranscoder codec_;
    CodecTraits traits_;        // of a coded format
    DWORD codecPieceBytes_;     // whole blocks handed to the codec at a time
    DWORD sampleRate_;
    DWORD pieceBytes_;
    DWORD factFrames_;          // the fact chunk's count; 0 without one
    ULONGLONG framesOut_;       // frames handed out by Read so far
    ULONGLONG lostFrames_;
    bool ended_;                // the last piece has been handed out
    ULONGLONG dataBytes_;
    ULONGLONG bytesRead_;
    std::vector<BYTE> piece_;
    std::vector<float> mono_;
};
