#include "common/SoundCapture.h"

#include <algorithm>

#include "common/TestUtil.h"

namespace {

std::string CaptureDir() { return EnvPath("ORLENTA_CAPTURE"); }

// capture.raw comes first, then capture.raw.0001, capture.raw.0002, ...
std::vector<std::string> CaptureNames()
{
    std::vector<std::string> names;
    // An empty folder would make the pattern "\\capture.raw*", the drive's root.
    if (!CaptureConfigured())
        return names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((CaptureDir() + "\\capture.raw*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        if (a.size() != b.size())
            return a.size() < b.size();
        return a < b;
    });
    return names;
}

} // namespace

bool CaptureConfigured() { return !CaptureDir().empty(); }

void ClearCaptures()
{
    for (const std::string& name : CaptureNames())
        DeleteFileA((CaptureDir() + "\\" + name).c_str());
}

std::vector<Samples> ReadCaptures()
{
    std::vector<Samples> captures;
    for (const std::string& name : CaptureNames())
        captures.push_back(ToSamples(ReadFileBytes(CaptureDir() + "\\" + name)));
    return captures;
}

size_t CaptureCount() { return CaptureNames().size(); }

short AtVolume(short sample, DWORD volume16)
{
    volatile float factor = (float)volume16 / 65535.0f;
    volatile float scaled = (float)sample * factor;
    return (short)scaled;
}

Samples AtVolume(const Samples& samples, DWORD volume16)
{
    Samples out;
    out.reserve(samples.size());
    for (short s : samples)
        out.push_back(AtVolume(s, volume16));
    return out;
}

Samples ToSamples(const std::string& bytes)
{
    Samples samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = (short)((BYTE)bytes[2 * i] | ((BYTE)bytes[2 * i + 1] << 8));
    return samples;
}

std::string ToBytes(const Samples& samples)
{
    std::string bytes(samples.size() * 2, '\0');
    for (size_t i = 0; i < samples.size(); ++i) {
        bytes[2 * i] = (char)(samples[i] & 0xFF);
        bytes[2 * i + 1] = (char)((samples[i] >> 8) & 0xFF);
    }
    return bytes;
}

size_t FirstNonZero(const Samples& samples, size_t start)
{
    for (size_t i = start; i < samples.size(); ++i) {
        if (samples[i] != 0)
            return i;
    }
    return samples.size();
}

bool AllZeroFrom(const Samples& samples, size_t start) { return FirstNonZero(samples, start) == samples.size(); }

Samples NonZero(const Samples& samples)
{
    Samples out;
    for (short s : samples) {
        if (s != 0)
            out.push_back(s);
    }
    return out;
}

std::string FirstDifference(const Samples& got, size_t gotStart, const Samples& want)
{
    for (size_t i = 0; i < want.size(); ++i) {
        if (gotStart + i >= got.size())
            return "capture ends at sample " + std::to_string(i) + " of " + std::to_string(want.size());
        if (got[gotStart + i] != want[i])
            return "sample " + std::to_string(i) + ": got " + std::to_string(got[gotStart + i]) + ", want " +
                   std::to_string(want[i]);
    }
    return std::string();
}

std::string DifferenceAcrossResume(const Samples& got, size_t gotStart, const Samples& want, size_t maxGap,
                                   size_t maxRepeat, size_t* seam, size_t* repeat)
{
    *repeat = 0;
    size_t i = 0;
    while (i < want.size() && gotStart + i < got.size() && got[gotStart + i] == want[i])
        ++i;
    *seam = i;
    if (i == want.size())
        return std::string();
    // Past the silence that may follow the cut, the sound goes on from a
    // point at most maxRepeat samples back.
    size_t after = gotStart + i;
    for (size_t gap = 0; gap <= maxGap && after + gap <= got.size(); ++gap) {
        if (gap > 0 && got[after + gap - 1] != 0)
            break;
        for (size_t back = 0; back <= maxRepeat && back <= i; ++back) {
            size_t from = i - back;
            std::string rest = FirstDifference(got, after + gap, Samples(want.begin() + from, want.end()));
            if (rest.empty()) {
                *repeat = back;
                return std::string();
            }
        }
    }
    return "cut at sample " + std::to_string(i) + ": got " +
           (after < got.size() ? std::to_string(got[after]) : std::string("the end")) + ", want " +
           std::to_string(want[i]) + ", and no continuation within " + std::to_string(maxGap) +
           " samples of silence and " + std::to_string(maxRepeat) + " back";
}

short AlawToPcm(BYTE value)
{
    value ^= 0x55;
    int exponent = (value >> 4) & 0x07;
    int mantissa = value & 0x0F;
    int magnitude = exponent == 0 ? (mantissa << 4) + 8 : ((mantissa << 4) + 0x108) << (exponent - 1);
    return (short)((value & 0x80) ? magnitude : -magnitude);
}

short MulawToPcm(BYTE value)
{
    value = (BYTE)~value;
    int exponent = (value >> 4) & 0x07;
    int mantissa = value & 0x0F;
    int magnitude = (((mantissa << 3) + 0x84) << exponent) - 0x84;
    return (short)((value & 0x80) ? -magnitude : magnitude);
}
