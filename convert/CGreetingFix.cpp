#include "convert/CGreetingFix.h"

#include <math.h>

#include "wave/GreetingVerdict.h"

namespace {

const double RATE = 8000.0;
const double FULL_SCALE = 32768.0;
const size_t FADE_SAMPLES = 80;        // 10 ms
const double RELEASE_SECONDS = 0.2;    // the limiter's gain recovers with this time constant

size_t Samples(double seconds) { return (size_t)(seconds * RATE + 0.5); }

short Round(double x)
{
    double r = floor(x + 0.5);
    return (short)(r > 32767 ? 32767 : r < -32768 ? -32768 : r);
}

} // namespace

CGreetingFix::CGreetingFix(const GreetingFigures& source, const GreetingFixChoice& choice)
    : keepStart_(0),
      keepEnd_(source.samples),
      gain_(1),
      gainDb_(0),
      ceiling_(HUGE_VAL),
      release_(1 - exp(-1 / (RELEASE_SECONDS * RATE))),
      position_(0),
      emitted_(0),
      held_(0),
      head_(0),
      released_(1),
      smoothedSum_((double)LOOKAHEAD),
      smoothedAt_(0)
{
    // A greeting without sound keeps its length: there is nothing to trim to.
    if (choice.trim && source.soundEnd > source.soundStart) {
        size_t lead = Samples(GREETING_LEAD_KEPT_SEC);
        keepStart_ = source.soundStart > lead ? source.soundStart - lead : 0;
        size_t tailEnd = source.soundEnd + Samples(GREETING_TAIL_KEPT_SEC);
        keepEnd_ = tailEnd < source.samples ? tailEnd : source.samples;
    }
    fadeIn_ = keepStart_ > 0;
    fadeOut_ = keepEnd_ < source.samples;
    if (choice.level && source.activeLevelDb > GREETING_SILENCE_DB) {
        gainDb_ = GREETING_TARGET_LEVEL_DB - source.activeLevelDb;
        gain_ = pow(10, gainDb_ / 20);
        ceiling_ = floor(FULL_SCALE * pow(10, GREETING_PEAK_CEILING_DB / 20));
    }
    for (size_t i = 0; i < LOOKAHEAD; ++i)
        smoothed_[i] = 1;  // no reduction before the start
}

void CGreetingFix::Add(const short* samples, size_t count, std::vector<short>* out)
{
    for (size_t i = 0; i < count; ++i, ++position_)
        if (position_ >= keepStart_ && position_ < keepEnd_)
            Push(samples[i] * gain_, out);
}

void CGreetingFix::Finish(std::vector<short>* out)
{
    while (held_ > 0)
        Emit(out);
}

// Takes a scaled sample into the look-ahead; once it is full, the oldest is
// let out.
void CGreetingFix::Push(double x, std::vector<short>* out)
{
    size_t at = (head_ + held_) % LOOKAHEAD;
    double magnitude = fabs(x);
    delayed_[at] = x;
    needed_[at] = magnitude > ceiling_ ? ceiling_ / magnitude : 1;
    if (++held_ == LOOKAHEAD)
        Emit(out);
}

// The oldest sample goes out with a gain no larger than any the look-ahead
// needs: the lowest needed over the look-ahead, let go slowly, then averaged
// over the look-ahead, which makes the attack a ramp that ends at the peak.
// Each average includes the lowest of a look-ahead that held this sample, so
// it never exceeds what this sample needs.
void CGreetingFix::Emit(std::vector<short>* out)
{
    double lowest = 1;
    for (size_t k = 0; k < held_; ++k)
        lowest = fmin(lowest, needed_[(head_ + k) % LOOKAHEAD]);
    released_ = lowest <= released_ ? lowest : released_ + release_ * (lowest - released_);
    smoothedSum_ += released_ - smoothed_[smoothedAt_];
    smoothed_[smoothedAt_] = released_;
    smoothedAt_ = (smoothedAt_ + 1) % LOOKAHEAD;

    double gain = fmin(smoothedSum_ / LOOKAHEAD, needed_[head_]);
    out->push_back(Round(delayed_[head_] * gain * Fade(emitted_)));
    ++emitted_;
    head_ = (head_ + 1) % LOOKAHEAD;
    --held_;
}

// The fades where the trim cut into the silences.
double CGreetingFix::Fade(size_t index) const
{
    size_t kept = keepEnd_ - keepStart_;
    double fade = 1;
    if (fadeIn_ && index < FADE_SAMPLES)
        fade = (index + 0.5) / FADE_SAMPLES;
    if (fadeOut_ && index + FADE_SAMPLES >= kept && index < kept)
        fade = fmin(fade, (kept - index - 0.5) / FADE_SAMPLES);
    return fade;
}
