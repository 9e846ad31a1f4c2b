// The test environment's recording source: a null sink of the private sound
// server whose monitor is the recording device (ORLENTA_MIC_SERVER and
// ORLENTA_MIC_SINK, set by scripts/wine-run). A test plays a known signal into
// it with pacat, paced by the server, and takes the device away by unloading
// the sink's module with pactl.
#pragma once
#include <windows.h>
#include <string>

#include "common/SoundCapture.h"

bool MicConfigured();
#define SKIP_WITHOUT_MIC()                                                               \
    if (!MicConfigured())                                                                \
    GTEST_SKIP() << "ORLENTA_MIC_SERVER names no sound server: run under scripts/test"

class MicFeed {
public:
    // folder: a test's own folder (Windows path under Z:) for the feed's files.
    explicit MicFeed(const std::string& folder);
    // Stops a feed still playing and brings the device back if it was taken away.
    ~MicFeed();
    MicFeed(const MicFeed&) = delete;
    MicFeed& operator=(const MicFeed&) = delete;

    // Starts playing 8000 Hz mono samples into the source, after half a second
    // of silence; returns once pacat runs.
    bool Play(const Samples& samples);
    // Waits until everything has been played.
    bool WaitPlayed(DWORD timeoutMs = 20000);
    // Stops the feed now.
    void Stop();
    // Unloads the source's module: the recording device goes. Restore loads it again.
    bool Remove();
    bool Restore();

private:
    bool Run(const std::string& script);

    std::string folder_;
    bool removed_ = false;
};
