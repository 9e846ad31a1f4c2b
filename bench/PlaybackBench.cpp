// Figures of message playback on the sound device of a test session (run it
// with scripts/wine-run inside a session, as the tests are): the CPU time the
// process uses per minute of playback in each accepted format, and the delay
// from Play, and from a seek, to the first sound that reaches the device.
// "Reaches the device" is measured on the session's capture file, which the
// sound driver writes as it takes the samples.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "audio/CPlaybackListener.h"
#include "audio/CVoiceFile.h"
#include "audio/CVoicePlay.h"
#include "common/FileBytes.h"
#include "common/WavBytes.h"

namespace {

const DWORD MESSAGE_SECONDS = 20;
const DWORD WAIT_LIMIT_MS = 120000;

class EndCounter : public CPlaybackListener {
public:
    HWND GetStepWindow() override { return nullptr; }
    void SetStopped() override { InterlockedIncrement(&stopped); }
    void ClearSeekPending() override {}
    volatile LONG stopped = 0;
};

std::string Env(const char* name)
{
    char value[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? value : "";
}

// A WAV file of one of the accepted formats around the data given.
std::string AcceptedWav(WORD tag, const std::string& data)
{
    std::string fmt = tag == 1 ? PcmFmt() : tag == 49 ? GsmFmt() : G711Fmt(tag);
    return Wav(fmt, Chunk("data", data));
}

// Sound that is never silent for long: a tone for PCM, varied bytes for the
// coded formats (every byte value decodes to sound there).
std::string Data(WORD tag, DWORD seconds)
{
    std::string data;
    DWORD state = 12345;
    if (tag == 1) {
        for (DWORD i = 0; i < seconds * 8000; ++i) {
            short s = (short)(8000 * ((i % 40) < 20 ? 1 : -1) + (short)(i % 17) * 100);
            data += Le16((WORD)s);
        }
    } else {
        DWORD bytes = seconds * (tag == 49 ? 1625 : 8000);
        for (DWORD i = 0; i < bytes; ++i) {
            state = state * 1103515245u + 12345u;
            BYTE b = (BYTE)(state >> 16);
            data += (char)(b == 0xD5 || b == 0x55 || b == 0xFF || b == 0x7F ? 0x80 : b);
        }
    }
    return data;
}

std::string CaptureName(int opening)
{
    std::string name = Env("ORLENTA_CAPTURE") + "\\capture.raw";
    if (opening > 0) {
        char suffix[16];
        sprintf(suffix, ".%04d", opening);
        name += suffix;
    }
    return name;
}

void ClearCaptures()
{
    std::string dir = Env("ORLENTA_CAPTURE");
    for (const std::string& name : ListFiles(dir, "capture.raw*"))
        DeleteFileA((dir + "\\" + name).c_str());
}

double Now()
{
    static LARGE_INTEGER frequency = {};
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

double CpuMs()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    ULARGE_INTEGER k = {{kernel.dwLowDateTime, kernel.dwHighDateTime}};
    ULARGE_INTEGER u = {{user.dwLowDateTime, user.dwHighDateTime}};
    return (double)(k.QuadPart + u.QuadPart) / 10000.0;
}

// Time at which the capture of an opening first holds a sample that is not
// zero, watched from now on; a negative number when it does not come in time.
double WaitForSound(int opening, double limitMs)
{
    double start = Now();
    std::string name = CaptureName(opening);
    DWORD offset = 0;
    while (Now() - start < limitMs) {
        HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            SetFilePointer(file, (LONG)offset, nullptr, FILE_BEGIN);
            char chunk[8192];
            DWORD got = 0;
            while (ReadFile(file, chunk, sizeof chunk & ~1u, &got, nullptr) && got >= 2) {
                for (DWORD i = 0; i + 1 < got; i += 2) {
                    if (chunk[i] != 0 || chunk[i + 1] != 0) {
                        CloseHandle(file);
                        return Now();
                    }
                }
                offset += got & ~1u;
            }
            CloseHandle(file);
        }
        Sleep(1);
    }
    return -1;
}

bool WaitForEnd(EndCounter& ends, LONG count)
{
    DWORD start = GetTickCount();
    while (ends.stopped < count) {
        if (GetTickCount() - start > WAIT_LIMIT_MS)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    return true;
}

struct Stats {
    std::vector<double> values;
    void Add(double v) { values.push_back(v); }
    void Print(const char* what) const
    {
        if (values.empty()) {
            printf("  %-46s no figure\n", what);
            return;
        }
        double sum = 0;
        for (double v : values)
            sum += v;
        printf("  %-46s min %7.1f  mean %7.1f  max %7.1f ms  (%zu runs)\n", what,
               *std::min_element(values.begin(), values.end()), sum / values.size(),
               *std::max_element(values.begin(), values.end()), values.size());
    }
};

} // namespace

int main()
{
    if (Env("ORLENTA_CAPTURE").empty() || Env("ORLENTA_TMP").empty()) {
        printf("Run under scripts/wine-run inside a sound session (ORLENTA_CAPTURE, ORLENTA_TMP).\n");
        return 1;
    }
    std::string dir = Env("ORLENTA_TMP") + "\\playback-bench";
    CreateDirectoryA(dir.c_str(), nullptr);
    const WORD tags[] = {1, 6, 7, 49};
    const char* names[] = {"PCM", "G.711a", "G.711m", "GSM 6.10"};
    std::string paths[4];
    for (int i = 0; i < 4; ++i) {
        paths[i] = dir + "\\bench-" + std::to_string(tags[i]) + ".wav";
        if (!WriteFileBytes(paths[i], AcceptedWav(tags[i], Data(tags[i], MESSAGE_SECONDS)))) {
            printf("cannot write %s\n", paths[i].c_str());
            return 1;
        }
    }

    printf("Message playback, %lu s messages, 8000 Hz mono\n\n", MESSAGE_SECONDS);
    printf("CPU time of the whole process while a message plays (GetProcessTimes):\n");
    for (int i = 0; i < 4; ++i) {
        ClearCaptures();
        EndCounter ends;
        CVoiceFile file(paths[i].c_str());
        file.SetPlayer(&ends);
        if (!file.Open()) {
            printf("  %s: cannot open (%lu)\n", names[i], file.GetLastErrorCode());
            continue;
        }
        double cpu0 = CpuMs();
        double wall0 = Now();
        file.Play();
        bool ended = WaitForEnd(ends, 1);
        double wall = Now() - wall0;
        double cpu = CpuMs() - cpu0;
        printf("  %-9s %s: %6.0f ms CPU in %6.0f ms, %6.1f ms CPU per minute of sound (%.2f%% of one core)\n",
               names[i], ended ? "played" : "TIMED OUT", cpu, wall, cpu * 60.0 / MESSAGE_SECONDS, 100.0 * cpu / wall);
    }

    printf("\nDelay to the first sound at the device (512 ms of it are the priming silence):\n");
    Stats fromPlay, fromPlayWithoutPriming, fromSeek;
    const DWORD seeks[] = {10, 3, 15, 7};
    for (int run = 0; run < 3; ++run) {
        ClearCaptures();
        EndCounter ends;
        CVoiceFile file(paths[0].c_str());
        file.SetPlayer(&ends);
        if (!file.Open())
            continue;
        double t0 = Now();
        file.Play();
        double heard = WaitForSound(0, 10000);
        if (heard > 0) {
            fromPlay.Add(heard - t0);
            fromPlayWithoutPriming.Add(heard - t0 - 512.0);
        }
        int opening = 0;
        for (DWORD target : seeks) {
            Sleep(600);  // let the sound run before the next seek
            double s0 = Now();
            file.Seek(target);
            double after = WaitForSound(++opening, 10000);
            if (after > 0)
                fromSeek.Add(after - s0);
        }
        file.Stop();
        WaitForEnd(ends, 1);
    }
    fromPlay.Print("Play -> first sound");
    fromPlayWithoutPriming.Print("Play -> first sound, less the priming");
    fromSeek.Print("Seek -> first sound of the target second");
    ClearCaptures();
    return 0;
}
