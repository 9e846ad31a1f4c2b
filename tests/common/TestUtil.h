// Small helpers shared by the tests.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

#include "bytes/FileBytes.h"

// Converts a UTF-8 literal of the test source to the ANSI code page (1251), the
// encoding in which the program's A functions hand out texts.
std::string Ansi(const char* utf8);
// Converts an ANSI text read from a window to UTF-8, for readable failures.
std::string Utf8(const std::string& ansi);

// Waits until condition() holds, pumping this thread's messages meanwhile.
// Answers false when the deadline passes first.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

// Lets ms pass while pumping this thread's messages: the span in which a test
// watches that something does not happen (a paused device stays silent). Not
// a wait for something to happen: WaitFor is.
void WatchFor(DWORD ms);

// Whether a thread of this process with that id is still running.
bool ThreadRuns(DWORD id);

// Runs call and answers whether it returned within ms (it is waited for in any case).
bool ReturnsWithin(DWORD ms, const std::function<void()>& call);

// Pumps this thread's pending messages once.
void PumpMessages();

// Text of a window or of a dialog item (read with WM_GETTEXT).
std::string WindowText(HWND hwnd);
std::string ItemText(HWND dialog, int id);

// The system's own text for an error code, asked of the system directly.
std::string SystemErrorText(DWORD code);

// A program of the build (Orlenta.exe, ...), which lies beside the test executables.
std::string BuiltProgramPath(const char* name);

// An environment value set by scripts/wine-run (ORLENTA_FIXTURES, ORLENTA_TMP, ...).
std::string EnvPath(const char* name);

// A fresh, empty folder under ORLENTA_TMP for one test; removed by the destructor.
class TempDir {
public:
    explicit TempDir(const char* name);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const char* name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};


// A file made by scripts/make-fixtures: its path, and its bytes (empty, with a
// test failure, when it is missing).
std::string FixturePath(const char* name);
std::string FixtureBytes(const char* name);
