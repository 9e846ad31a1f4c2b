// What reached the sound device: the capture files that the test environment's ALSA
// file plugin writes (one per opening of the device), and the software volume
// that Wine applies on the way.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

typedef std::vector<short> Samples;

// Whether the test environment names a capture folder (ORLENTA_CAPTURE). Without one
// nothing can be checked on the device, and nothing is deleted anywhere.
bool CaptureConfigured();
#define SKIP_WITHOUT_CAPTURE()                                                          \
    if (!CaptureConfigured())                                                        \
    GTEST_SKIP() << "ORLENTA_CAPTURE names no capture folder: run under scripts/test"

// Removes every capture file; call before the device is opened.
void ClearCaptures();
// The capture files in the order the device was opened, as 16-bit samples.
std::vector<Samples> ReadCaptures();
// Number of capture files now.
size_t CaptureCount();

// A sample as the device receives it at the wave volume volume16 (0..65535 on
// the channel): Wine multiplies by volume16 / 65535 in float and truncates.
short AtVolume(short sample, DWORD volume16);
Samples AtVolume(const Samples& samples, DWORD volume16);

// Little-endian 16-bit samples from bytes, and back.
Samples ToSamples(const std::string& bytes);
std::string ToBytes(const Samples& samples);

// Index of the first non-zero sample from start, or the size when none.
size_t FirstNonZero(const Samples& samples, size_t start = 0);
// True when every sample from start on is zero.
bool AllZeroFrom(const Samples& samples, size_t start);
// The samples without any zero among them.
Samples NonZero(const Samples& samples);
// Describes the first difference of two sample runs, or "" when equal.
std::string FirstDifference(const Samples& got, size_t gotStart, const Samples& want);

// As FirstDifference, for a capture that went through a pause and a resume:
// the sound up to some point, then at most maxGap samples of silence (Wine's
// driver writes a short lead-in when it starts again), then the same sound
// from at most maxRepeat samples before that point (the part of the oldest
// buffer heard before the pause) exactly to the end of want. seam receives
// where the sound was cut (or want.size() when it went through), repeat how
// many samples were heard twice.
std::string DifferenceAcrossResume(const Samples& got, size_t gotStart, const Samples& want, size_t maxGap,
                                   size_t maxRepeat, size_t* seam, size_t* repeat);

// The G.711 decoders of ITU-T G.711: A-law and mu-law byte to 16-bit PCM.
short AlawToPcm(BYTE value);
short MulawToPcm(BYTE value);
