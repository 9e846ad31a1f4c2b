// Start-up time: from CreateProcess to the first visible top-level window, for
// Orlenta.exe and for a minimal dialog program (MinimalDialog.exe, built beside
// it), run in turns in one session so both see the same machine and Wine.
// Prints each program's median and the ratio. Run it with scripts/wine-run
// inside a session, as the tests are.
#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const int ROUNDS = 7;
const DWORD SHOW_LIMIT_MS = 30000;

DWORD g_watchedPid = 0;  // written before each start, read by the hook on this thread
HWND g_shownWindow = nullptr;

std::string BesideMe(const char* name)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of('\\') + 1) + name;
}

void CALLBACK OnShow(HWINEVENTHOOK, DWORD, HWND hwnd, LONG object, LONG, DWORD, DWORD)
{
    if (object != OBJID_WINDOW || !hwnd || g_shownWindow)
        return;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == g_watchedPid && !GetParent(hwnd) && IsWindowVisible(hwnd))
        g_shownWindow = hwnd;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

// Milliseconds from the start of the program to its first visible window; the
// program is then closed as a user would close it. Negative on failure.
double TimeToWindow(const std::string& exe)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + exe + "\"";
    g_shownWindow = nullptr;
    LARGE_INTEGER start, shown;
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        fprintf(stderr, "cannot start %s: %lu\n", exe.c_str(), GetLastError());
        return -1;
    }
    g_watchedPid = process.dwProcessId;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW, nullptr, OnShow,
                                         process.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
    DWORD deadline = GetTickCount() + SHOW_LIMIT_MS;
    while (!g_shownWindow && GetTickCount() < deadline) {
        // The hook is called from this thread's message queue.
        DWORD wait = MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, deadline - GetTickCount(), QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0)
            break;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    QueryPerformanceCounter(&shown);
    UnhookWinEvent(hook);
    double ms = g_shownWindow ? Seconds(start, shown) * 1000.0 : -1;
    if (g_shownWindow)
        PostMessageA(g_shownWindow, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, SHOW_LIMIT_MS) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ms;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main()
{
    const std::string programs[] = {BesideMe("MinimalDialog.exe"), BesideMe("Orlenta.exe")};
    std::vector<double> times[2];
    // One unmeasured start of each: the first start of a program loads its
    // files and Wine's libraries from disk.
    for (const std::string& exe : programs)
        TimeToWindow(exe);
    for (int round = 0; round < ROUNDS; ++round) {
        for (int i = 0; i < 2; ++i) {
            double ms = TimeToWindow(programs[i]);
            if (ms < 0) {
                fprintf(stderr, "%s showed no window\n", programs[i].c_str());
                return 1;
            }
            times[i].push_back(ms);
        }
    }
    double baseline = Median(times[0]), orlenta = Median(times[1]);
    printf("start to visible window, median of %d (ms):\n", ROUNDS);
    printf("  minimal dialog  %7.1f\n", baseline);
    printf("  Orlenta         %7.1f\n", orlenta);
    printf("  ratio           %7.2fx\n", orlenta / baseline);
    return 0;
}
