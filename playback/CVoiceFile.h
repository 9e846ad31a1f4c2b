// One WAV message: its header and data (read and checked here), and its
// playback through a reader thread that converts one second at a time into the
// engine's ring buffer.
#pragma once
#include <windows.h>

#include <memory>

#include "app/TextSize.h"
#include "wave/VoiceFileCheck.h"  // its last error codes

class CListenerLink;
class CMessageReader;
class CVoicePlay;
class CPlaybackListener;


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

    // Play, Pause, Stop and the volume return within about a second however
    // long the sound driver keeps the engine: a request it cannot carry out
    // at once waits in the engine. Play after a playback has ended starts a
    // new one, which begins once the old one has let go of the engine.
    bool Play();
    bool Pause();
    // True once the playback has ended and its device is closed; false while
    // it is still ending (it then ends on its own, and tells the player).
    bool Stop();
    void Seek(DWORD seconds);
    DWORD SetVolume(DWORD value);    // value: level * 256; answers the level now in force
    DWORD GetVolume();

    // The player: told when playback ends, its window receives the steps.
    void SetPlayer(CPlaybackListener* player);
    CVoicePlay* GetEngine() { return engine_.get(); }
    // The engine outlives this object while a playback still ends.
    std::weak_ptr<CVoicePlay> WatchEngine() { return engine_; }

    const char* GetFileName() const { return fileName_; }
    const WaveHeader& GetHeader() const { return header_; }
    DWORD GetDuration() const { return duration_; }      // milliseconds, a multiple of 40
    DWORD GetDataOffset() const { return dataOffset_; }
    DWORD GetLastErrorCode() const { return lastError_; }

private:
    char fileName_[TEXT_SIZE];
    HANDLE file_;
    WaveHeader header_;
    // Shared with the reader threads, which hold them until they end.
    std::shared_ptr<CVoicePlay> engine_;
    std::shared_ptr<CListenerLink> player_;
    std::shared_ptr<CMessageReader> reader_;  // the latest playback's
    DWORD duration_;
    DWORD dataOffset_;
    DWORD lastError_;
};
