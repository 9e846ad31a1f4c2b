// One pass over a greeting's decoded samples (8000 Hz, 16-bit, mono), fed in
// pieces of any size, so a greeting of any length costs a fixed few hundred
// bytes: the active speech level (ITU-T P.56, method B), the long-term level,
// the peak, the clipped runs, the silence before the first and after the last
// 20 ms frame that holds sound, the DC offset and the duration.
#pragma once
#include <stddef.h>

// The level reported for a greeting with no activity at all.
const double GREETING_SILENCE_DB = -100.0;

// What one analysis found. Levels in dB against full scale: dBov for the
// levels (0 dBov is the RMS of a full-scale square wave, so a full-scale sine
// is -3.0 dBov), dBFS for the peak (0 dBFS is 32768).
struct GreetingFigures {
    double activeLevelDb;     // active speech level, dBov
    double activity;          // activity factor, 0..1: long-term power over active power
    double longTermLevelDb;   // RMS of every sample, dBov
    double peakDb;            // largest magnitude, dBFS
    int clippedRuns;          // runs of 3 or more samples at or beyond 99% of the format's full scale
    double leadSilenceSec;    // before the first frame with sound (the duration when none has)
    double tailSilenceSec;    // after the last frame with sound (0 when none has)
    double dcOffset;          // mean sample, as a fraction of full scale
    double durationSec;
    size_t samples;           // samples analysed
    size_t soundStart;        // first sample of the first frame with sound
    size_t soundEnd;          // sample after the last frame with sound; 0 when no frame has
};

class CGreetingAnalysis {
public:
    // fullScale: the largest magnitude the source format decodes to (32767 for
    // PCM and GSM 6.10; G.711 stops short of it), against which clipping is judged.
    explicit CGreetingAnalysis(int fullScale = 32767);

    // Starts again with nothing analysed.
    void Reset();
    // Takes the next count samples.
    void Add(const short* samples, size_t count);
    // The figures of everything added so far.
    GreetingFigures Figures() const;

private:
    static const int THRESHOLDS = 15;  // P.56 thresholds 2^-15 .. 2^-1 of full scale

    void AddFrame();
    double ActiveLevelDb() const;

    int clipLevel_;
    // P.56 envelope and activity counts.
    double envelopeGain_;   // g = exp(-1 / (time constant * rate))
    size_t hangover_;       // samples
    double p_, q_;          // the two smoothing stages of |x|
    size_t active_[THRESHOLDS];
    size_t hold_[THRESHOLDS];  // samples since the envelope fell below the threshold
    // Whole-signal sums.
    size_t samples_;
    long long sum_;
    double sumSquares_;
    int peak_;
    int clipRun_;           // current run at or beyond the clip level
    int clippedRuns_;
    // 20 ms frames.
    long long frameSquares_;
    size_t frameCount_;
    bool hasSound_;
    size_t soundStart_;
    size_t soundEnd_;
};
