// Measures the greetings of a folder one after another, as callers will hear
// them: the samples of each accepted format, decoded as the player decodes
// them, go through one CGreetingAnalysis. A folder may hold a thousand short
// greetings, and opening a codec's stream costs more under some systems (some
// milliseconds under Wine: the manager tries driver after driver) than
// analysing a second of sound. So each format's driver is found once and kept
// open, each file gets a stream of its own on it (a codec keeps state from one
// block to the next, which must not pass from one greeting to another), PCM
// needs none, and the data are read several seconds at a time.
#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <vector>

#include "wave/CGreetingAnalysis.h"

class CAcmStream;

class CGreetingMeter {
public:
    CGreetingMeter();
    ~CGreetingMeter();
    CGreetingMeter(const CGreetingMeter&) = delete;
    CGreetingMeter& operator=(const CGreetingMeter&) = delete;

    // Analyses dataSize bytes from dataOffset of an open file that the format
    // check has passed (CheckVoiceFile). Answers 0, the system's error code of
    // a failed read, or ERROR_INVALID_DATA when no decoder takes the data.
    DWORD Measure(HANDLE file, WORD formatTag, DWORD dataOffset, DWORD dataSize, GreetingFigures* figures);

private:
    DWORD MeasurePcm(HANDLE file, DWORD dataSize, CGreetingAnalysis* analysis);
    DWORD MeasureCoded(HANDLE file, WORD formatTag, DWORD dataSize, CGreetingAnalysis* analysis);
    CAcmStream* DecoderFor(WORD formatTag);

    struct Codec;
    std::vector<BYTE> pcm_;                           // a piece of PCM data as read
    std::map<WORD, std::unique_ptr<Codec>> codecs_;  // by format tag, found when first needed
};
