#include "common/ChildProcess.h"

namespace {

const UINT KILLED_EXIT_CODE = 99;

} // namespace

ChildProcess::ChildProcess(const char* program, std::string commandLine, bool inheritHandles)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    started_ = CreateProcessA(program, &commandLine[0], nullptr, nullptr, inheritHandles ? TRUE : FALSE, 0,
                              nullptr, nullptr, &startup, &process_) != FALSE;
    if (!started_)
        error_ = GetLastError();
}

ChildProcess::~ChildProcess()
{
    if (process_.hProcess && WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(process_.hProcess, KILLED_EXIT_CODE);
    if (process_.hThread)
        CloseHandle(process_.hThread);
    if (process_.hProcess)
        CloseHandle(process_.hProcess);
}

bool ChildProcess::Wait(DWORD timeoutMs, DWORD* exitCode)
{
    if (!process_.hProcess || WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        GetExitCodeProcess(process_.hProcess, exitCode);
    return true;
}
