// A program started by a test and waited for; a child still running when the
// object goes is ended, so a failed test leaves no process behind.
#pragma once
#include <windows.h>
#include <string>

class ChildProcess {
public:
    // program may be null: the first word of the command line names it.
    // inheritHandles passes the test's inheritable handles (and so its console).
    ChildProcess(const char* program, std::string commandLine, bool inheritHandles = false);
    // A console program whose standard output and error go into two files,
    // made anew (a console program's output as a script redirects it).
    ChildProcess(const char* program, std::string commandLine, const std::string& outPath,
                 const std::string& errPath);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return started_; }
    DWORD StartError() const { return error_; }
    DWORD Id() const { return process_.dwProcessId; }
    // Null for a Unix program started by Wine: it hands out no process handle.
    HANDLE Handle() const { return process_.hProcess; }

    // Waits for the end; true with the exit code when it came in time.
    bool Wait(DWORD timeoutMs, DWORD* exitCode = nullptr);

private:
    void Start(const char* program, std::string commandLine, bool inheritHandles, STARTUPINFOA* startup);

    PROCESS_INFORMATION process_ = {};
    bool started_ = false;
    DWORD error_ = 0;
};
