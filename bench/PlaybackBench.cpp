// Figures of message playback on the sound device of a test environment (run it
// with scripts/wine-run inside a test environment, as the tests are): the CPU time the
// process uses per minute of playback in each accepted format, and the delay
// from Play, and from a seek, to the first sound that reaches the device.
// "Reaches the device" is measured on the test environment's capture file, which the
// sound driver writes as it takes the samples. Each figure is set against a
// minimal waveOut client run in the same process on the same sink: it plays
// the same PCM through the same sixteen buffers of at most 320 bytes.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include <mmsystem.h>

#include "playback/CPlaybackListener.h"
#include "playback/CVoiceFile.h"
#include "playback/CVoicePlay.h"
#include "bench/BenchClock.h"
#include "bytes/FileBytes.h"
#include "bytes/WavBytes.h"

namespace {

const DWORD MESSAGE_SECONDS = 20;
const DWORD WAIT_LIMIT_MS = 120000;
const int CPU_ROUNDS = 4;
const int DELAY_RUNS = 5;

// Tells the end of a playback through an event: the bench waits on it
// without waking, so that its own waiting costs no CPU.
class EndCounter : public CPlaybackListener {
public:
    EndCounter() : ended(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~EndCounter() override { CloseHandle(ended); }
    HWND GetStepWindow() override { return nullptr; }
    void SetStopped() override { SetEvent(ended); }
    void ClearSeekPending() override {}
    HANDLE ended;
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

// Milliseconds on the performance counter.
double Now() { return ClockSeconds() * 1000.0; }

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

bool WaitForEnd(EndCounter& ends) { return WaitForSingleObject(ends.ended, WAIT_LIMIT_MS) == WAIT_OBJECT_0; }

// The baseline: the least a program can do to play 16-bit PCM through
// waveOut with the engine's buffers: sixteen of them, refilled with at most
// 320 bytes each as the device hands them back (CALLBACK_EVENT); primed with
// the engine's silence for the CPU figures, not for the delays.
class MinimalClient {
public:
    // Plays pcm to its end, after the engine's priming silence when primed;
    // openedAt receives the time just before waveOutOpen.
    bool Play(const std::string& pcm, bool primed, double* openedAt)
    {
        HANDLE done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};
        HWAVEOUT device = nullptr;
        *openedAt = Now();
        if (waveOutOpen(&device, WAVE_MAPPER, &format, (DWORD_PTR)done, 0, CALLBACK_EVENT) != MMSYSERR_NOERROR) {
            CloseHandle(done);
            return false;
        }
        WAVEHDR buffers[WAVE_BUFFER_COUNT] = {};
        static char blocks[WAVE_BUFFER_COUNT][WAVE_BLOCK_SIZE];
        size_t next = 0;
        int held = 0;
        std::string silence(PRIMING_BYTES, '\0');
        for (int i = 0; i < WAVE_BUFFER_COUNT; ++i) {
            buffers[i].lpData = blocks[i];
            buffers[i].dwBufferLength = PRIMING_BYTES;
            waveOutPrepareHeader(device, &buffers[i], sizeof buffers[i]);
            size_t none = 0;
            held += primed ? Refill(device, &buffers[i], silence, &none, PRIMING_BYTES)
                           : Refill(device, &buffers[i], pcm, &next, REFILL_BYTES);
        }
        while (held > 0 && WaitForSingleObject(done, 10000) == WAIT_OBJECT_0) {
            for (WAVEHDR& buffer : buffers) {
                if ((buffer.dwFlags & WHDR_DONE) && buffer.dwUser) {
                    buffer.dwUser = 0;
                    --held;
                    held += Refill(device, &buffer, pcm, &next, REFILL_BYTES);
                }
            }
        }
        waveOutReset(device);
        for (WAVEHDR& buffer : buffers)
            waveOutUnprepareHeader(device, &buffer, sizeof buffer);
        waveOutClose(device);
        CloseHandle(done);
        return held == 0;
    }

private:
    // dwUser marks a buffer that the device holds.
    static int Refill(HWAVEOUT device, WAVEHDR* buffer, const std::string& pcm, size_t* next, size_t most)
    {
        size_t length = pcm.size() - *next < most ? pcm.size() - *next : most;
        if (length == 0)
            return 0;
        memcpy(buffer->lpData, pcm.data() + *next, length);
        *next += length;
        buffer->dwBufferLength = (DWORD)length;
        buffer->dwFlags &= ~WHDR_DONE;
        buffer->dwUser = waveOutWrite(device, buffer, sizeof *buffer) == MMSYSERR_NOERROR;
        return (int)buffer->dwUser;
    }
};

struct Stats {
    std::vector<double> values;
    void Add(double v) { values.push_back(v); }
    double Min() const { return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end()); }
    double Mean() const
    {
        double sum = 0;
        for (double v : values)
            sum += v;
        return values.empty() ? 0.0 : sum / values.size();
    }
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

const double PRIMING_MS = WAVE_BUFFER_COUNT * PRIMING_BYTES / 2 / 8.0;  // 512 ms at 8000 Hz

// Plays one message through the engine to its end and prints its CPU figures.
bool PlayMessage(const std::string& path, const char* name, double* cpu)
{
    ClearCaptures();
    EndCounter ends;
    CVoiceFile file(path.c_str());
    file.SetPlayer(&ends);
    if (!file.Open()) {
        printf("  %s: cannot open (%lu)\n", name, file.GetLastErrorCode());
        return false;
    }
    double cpu0 = CpuMs();
    double wall0 = Now();
    file.Play();
    bool ended = WaitForEnd(ends);
    double wall = Now() - wall0;
    *cpu = CpuMs() - cpu0;
    printf("  %-9s %s: %6.0f ms CPU in %6.0f ms, %6.1f ms CPU per minute of sound (%.2f%% of one core)\n", name,
           ended ? "played" : "TIMED OUT", *cpu, wall, *cpu * 60.0 / MESSAGE_SECONDS, 100.0 * *cpu / wall);
    return ended;
}

double PlayMinimal(const std::string& pcm)
{
    ClearCaptures();
    MinimalClient client;
    double opened = 0;
    double cpu0 = CpuMs();
    double wall0 = Now();
    bool played = client.Play(pcm, true, &opened);
    double wall = Now() - wall0;
    double cpu = CpuMs() - cpu0;
    printf("  %-9s %s: %6.0f ms CPU in %6.0f ms, %6.1f ms CPU per minute of sound (%.2f%% of one core)\n",
           "minimal", played ? "played" : "FAILED", cpu, wall, cpu * 60.0 / MESSAGE_SECONDS, 100.0 * cpu / wall);
    return cpu;
}

struct MinimalRun {
    const std::string* pcm;
    double opened;
};

DWORD WINAPI RunMinimal(void* param)
{
    MinimalRun* run = static_cast<MinimalRun*>(param);
    MinimalClient client;
    client.Play(*run->pcm, false, &run->opened);
    return 0;
}

// The minimal client's open -> first sound, watched from this thread while it plays.
double MinimalDelay(const std::string& pcm)
{
    MinimalRun run = {&pcm, 0};
    HANDLE thread = CreateThread(nullptr, 0, RunMinimal, &run, 0, nullptr);
    if (!thread)
        return -1;
    double heard = WaitForSound(0, 10000);
    WaitForSingleObject(thread, WAIT_LIMIT_MS);
    CloseHandle(thread);
    return heard > 0 ? heard - run.opened : -1;
}

} // namespace

int main()
{
    if (Env("ORLENTA_CAPTURE").empty() || Env("ORLENTA_TMP").empty()) {
        printf("Run under scripts/wine-run inside a test environment (ORLENTA_CAPTURE, ORLENTA_TMP).\n");
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
        double cpu = 0;
        PlayMessage(paths[i], names[i], &cpu);
    }
    // Against the baseline playing the PCM message's data: rounds of one each,
    // turn about, so that a passing load on the machine weighs on both alike.
    printf("\nThe PCM message through the engine and through the minimal waveOut client, %d rounds:\n", CPU_ROUNDS);
    std::string pcm = Data(1, MESSAGE_SECONDS);
    Stats engineCpu, minimalCpu;
    for (int round = 0; round < CPU_ROUNDS; ++round) {
        double cpu = 0;
        if (round % 2 == 0) {
            minimalCpu.Add(PlayMinimal(pcm));
            if (PlayMessage(paths[0], names[0], &cpu))
                engineCpu.Add(cpu);
        } else {
            if (PlayMessage(paths[0], names[0], &cpu))
                engineCpu.Add(cpu);
            minimalCpu.Add(PlayMinimal(pcm));
        }
    }
    if (minimalCpu.Mean() > 0 && minimalCpu.Min() > 0)
        printf("  engine / minimal waveOut client: %.2fx CPU (means), %.2fx (lowest runs)\n",
               engineCpu.Mean() / minimalCpu.Mean(), engineCpu.Min() / minimalCpu.Min());

    printf("\nDelay to the first sound at the device (the engine's openings start with %lu ms of priming silence):\n",
           WAVE_BUFFER_COUNT * PRIMING_BYTES / 2 / 8);
    Stats minimal, fromPlay, fromSeek;
    std::string shortPcm = Data(1, 2);
    const DWORD seeks[] = {10, 3, 15, 7};
    for (int run = 0; run < DELAY_RUNS; ++run) {
        ClearCaptures();
        double delay = MinimalDelay(shortPcm);
        if (delay > 0)
            minimal.Add(delay);

        ClearCaptures();
        EndCounter ends;
        CVoiceFile file(paths[0].c_str());
        file.SetPlayer(&ends);
        if (!file.Open())
            continue;
        double t0 = Now();
        file.Play();
        double heard = WaitForSound(0, 10000);
        if (heard > 0)
            fromPlay.Add(heard - t0 - PRIMING_MS);
        int opening = 0;
        for (DWORD target : seeks) {
            Sleep(600);  // let the sound run before the next seek
            double s0 = Now();
            file.Seek(target);
            double after = WaitForSound(++opening, 10000);
            if (after > 0)
                fromSeek.Add(after - s0 - PRIMING_MS);
        }
        file.Stop();
        WaitForEnd(ends);
    }
    minimal.Print("minimal client: open -> first sound");
    fromPlay.Print("Play -> first sound, less the priming");
    fromSeek.Print("Seek -> first sound, less the priming");
    printf("  over the minimal client: Play %+.1f ms (means), %+.1f ms (lowest); seek %+.1f ms, %+.1f ms\n",
           fromPlay.Mean() - minimal.Mean(), fromPlay.Min() - minimal.Min(), fromSeek.Mean() - minimal.Mean(),
           fromSeek.Min() - minimal.Min());
    ClearCaptures();
    return 0;
}
