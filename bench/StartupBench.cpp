// Start-up time: from CreateProcess to the first visible top-level window, for
// Orlenta.exe and for a minimal dialog program (MinimalDialog.exe, built beside
// it), run in turns in one test environment so both see the same machine and Wine.
// Prints each program's median and the ratio. Run it with scripts/wine-run
// inside a test environment, as the tests are.
#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const int ROUNDS = 11;
const DWORD SHOW_LIMIT_MS = 30000;

std::string BesideMe(const char* name)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of('\\') + 1) + name;
}

struct Search {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindShown(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != search->pid || !IsWindowVisible(hwnd))
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

// Milliseconds from the start of the program to its first visible window, and
// in readyMs to its first wait for input with that window up; the program is
// then closed as a user would close it. Negative on failure.
double TimeToWindow(const std::string& exe, double* readyMs)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + exe + "\"";
    LARGE_INTEGER start, shown, idle;
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        fprintf(stderr, "cannot start %s: %lu\n", exe.c_str(), GetLastError());
        return -1;
    }
    // Wine sends no window events across processes: look at the program's
    // windows every millisecond until one is visible.
    Search search = {process.dwProcessId, nullptr};
    DWORD deadline = GetTickCount() + SHOW_LIMIT_MS;
    while (GetTickCount() < deadline && WaitForSingleObject(process.hProcess, 1) == WAIT_TIMEOUT) {
        EnumWindows(FindShown, (LPARAM)&search);
        if (search.found)
            break;
    }
    QueryPerformanceCounter(&shown);
    // Then until it has painted it and waits for the operator.
    WaitForInputIdle(process.hProcess, SHOW_LIMIT_MS);
    QueryPerformanceCounter(&idle);
    *readyMs = Seconds(start, idle) * 1000.0;
    double ms = search.found ? Seconds(start, shown) * 1000.0 : -1;
    if (search.found)
        PostMessageA(search.found, WM_CLOSE, 0, 0);
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

// StartupBench [OTHER.EXE ...]: other builds of the program (an older one, say)
// are measured in the same turns and compared with the same baseline.
int main(int argc, char** argv)
{
    std::vector<std::string> programs = {BesideMe("MinimalDialog.exe"), BesideMe("Orlenta.exe")};
    for (int i = 1; i < argc; ++i)
        programs.push_back(argv[i]);
    const size_t count = programs.size();
    std::vector<std::vector<double>> times(count), ready(count);
    double readyMs = 0;
    // One unmeasured start of each: the first start of a program loads its
    // files and Wine's libraries from disk.
    for (const std::string& exe : programs)
        TimeToWindow(exe, &readyMs);
    for (int round = 0; round < ROUNDS; ++round) {
        for (size_t i = 0; i < count; ++i) {
            double ms = TimeToWindow(programs[i], &readyMs);
            if (ms < 0) {
                fprintf(stderr, "%s showed no window\n", programs[i].c_str());
                return 1;
            }
            times[i].push_back(ms);
            ready[i].push_back(readyMs);
        }
    }
    double baseVisible = Median(times[0]), baseReady = Median(ready[0]);
    printf("start to visible window / to waiting for input, median of %d (ms), ratio to the minimal dialog:\n",
           ROUNDS);
    for (size_t i = 0; i < count; ++i) {
        std::string name = programs[i].substr(programs[i].find_last_of('\\') + 1);
        printf("  %-22s %7.1f %5.2fx  %7.1f %5.2fx\n", name.c_str(), Median(times[i]),
               Median(times[i]) / baseVisible, Median(ready[i]), Median(ready[i]) / baseReady);
    }
    return 0;
}
