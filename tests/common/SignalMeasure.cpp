#include "common/SignalMeasure.h"

#include <math.h>
#include <string.h>

#include <complex>

namespace {

const double SAMPLE_RATE = 8000.0;
const size_t FRAME = 512;
const size_t EDGE = 2000;  // a quarter second at 8000 Hz
const double PI = 3.14159265358979323846;

void Fft(std::vector<std::complex<double>>* data)
{
    std::vector<std::complex<double>>& a = *data;
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        std::complex<double> step = std::polar(1.0, -2 * PI / len);
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w = 1;
            for (size_t k = 0; k < len / 2; ++k, w *= step) {
                std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

} // namespace

double BandEnergyDb(const std::vector<short>& samples, double low, double high)
{
    double energy = 1e-12;
    std::vector<std::complex<double>> frame(FRAME);
    for (size_t start = 0; start + FRAME <= samples.size(); start += FRAME / 2) {
        for (size_t i = 0; i < FRAME; ++i)
            frame[i] = samples[start + i] * (0.5 - 0.5 * cos(2 * PI * i / FRAME));
        Fft(&frame);
        for (size_t bin = 0; bin < FRAME / 2; ++bin) {
            double hz = bin * SAMPLE_RATE / FRAME;
            if (hz >= low && hz < high)
                energy += std::norm(frame[bin]);
        }
    }
    return 10 * log10(energy);
}

double ToneLevelDb(const std::vector<short>& samples, double hz)
{
    if (samples.size() <= 2 * EDGE)
        return -999;
    double re = 0, im = 0;
    size_t n = 0;
    for (size_t i = EDGE; i + EDGE < samples.size(); ++i, ++n) {
        double x = samples[i] / 32768.0;
        re += x * cos(2 * PI * hz * i / SAMPLE_RATE);
        im += x * sin(2 * PI * hz * i / SAMPLE_RATE);
    }
    return 20 * log10(2 * sqrt(re * re + im * im) / n + 1e-12);
}

double SnrDb(const std::vector<short>& reference, const std::vector<short>& test)
{
    size_t n = reference.size() < test.size() ? reference.size() : test.size();
    double signal = 1e-12, noise = 1e-12;
    for (size_t i = 0; i < n; ++i) {
        double d = (double)reference[i] - test[i];
        signal += (double)reference[i] * reference[i];
        noise += d * d;
    }
    return 10 * log10(signal / noise);
}

std::vector<short> SamplesOf(const std::string& bytes)
{
    std::vector<short> s(bytes.size() / 2);
    memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
}
