// Measures of what a listener hears, for comparing resamplers whose delays
// differ by a fraction of a sample: band energies, a tone's level, and the
// signal-to-noise ratio of sample-for-sample comparisons.
#pragma once
#include <string>
#include <vector>

// Energy in dB of the band [low, high) Hz of 8000 Hz samples (Hann-windowed
// frames of 512, summed).
double BandEnergyDb(const std::vector<short>& samples, double low, double high);
// Amplitude in dBFS of a frequency (Goertzel), over the samples between the
// first and last quarter second.
double ToneLevelDb(const std::vector<short>& samples, double hz);
// 10 log10(signal energy / energy of the difference) over the common length.
double SnrDb(const std::vector<short>& reference, const std::vector<short>& test);

// Little-endian 16-bit samples of raw bytes.
std::vector<short> SamplesOf(const std::string& bytes);
