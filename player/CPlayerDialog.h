// The player window "Сообщение" (template 367): plays one WAV message with
// "Играть"/"Пауза" and "Стоп", follows it on a position track bar of 20 ms
// steps and sets its volume on a volume track bar whose colour follows the
// level. Constructed once with its owner and run modally for each listening.
#pragma once
#include <windows.h>

#include <atomic>

#include "app/CBaseDialog.h"
#include "app/TextSize.h"
#include "playback/CPlaybackListener.h"

class CVoiceFile;

// Fill colour of the volume bar at one of its positions.
struct TrackBarColor {
    int red;
    int green;
    int blue;
};

const int PLAYER_VOLUME_LEVELS = 256;
// The position bar's range before a message has been opened: the steps come later.
const int PLAYER_POSITION_INITIAL_MAX = 255;
const int PLAYER_INITIAL_VOLUME = 100;
const DWORD PLAYER_STEP_MS = 20;            // one position of the position bar
const DWORD PLAYER_STEPS_PER_SECOND = 50;

// Posted to the player window when a reader thread of its message has ended.
const UINT WM_PLAYER_READER_ENDED = WM_APP + 367;

class CPlayerDialog : public CBaseDialog, public CPlaybackListener {
public:
    // Registers itself in the owner's child table; the owner ends and deletes it.
    CPlayerDialog(HINSTANCE instance, CWindowObject* owner);
    ~CPlayerDialog() override;
    CPlayerDialog(const CPlayerDialog&) = delete;
    CPlayerDialog& operator=(const CPlayerDialog&) = delete;

    // Takes the message file of the next run. False when no such file exists
    // (the name is then not taken) or when it is no playable WAV file.
    bool SetMessageFile(const char* name);

    bool OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnInitDialog() override;
    bool OnClose() override;
    void OnCommand(HWND hwnd, int id, HWND control, int code) override;
    void OnHScroll(HWND bar, int code, int thumb) override;

    // What the playback engine and the reader thread call.
    HWND GetStepWindow() override;
    void SetStopped() override;
    void ClearSeekPending() override;

    // Paint the two track bars into the paint record's device context.
    void PaintVolumeBar(PAINTSTRUCT& paint);
    void PaintPositionBar(PAINTSTRUCT& paint);

    // Start playing as soon as the file is open; written by the owner before Run.
    bool playOnOpen;

    const char* GetMessageFile() const { return fileName_; }
    bool IsPlaying() const { return playing_; }
    bool IsPaused() const { return paused_; }
    bool IsSeekPending() const { return seekPending_; }
    int GetVolume() const { return volume_; }
    const TrackBarColor& GetColor(int position) const;

private:
    void UpdateButtons();
    void OnPlayPause();
    void OnStop();
    void ShowStopped();
    void OnReaderEnded();
    void OnVolumeScroll(int code, int thumb);
    void OnPositionScroll(int code);
    void OnPlayerStep();
    void ShowElapsed(LONG position);
    void SetPositionRange(LONG maximum);
    bool ReadersDone() const;
    void ReleaseVoiceFile();
    void FillColorTable();

    CVoiceFile* voiceFile_;
    char fileName_[TEXT_SIZE];
    bool playing_;
    bool paused_;
    std::atomic<bool> seekPending_;  // set by the interface thread, cleared by it and by the reader
    bool thumbDragged_;              // the position thumb is being dragged: steps leave it alone
    int volume_;
    TrackBarColor colorTable_[PLAYER_VOLUME_LEVELS];

    // Reader threads of this run: started here (interface thread), counted off
    // by their SetStopped (reader threads), so that the late end of a stopped
    // playback does not stop a newer one.
    LONG readersStarted_;
    std::atomic<LONG> readersEnded_;
};
