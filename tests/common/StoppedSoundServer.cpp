#include "common/StoppedSoundServer.h"

#include "common/TestUtil.h"

std::string SoundServerPid()
{
    std::string pid = ReadFileBytes(EnvPath("ORLENTA_TESTHOME") + "\\pulse\\pulse\\pid");
    while (!pid.empty() && (pid.back() == '\n' || pid.back() == '\r'))
        pid.pop_back();
    return pid;
}

StoppedSoundServer::StoppedSoundServer(const std::string& pid) : pid_(pid) { Signal("STOP"); }

StoppedSoundServer::~StoppedSoundServer()
{
    Signal("CONT");
    WaitFor([&] { return State() != 'T'; }, 10000);
}

bool StoppedSoundServer::Stopped() { return WaitFor([&] { return State() == 'T'; }, 10000); }

void StoppedSoundServer::Signal(const char* name)
{
    std::string command = std::string("Z:\\bin\\kill -") + name + " " + pid_;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        if (process.hThread)
            CloseHandle(process.hThread);
        if (process.hProcess)
            CloseHandle(process.hProcess);
    }
}

char StoppedSoundServer::State()
{
    std::string stat = ReadFileBytes("Z:\\proc\\" + pid_ + "\\stat");
    size_t paren = stat.rfind(')');
    return paren != std::string::npos && paren + 2 < stat.size() ? stat[paren + 2] : '?';
}
