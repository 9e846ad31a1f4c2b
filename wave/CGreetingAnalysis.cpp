#include "wave/CGreetingAnalysis.h"

#include <math.h>

namespace {

const double RATE = 8000.0;
const double FULL_SCALE = 32768.0;
// P.56 method B: envelope time constant, hangover and the margin between the
// active level and the threshold that decides activity.
const double ENVELOPE_SECONDS = 0.03;
const double HANGOVER_SECONDS = 0.2;
const double MARGIN_DB = 15.9;
// A frame of 20 ms holds sound when its RMS is above -50 dBov.
const size_t FRAME_SAMPLES = 160;
const double SOUND_FLOOR_DB = -50.0;
// Clipping: this many samples in a row at or beyond this share of full scale.
const int CLIP_RUN = 3;
const double CLIP_SHARE = 0.99;

double Db(double power) { return power > 0 ? 10 * log10(power) : GREETING_SILENCE_DB; }

// Mean square of a frame at the sound floor, in squared sample units.
const double SOUND_FLOOR_SQUARE = FULL_SCALE * FULL_SCALE * 1e-5;  // 10^(-50/10)

} // namespace

CGreetingAnalysis::CGreetingAnalysis(int fullScale)
    : clipLevel_((int)ceil(CLIP_SHARE * fullScale)),
      envelopeGain_(exp(-1.0 / (ENVELOPE_SECONDS * RATE))),
      hangover_((size_t)ceil(HANGOVER_SECONDS * RATE))
{
    Reset();
}

void CGreetingAnalysis::Reset()
{
    p_ = q_ = 0;
    for (int j = 0; j < THRESHOLDS; ++j) {
        active_[j] = 0;
        hold_[j] = hangover_;  // nothing before the start counts as activity
    }
    samples_ = 0;
    sum_ = 0;
    sumSquares_ = 0;
    peak_ = 0;
    clipRun_ = 0;
    clippedRuns_ = 0;
    frameSquares_ = 0;
    frameCount_ = 0;
    hasSound_ = false;
    soundStart_ = soundEnd_ = 0;
}

void CGreetingAnalysis::Add(const short* samples, size_t count)
{
    // Thresholds c_j = 2^(j-15) of full scale, in sample units: 1, 2, 4 ... 16384.
    const double attack = 1 - envelopeGain_;
    for (size_t i = 0; i < count; ++i) {
        const int x = samples[i];
        const int magnitude = x < 0 ? -x : x;
        sum_ += x;
        sumSquares_ += (double)x * x;
        if (magnitude > peak_)
            peak_ = magnitude;
        if (magnitude >= clipLevel_) {
            if (++clipRun_ == CLIP_RUN)
                ++clippedRuns_;
        } else {
            clipRun_ = 0;
        }

        p_ = envelopeGain_ * p_ + attack * magnitude;
        q_ = envelopeGain_ * q_ + attack * p_;
        // The thresholds the envelope reaches are active now; the others stay
        // active for the hangover after the envelope last reached them. A
        // higher threshold was last reached no later than a lower one, so the
        // first whose hangover has run out ends the walk.
        int reached = 0;
        for (double c = 1; reached < THRESHOLDS && q_ >= c; c *= 2)
            ++reached;
        for (int j = 0; j < reached; ++j) {
            ++active_[j];
            hold_[j] = 0;
        }
        for (int j = reached; j < THRESHOLDS && hold_[j] < hangover_; ++j) {
            ++active_[j];
            ++hold_[j];
        }

        ++samples_;
        frameSquares_ += (long long)x * x;
        if (++frameCount_ == FRAME_SAMPLES)
            AddFrame();
    }
}

// A frame that holds sound moves the end of the sound to its end, and the
// first one also sets the start.
void CGreetingAnalysis::AddFrame()
{
    if ((double)frameSquares_ > SOUND_FLOOR_SQUARE * frameCount_) {
        if (!hasSound_)
            soundStart_ = samples_ - frameCount_;
        hasSound_ = true;
        soundEnd_ = samples_;
    }
    frameSquares_ = 0;
    frameCount_ = 0;
}

// The level at which the activity-weighted level lies MARGIN_DB above the
// threshold, interpolated between the two thresholds around it.
double CGreetingAnalysis::ActiveLevelDb() const
{
    double previousLevel = 0, previousExcess = 0;
    for (int j = 0; j < THRESHOLDS; ++j) {
        if (active_[j] == 0)
            return j == 0 ? GREETING_SILENCE_DB : previousLevel;
        double level = Db(sumSquares_ / active_[j] / (FULL_SCALE * FULL_SCALE));
        double excess = level - 20 * log10(ldexp(1.0, j - 15));
        if (excess <= MARGIN_DB) {
            if (j == 0)
                return level;
            double t = (previousExcess - MARGIN_DB) / (previousExcess - excess);
            return previousLevel + t * (level - previousLevel);
        }
        previousLevel = level;
        previousExcess = excess;
    }
    return previousLevel;
}

GreetingFigures CGreetingAnalysis::Figures() const
{
    // A last frame shorter than 20 ms is judged on its own samples.
    CGreetingAnalysis whole(*this);
    if (whole.frameCount_ > 0)
        whole.AddFrame();

    GreetingFigures f = {};
    f.samples = samples_;
    f.durationSec = samples_ / RATE;
    f.activeLevelDb = ActiveLevelDb();
    f.longTermLevelDb = samples_ ? Db(sumSquares_ / samples_ / (FULL_SCALE * FULL_SCALE)) : GREETING_SILENCE_DB;
    // The share of time whose power, at the active level, makes the long-term level.
    f.activity = f.activeLevelDb > GREETING_SILENCE_DB ? pow(10, (f.longTermLevelDb - f.activeLevelDb) / 10) : 0;
    f.peakDb = peak_ > 0 ? 20 * log10(peak_ / FULL_SCALE) : GREETING_SILENCE_DB;
    f.clippedRuns = clippedRuns_;
    f.dcOffset = samples_ ? sum_ / (double)samples_ / FULL_SCALE : 0;
    f.soundStart = whole.hasSound_ ? whole.soundStart_ : samples_;
    f.soundEnd = whole.soundEnd_;
    f.leadSilenceSec = f.soundStart / RATE;
    f.tailSilenceSec = whole.hasSound_ ? (samples_ - whole.soundEnd_) / RATE : 0;
    return f;
}
