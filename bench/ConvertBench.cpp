// Figures of the greeting converter: a 10-minute 44.1 kHz stereo 16-bit file
// converted into each of the four formats, with the seconds each takes and
// the process's peak working set after it. A 1-minute file goes first, so
// that the peak after the 10-minute one shows whether memory follows the
// file's length; a plain read of the 10-minute file is the baseline of speed.
#include <windows.h>
#include <mmreg.h>

#include <math.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "bench/BenchClock.h"
#include "convert/CGreetingConverter.h"

namespace {

const DWORD RATE = 44100;
const WORD CHANNELS = 2;

void Put(std::string* s, DWORD value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        s->push_back((char)(value >> (8 * i)));
}

// A sweep over the telephone band, a second channel a little quieter.
bool WriteSource(const std::string& path, DWORD seconds)
{
    const DWORD frames = RATE * seconds;
    const DWORD dataBytes = frames * CHANNELS * 2;
    std::string header = "RIFF";
    Put(&header, 36 + dataBytes, 4);
    header += "WAVEfmt ";
    Put(&header, 16, 4);
    Put(&header, WAVE_FORMAT_PCM, 2);
    Put(&header, CHANNELS, 2);
    Put(&header, RATE, 4);
    Put(&header, RATE * CHANNELS * 2, 4);
    Put(&header, CHANNELS * 2, 2);
    Put(&header, 16, 2);
    header += "data";
    Put(&header, dataBytes, 4);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, header.data(), (DWORD)header.size(), &written, nullptr) != FALSE;
    std::vector<short> block(RATE * CHANNELS);
    double phase = 0;
    for (DWORD second = 0; ok && second < seconds; ++second) {
        for (DWORD i = 0; i < RATE; ++i) {
            double hz = 300 + 3100.0 * ((second * RATE + i) % (RATE * 10)) / (RATE * 10);
            phase += 2 * 3.14159265358979 * hz / RATE;
            block[2 * i] = (short)(12000 * sin(phase));
            block[2 * i + 1] = (short)(9000 * sin(phase));
        }
        ok = WriteFile(file, block.data(), (DWORD)(block.size() * 2), &written, nullptr) != FALSE;
    }
    CloseHandle(file);
    return ok;
}

double ReadAll(const std::string& path)
{
    double start = ClockSeconds();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::vector<char> buffer(64 * 1024);
    DWORD got = 0;
    while (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer.data(), (DWORD)buffer.size(), &got, nullptr) && got)
        ;
    CloseHandle(file);
    return ClockSeconds() - start;
}

} // namespace

int main()
{
    char tempDir[MAX_PATH] = {};
    GetTempPathA(sizeof tempDir, tempDir);
    std::string dir = std::string(tempDir) + "orlenta-convert-bench";
    CreateDirectoryA(dir.c_str(), nullptr);
    const std::string shortFile = dir + "\\one_minute.wav";
    const std::string longFile = dir + "\\ten_minutes.wav";
    const std::string target = dir + "\\out.wav";
    if (!WriteSource(shortFile, 60) || !WriteSource(longFile, 600)) {
        printf("cannot write the sources in %s\n", dir.c_str());
        return 1;
    }
    printf("peak working set before converting: %.1f MiB\n", PeakWorkingSetMiB());
    const double baseline = ReadAll(longFile);
    printf("baseline: reading the 10-minute file (106 MB) takes %.3f s\n", baseline);

    struct Row {
        WORD tag;
        const char* name;
    } rows[] = {{WAVE_FORMAT_PCM, "PCM"}, {WAVE_FORMAT_ALAW, "G.711a"}, {WAVE_FORMAT_MULAW, "G.711m"},
                {WAVE_FORMAT_GSM610, "GSM 6.10"}};
    for (const std::string* source : {&shortFile, &longFile}) {
        const char* length = source == &shortFile ? "1 min" : "10 min";
        for (const Row& row : rows) {
            CGreetingConverter converter;
            double start = ClockSeconds();
            DWORD code = converter.Convert(source->c_str(), target.c_str(), row.tag, nullptr, nullptr);
            double seconds = ClockSeconds() - start;
            printf("%-6s 44.1 kHz stereo -> %-8s: %6.2f s  (%5.0fx real time, %4.0fx the plain read of 10 min)"
                   "  peak working set %.1f MiB%s\n",
                   length, row.name, seconds, (source == &shortFile ? 60 : 600) / seconds, seconds / baseline,
                   PeakWorkingSetMiB(), code ? "  FAILED" : "");
        }
    }
    DeleteFileA(shortFile.c_str());
    DeleteFileA(longFile.c_str());
    DeleteFileA(target.c_str());
    RemoveDirectoryA(dir.c_str());
    return 0;
}
