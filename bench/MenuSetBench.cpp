// The check of a whole folder, end to end as OrlentaCheck.exe does it: every
// menu read, every greeting's header checked and its sound analysed, the
// links, entry and findings worked out, the lines and the HTML report made.
// Folders of 100 and of 1,000 menus (each with its own greeting, linked as a
// tree under main.ivr with a way back) are made by the benchmark; it prints the median time of each, the
// time per menu and the ratio of the two per-menu times (1.0: the cost grows
// linearly). Run it with scripts/wine-run inside a test environment.
#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/CommonServices.h"
#include "bytes/FileBytes.h"
#include "bytes/WavBytes.h"
#include "menuset/CMenuReport.h"
#include "menuset/CMenuSet.h"

namespace {

const int ROUNDS = 5;
const int SMALL_FOLDER = 100;
const int LARGE_FOLDER = 1000;
const double LARGE_BAR_SECONDS = 2.0;

std::string MenuName(int i) { return i == 0 ? "main" : "m" + std::to_string(i); }

// Menu i leads to 2i+1 and 2i+2 by keys 1 and 2, back to main by 9, to an
// operator by 0; a few keys lead nowhere, so the findings are not empty.
std::string MenuText(int i, int count)
{
    char line[128];
    std::string text = "10   g" + std::to_string(i) + ".wav\r\n\r\n";
    for (int key = 1; key <= 2; ++key) {
        int child = 2 * i + key;
        if (child < count || i % 50 == 0) {
            snprintf(line, sizeof line, "%-5d%-16s%s\r\n", key, "menu", MenuName(child).c_str());
            text += line;
        }
    }
    snprintf(line, sizeof line, "%-5c%-16s%s\r\n%-5c%-16s%s\r\n%-5c%s\r\n", '0', "dial", "100", '9', "menu", "main",
             '-', "disconnect");
    return text + line;
}

bool MakeFolder(const std::string& dir, int count)
{
    CreateDirectoryA(dir.c_str(), nullptr);
    // A second of tone at a speech level: analysed in full, with nothing to warn of.
    std::string greeting = Wav(PcmFmt(), Chunk("data", PcmTone(8000, 400, 4000)));
    for (int i = 0; i < count; ++i)
        if (!WriteFileBytes(dir + "\\" + MenuName(i) + ".ivr", MenuText(i, count)) ||
            !WriteFileBytes(dir + "\\g" + std::to_string(i) + ".wav", greeting))
            return false;
    return true;
}

void RemoveFolder(const std::string& dir)
{
    for (const std::string& name : ListFiles(dir))
        DeleteFileA((dir + "\\" + name).c_str());
    RemoveDirectoryA(dir.c_str());
}

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

// Seconds of one check; findings receives how many it gave.
double CheckOnce(const std::string& dir, size_t* findings)
{
    double start = Now();
    CMenuSet set;
    DWORD error = 0;
    if (!set.Load(dir, &error))
        return -1;
    std::vector<MenuFinding> found = set.Findings();
    CMenuReport report(set);
    size_t bytes = 0;
    for (const MenuFinding& finding : found)
        bytes += report.PlainLine(finding).size() + report.TsvLine(finding).size();
    bytes += report.Html(found).size();
    double seconds = Now() - start;
    *findings = found.size() + (bytes == 0);
    return seconds;
}

double MedianCheck(const std::string& dir, size_t* findings)
{
    std::vector<double> times;
    for (int round = 0; round < ROUNDS; ++round)
        times.push_back(CheckOnce(dir, findings));
    std::sort(times.begin(), times.end());
    return times[ROUNDS / 2];
}

} // namespace

int main()
{
    g_hInstance = GetModuleHandleA(nullptr);
    char tmp[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("ORLENTA_TMP", tmp, sizeof tmp))
        GetTempPathA(sizeof tmp, tmp);
    std::string base = std::string(tmp) + "\\menuset-bench-";

    struct Size {
        int menus;
        double seconds;
        size_t findings;
    } sizes[] = {{SMALL_FOLDER, 0, 0}, {LARGE_FOLDER, 0, 0}};
    for (Size& size : sizes) {
        std::string dir = base + std::to_string(size.menus);
        RemoveFolder(dir);
        if (!MakeFolder(dir, size.menus)) {
            printf("could not make %s\n", dir.c_str());
            return 1;
        }
        size.seconds = MedianCheck(dir, &size.findings);
        RemoveFolder(dir);
        printf("%5d menus, %5d greetings: %7.3f s, %6.3f ms per menu (%zu findings; median of %d)\n", size.menus,
               size.menus, size.seconds, size.seconds * 1000 / size.menus, size.findings, ROUNDS);
    }
    double ratio = (sizes[1].seconds / sizes[1].menus) / (sizes[0].seconds / sizes[0].menus);
    printf("per-menu time, 1000 against 100: %.2f (1.00 is linear)\n", ratio);
    printf("1000 menus %s the bar of %.1f s\n", sizes[1].seconds < LARGE_BAR_SECONDS ? "within" : "OVER",
           LARGE_BAR_SECONDS);
    return 0;
}
