// What reached the sound device: the capture files that the session's ALSA
// file plugin writes (one per opening of the device), and the software volume
// that Wine applies on the way.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

typedef std::vector<short> Samples;

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

// As FirstDifference, for a capture that went through a pause: raw are the
// samples before the volume. Wine applies the volume once more to the sound it
// still held when the device paused, so a short run of samples may arrive
// scaled twice; those are accepted and counted in twice.
std::string DifferenceAcrossPause(const Samples& got, size_t gotStart, const Samples& raw, DWORD volume16,
                                  size_t* twice);

// The G.711 decoders of ITU-T G.711: A-law and mu-law byte to 16-bit PCM.
short AlawToPcm(BYTE value);
short MulawToPcm(BYTE value);
