#include "call/DtmfTone.h"

#include <math.h>

namespace {

const DtmfPair PAIRS[] = {
    {'1', 697, 1209}, {'2', 697, 1336}, {'3', 697, 1477},
    {'4', 770, 1209}, {'5', 770, 1336}, {'6', 770, 1477},
    {'7', 852, 1209}, {'8', 852, 1336}, {'9', 852, 1477},
    {'*', 941, 1209}, {'0', 941, 1336}, {'#', 941, 1477},
};

const double TONE_AMPLITUDE = 8000.0;  // each tone about 12 dB below full scale
const int RAMP_SAMPLES = 40;           // 5 ms in and out
const double PI = 3.14159265358979323846;

} // namespace

const DtmfPair* FindDtmfPair(char key)
{
    for (const DtmfPair& pair : PAIRS)
        if (pair.key == key)
            return &pair;
    return nullptr;
}

std::vector<short> DtmfSamples(char key)
{
    const DtmfPair* pair = FindDtmfPair(key);
    if (!pair)
        return {};
    const int count = DTMF_SAMPLE_RATE * DTMF_TONE_MS / 1000;
    std::vector<short> samples(count);
    for (int i = 0; i < count; ++i) {
        double t = static_cast<double>(i) / DTMF_SAMPLE_RATE;
        double value = TONE_AMPLITUDE * (sin(2 * PI * pair->lowHz * t) + sin(2 * PI * pair->highHz * t));
        int edge = i < count - 1 - i ? i : count - 1 - i;
        if (edge < RAMP_SAMPLES)
            value *= 0.5 - 0.5 * cos(PI * edge / RAMP_SAMPLES);
        samples[i] = static_cast<short>(lround(value));
    }
    return samples;
}
