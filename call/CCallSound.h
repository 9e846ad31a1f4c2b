// The sound of a call on its own thread: greetings played by the player's
// engine (CVoiceFile: the greeting's own format, the 512 ms priming) and the
// keys' DTMF tones played by a second engine (CVoicePlay: 8000 Hz 16-bit PCM
// written into its ring buffer, no file), one after the other on the same
// device, in the order asked for. Stopping a greeting, opening and closing the
// device wait for the engine's threads; they happen here, so the window that
// asks never waits.
//
// The window receives the greeting's IVR_PLAYER_STEP messages (one per 20 ms
// of sound handed to the device) and the WM_CALL_* messages below.
#pragma once
#include <windows.h>

#include <deque>
#include <memory>
#include <string>

#include "app/ScopedWin.h"
#include "playback/CVoicePlay.h"

// wParam: the greeting's token. Posted when its playback has started.
const UINT WM_CALL_GREETING_STARTED = WM_APP + 801;
// wParam: the token; lParam: 0 when it played to its end, otherwise why it
// could not be played (VOICE_ERROR_FORMAT or the system's error code).
// Never posted for a greeting stopped by StopGreeting or Finish.
const UINT WM_CALL_GREETING_ENDED = WM_APP + 802;
// Posted once Finish has stopped everything; the thread has then ended.
const UINT WM_CALL_SOUND_FINISHED = WM_APP + 803;
// Posted at the start when the system has no sound output device: the call
// goes on without a sound.
const UINT WM_CALL_NO_DEVICE = WM_APP + 804;

class CCallSound {
public:
    explicit CCallSound(HWND window);
    // Joins the thread; after Finish and its message that takes no time.
    ~CCallSound();
    CCallSound(const CCallSound&) = delete;
    CCallSound& operator=(const CCallSound&) = delete;

    bool Start();
    // Plays after whatever is playing or waiting. token: the caller's name for
    // this greeting in the messages.
    void PlayGreeting(const std::string& path, WPARAM token);
    // Stops the greeting playing or waiting; tones go on.
    void StopGreeting();
    // The key's tone pair, after whatever is playing or waiting.
    void PlayTone(char key);
    void Finish();

private:
    enum CommandKind { PLAY_GREETING, STOP_GREETING, PLAY_TONE, READER_ENDED, FINISH };
    struct Command {
        CommandKind kind;
        std::string path;
        WPARAM token;
        char key;
    };
    class Greeting;

    void Post(const Command& command);
    static unsigned __stdcall ThreadMain(void* param);
    void Run();
    // The thread's own handling; false once it is to end.
    bool Handle(const Command& command);
    void StartNext();
    void StartGreeting(const Command& command);
    void StartTone(char key);
    void OnToneProgress();
    void StopAll();

    HWND window_;
    ScopedHandle thread_;
    // The commands waiting for the thread: written by any thread under
    // inboxLock_, each one signalled by wake_ (auto reset).
    CRITICAL_SECTION inboxLock_;
    std::deque<Command> inbox_;
    ScopedHandle wake_;
    // The sound thread's own.
    std::deque<Command> waiting_;        // greetings and tones not yet begun
    std::unique_ptr<Greeting> greeting_; // the greeting playing, if any
    CVoicePlay tone_;
    bool tonePlaying_;
};
