// The greetings of the quality and menu-set tests, made once per run by sox
// Russian speech fixture: one sound greeting and one for each warning, each
// as 16-bit PCM, G.711 A-law, G.711 µ-law and GSM 6.10.
#pragma once
#include <string>
#include <vector>

struct QualityGreeting {
    const char* name;
    const char* effects;   // sox effects on the speech
    const char* warning;   // the one code it must earn; null for none
};

extern const QualityGreeting QUALITY_GREETINGS[6];
extern const char* const QUALITY_ENCODINGS[4];  // pcm, alaw, ulaw, gsm

// The folder holding NAME_ENCODING.wav of every greeting, and sox's files of
// the level tests; empty, with a failure, when sox could not make them.
const std::string& QualityFolder();
std::string QualityFile(const char* name, const char* encoding = "pcm");

// The samples of a 16-bit PCM WAV written by sox (data at 44).
std::vector<short> SoxPcmSamples(const std::string& path);
