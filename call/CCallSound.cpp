#include "call/CCallSound.h"

#include <mmsystem.h>
#include <process.h>

#include <vector>

#include "call/DtmfTone.h"
#include "playback/CPlaybackListener.h"
#include "playback/CVoiceFile.h"

// One greeting's playback and the listener its reader thread tells of its end.
// The listener outlives the file, whose destructor joins the reader.
class CCallSound::Greeting : public CPlaybackListener {
public:
    Greeting(CCallSound* owner, const std::string& path, WPARAM token)
        : owner_(owner), token_(token), file_(path.c_str())
    {
    }
    ~Greeting() override { file_.Stop(); }

    CVoiceFile& File() { return file_; }
    WPARAM Token() const { return token_; }

    HWND GetStepWindow() override { return owner_->window_; }
    // On the reader thread, as its last act.
    void SetStopped() override { owner_->Post(Command{READER_ENDED, std::string(), token_, 0}); }
    void ClearSeekPending() override {}

private:
    CCallSound* owner_;
    WPARAM token_;
    CVoiceFile file_;
};

CCallSound::CCallSound(HWND window)
    : window_(window), thread_(nullptr), wake_(CreateEventA(nullptr, FALSE, FALSE, nullptr)), tonePlaying_(false)
{
    InitializeCriticalSection(&inboxLock_);
}

CCallSound::~CCallSound()
{
    if (thread_.IsValid()) {
        Finish();
        WaitForSingleObject(thread_.Get(), INFINITE);
    }
    DeleteCriticalSection(&inboxLock_);
}

bool CCallSound::Start()
{
    if (thread_.IsValid() || !wake_.IsValid())
        return false;
    thread_.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadMain, this, 0, nullptr)));
    if (!thread_.IsValid()) {
        thread_.Detach();
        return false;
    }
    return true;
}

void CCallSound::PlayGreeting(const std::string& path, WPARAM token) { Post(Command{PLAY_GREETING, path, token, 0}); }
void CCallSound::StopGreeting() { Post(Command{STOP_GREETING, std::string(), 0, 0}); }
void CCallSound::PlayTone(char key) { Post(Command{PLAY_TONE, std::string(), 0, key}); }
void CCallSound::Finish() { Post(Command{FINISH, std::string(), 0, 0}); }

void CCallSound::Post(const Command& command)
{
    {
        ScopedCritSec hold(&inboxLock_);
        inbox_.push_back(command);
    }
    SetEvent(wake_.Get());
}

unsigned __stdcall CCallSound::ThreadMain(void* param)
{
    static_cast<CCallSound*>(param)->Run();
    return 0;
}

void CCallSound::Run()
{
    // The first sound call loads and starts the system's sound drivers, which
    // may take a while: here, not in the window.
    if (waveOutGetNumDevs() == 0)
        PostMessageA(window_, WM_CALL_NO_DEVICE, 0, 0);
    for (;;) {
        HANDLE waits[2] = {wake_.Get(), tone_.GetProgressEvent()};
        DWORD result = WaitForMultipleObjects(tonePlaying_ ? 2 : 1, waits, FALSE, INFINITE);
        if (result == WAIT_OBJECT_0 + 1) {
            OnToneProgress();
            continue;
        }
        for (;;) {
            Command command;
            {
                ScopedCritSec hold(&inboxLock_);
                if (inbox_.empty())
                    break;
                command = inbox_.front();
                inbox_.pop_front();
            }
            if (!Handle(command)) {
                PostMessageA(window_, WM_CALL_SOUND_FINISHED, 0, 0);
                return;
            }
        }
    }
}

bool CCallSound::Handle(const Command& command)
{
    switch (command.kind) {
    case PLAY_GREETING:
    case PLAY_TONE:
        waiting_.push_back(command);
        break;
    case STOP_GREETING:
        for (auto it = waiting_.begin(); it != waiting_.end();)
            it = it->kind == PLAY_GREETING ? waiting_.erase(it) : it + 1;
        greeting_.reset();  // stops it and joins its reader
        break;
    case READER_ENDED:
        // The end of a greeting stopped on purpose is no news.
        if (!greeting_ || greeting_->Token() != command.token)
            return true;
        greeting_.reset();
        PostMessageA(window_, WM_CALL_GREETING_ENDED, command.token, 0);
        break;
    case FINISH:
        StopAll();
        return false;
    }
    StartNext();
    return true;
}

void CCallSound::StartNext()
{
    while (!greeting_ && !tonePlaying_ && !waiting_.empty()) {
        Command next = waiting_.front();
        waiting_.pop_front();
        if (next.kind == PLAY_GREETING)
            StartGreeting(next);
        else
            StartTone(next.key);
    }
}

void CCallSound::StartGreeting(const Command& command)
{
    std::unique_ptr<Greeting> greeting(new Greeting(this, command.path, command.token));
    CVoiceFile& file = greeting->File();
    if (!file.Open()) {
        PostMessageA(window_, WM_CALL_GREETING_ENDED, command.token, file.GetLastErrorCode());
        return;
    }
    file.SetPlayer(greeting.get());
    file.GetEngine()->SetNotify(greeting.get());
    greeting_ = std::move(greeting);
    PostMessageA(window_, WM_CALL_GREETING_STARTED, command.token, 0);
    // A playback that cannot start tells its listener at once: its end comes
    // as a READER_ENDED like any other.
    greeting_->File().Play();
}

void CCallSound::StartTone(char key)
{
    std::vector<short> samples = DtmfSamples(key);
    if (samples.empty() || !tone_.Play(DTMF_SAMPLE_RATE))
        return;
    DWORD bytes = static_cast<DWORD>(samples.size() * sizeof samples[0]);
    tone_.GetRingBuffer()->Write(samples.data(), bytes);
    tonePlaying_ = true;
}

void CCallSound::OnToneProgress()
{
    // The engine sets the event after each change; it is cleared before the
    // look, so that no change is missed.
    ResetEvent(tone_.GetProgressEvent());
    if (!tone_.IsPlayedOut() && !tone_.HasFailed())
        return;
    tone_.Stop();
    tonePlaying_ = false;
    StartNext();
}

void CCallSound::StopAll()
{
    waiting_.clear();
    greeting_.reset();
    tone_.Stop();
    tonePlaying_ = false;
}
