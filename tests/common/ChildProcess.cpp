#include "common/ChildProcess.h"

namespace {

const UINT KILLED_EXIT_CODE = 99;

} // namespace

ChildProcess::ChildProcess(const char* program, std::string commandLine, bool inheritHandles)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    Start(program, std::move(commandLine), inheritHandles, &startup);
}

ChildProcess::ChildProcess(const char* program, std::string commandLine, const std::string& outPath,
                           const std::string& errPath)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    auto create = [&](const std::string& path) {
        return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE out = create(outPath);
    HANDLE err = create(errPath);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = err;
    Start(program, std::move(commandLine), true, &startup);
    // The child holds its own copies.
    CloseHandle(out);
    CloseHandle(err);
}

void ChildProcess::Start(const char* program, std::string commandLine, bool inheritHandles, STARTUPINFOA* startup)
{
    started_ = CreateProcessA(program, &commandLine[0], nullptr, nullptr, inheritHandles ? TRUE : FALSE, 0,
                              nullptr, nullptr, startup, &process_) != FALSE;
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
