// Figures of the greeting analysis: a 10-minute 8000 Hz 16-bit PCM greeting of
// speech-like bursts and pauses, analysed through the player's decoder, as a
// multiple of real time and against a plain read of the same file. Each is
// timed three times, the file read once before so that both find it cached;
// the best of each counts.
#include <windows.h>

#include <math.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "bench/BenchClock.h"
#include "bytes/FileBytes.h"
#include "bytes/WavBytes.h"
#include "playback/GreetingFileAnalysis.h"

namespace {

const DWORD RATE = 8000;
const DWORD SECONDS = 600;
const int ROUNDS = 3;

// Syllables of a gliding tone, loud and soft, with pauses between phrases:
// the activity thresholds see every level.
bool WriteGreeting(const std::string& path)
{
    std::string data(RATE * SECONDS * 2, '\0');
    double phase = 0;
    for (DWORD i = 0; i < RATE * SECONDS; ++i) {
        double t = (double)i / RATE;
        double syllable = fmod(t, 0.25) < 0.18 ? sin(3.14159 * fmod(t, 0.25) / 0.18) : 0;
        double phrase = fmod(t, 4.0) < 3.0 ? (0.2 + 0.8 * fmod(t, 1.7) / 1.7) : 0;
        phase += 2 * 3.14159265 * (150 + 100 * sin(t * 3)) / RATE;
        short x = (short)(9000 * syllable * phrase * (sin(phase) + 0.3 * sin(3 * phase)));
        PutLe16(&data, 2 * i, (WORD)x);
    }
    return WriteFileBytes(path, Wav(PcmFmt(), Chunk("data", data)));
}

double ReadAll(const std::string& path)
{
    double start = ClockSeconds();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::vector<char> buffer(RATE * 2);  // one second, as the analysis reads
    DWORD got = 0;
    while (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer.data(), (DWORD)buffer.size(), &got, nullptr) && got)
        ;
    CloseHandle(file);
    return ClockSeconds() - start;
}

double Analyse(const std::string& path, GreetingFigures* figures)
{
    double start = ClockSeconds();
    DWORD code = AnalyseGreetingFile(path.c_str(), figures);
    double seconds = ClockSeconds() - start;
    return code == 0 ? seconds : -1;
}

} // namespace

int main()
{
    char tempDir[MAX_PATH] = {};
    GetTempPathA(sizeof tempDir, tempDir);
    std::string dir = std::string(tempDir) + "orlenta-quality-bench";
    CreateDirectoryA(dir.c_str(), nullptr);
    const std::string path = dir + "\\ten_minutes.wav";
    if (!WriteGreeting(path)) {
        printf("cannot write the greeting in %s\n", dir.c_str());
        return 1;
    }
    ReadAll(path);
    double read = 1e9, analysis = 1e9;
    GreetingFigures figures = {};
    for (int round = 0; round < ROUNDS; ++round) {
        read = fmin(read, ReadAll(path));
        double seconds = Analyse(path, &figures);
        if (seconds < 0) {
            printf("the analysis failed\n");
            return 1;
        }
        analysis = fmin(analysis, seconds);
    }
    printf("baseline: plain read of the 10-minute PCM greeting (9.6 MB, one second a read): %.4f s, %.0fx real time\n",
           read, SECONDS / read);
    printf("analysis of the same file: %.4f s, %.0fx real time (the bar: 500x), %.1fx the plain read\n", analysis,
           SECONDS / analysis, analysis / read);
    printf("(its figures: level %.1f dBov, peak %.1f dBFS, lead %.2f s, tail %.2f s, %.0f s)\n", figures.activeLevelDb,
           figures.peakDb, figures.leadSilenceSec, figures.tailSilenceSec, figures.durationSec);
    DeleteFileA(path.c_str());
    RemoveDirectoryA(dir.c_str());
    return 0;
}
