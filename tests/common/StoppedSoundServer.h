// The sound server of the test environment stopped (SIGSTOP, through Wine, which
// starts a host program given its path) for the life of this object, then
// continued: a sound driver whose every call to the server blocks meanwhile.
#pragma once
#include <windows.h>
#include <string>

// The pid of the test environment's pulseaudio, or "" without one.
std::string SoundServerPid();

class StoppedSoundServer {
public:
    explicit StoppedSoundServer(const std::string& pid);
    ~StoppedSoundServer();
    StoppedSoundServer(const StoppedSoundServer&) = delete;
    StoppedSoundServer& operator=(const StoppedSoundServer&) = delete;
    bool Stopped();  // waits until the process shows as stopped

private:
    void Signal(const char* name);
    char State();  // the process state letter of /proc/PID/stat: 'T' while stopped

    std::string pid_;
};

#define SKIP_WITHOUT_SOUND_SERVER(pid)                                                          \
    if ((pid).empty())                                                                       \
    GTEST_SKIP() << "no pid file of the test environment's pulseaudio under ORLENTA_TESTHOME"
