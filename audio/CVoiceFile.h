// One WAV message: its header and data (read and checked here), and its
// playback through a reader thread that converts one second at a time into the
// engine's ring buffer.
#pragma once
#include <windows.h>

class CAcmConvert;
class CVoicePlay;
class CPlaybackListener;

const int VOICE_NAME_SIZE = 256;

// Last error codes besides the system's own.
const DWORD VOICE_ERROR_NONE = 0;
const DWORD VOICE_ERROR_MISSING = 2;
const DWORD VOICE_ERROR_FORMAT = 6;

struct WaveHeader {
    WORD formatTag;
    WORD channels;
    DWORD samplesPerSec;
    DWORD avgBytesPerSec;
    DWORD dataSize;  // bytes of sample data from the data offset on; a size stated
                     // beyond the end of the file is cut to what the file holds
};

// Checks a file and hands back an open file positioned offset bytes into its
// data, or INVALID_HANDLE_VALUE. formatTag receives the tag once it is accepted.
HANDLE OpenWaveFile(const char* fileName, DWORD offset, DWORD* formatTag);

class CVoiceFile {
public:
    explicit CVoiceFile(const char* fileName);
    virtual ~CVoiceFile();
    CVoiceFile(const CVoiceFile&) = delete;
    CVoiceFile& operator=(const CVoiceFile&) = delete;

    bool Open();
    bool Close();
    void GetFormatName(char* text);  // at least 64 bytes; empty for a rejected tag

    bool Play();
    bool Pause();
    bool Stop();
    void Seek(DWORD seconds);
    DWORD SetVolume(DWORD value);    // value: level * 256; answers the level now in force
    DWORD GetVolume();

    // The player: told when playback ends, its window receives the steps.
    void SetPlayer(CPlaybackListener* player);
    CVoicePlay* GetEngine() { return engine_; }

    const char* GetFileName() const { return fileName_; }
    const WaveHeader& GetHeader() const { return header_; }
    DWORD GetDuration() const { return duration_; }      // milliseconds, a multiple of 40
    DWORD GetDataOffset() const { return dataOffset_; }
    DWORD GetLastErrorCode() const { return lastError_; }

private:
    // The reader thread of one playback and its steps.
    static unsigned __stdcall ReaderThread(void* param);
    void ReadLoop();
    void PlayData(CAcmConvert* converter, BYTE* input, BYTE* output, DWORD readBlock);
    int WaitWhilePaused();
    int WaitForEmptyRing();
    int WaitForPlayedOut();
    int Interruption();
    bool ReaderRunning();
    bool WaitForReader(bool untilEnded, DWORD timeoutMs);

    char fileName_[VOICE_NAME_SIZE];
    HANDLE file_;
    WaveHeader header_;
    CVoicePlay* engine_;
    volatile BYTE stopRequest_;
    volatile BYTE endOfData_;
    volatile BYTE seekRequest_;
    volatile DWORD seekTarget_;
    DWORD duration_;
    DWORD dataOffset_;
    DWORD lastError_;
    CPlaybackListener* player_;
    HANDLE reader_;                // the reader thread of the last playback, or none
    volatile BYTE engineStopped_;  // set by the reader once it has stopped the engine for good
};
