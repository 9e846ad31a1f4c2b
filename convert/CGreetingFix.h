// The fix of a greeting's level and silences, sample processing only, fed in
// pieces: the active speech level brought to the target, with a look-ahead
// limiter that keeps peaks at or below the ceiling (the gain comes down over
// the look-ahead before a peak and goes back up slowly, so it neither clips
// nor pumps), and the silence before the first and after the last sound
// trimmed to what is kept, with short fades where the cut falls. The level is
// one gain for the whole greeting, so the voice's spectrum is not changed.
#pragma once
#include <stddef.h>

#include <vector>

#include "wave/CGreetingAnalysis.h"

// What the operator chose; both are on unless turned off.
struct GreetingFixChoice {
    bool level = true;
    bool trim = true;
};

class CGreetingFix {
public:
    // source: the analysis of the very samples that will be added.
    CGreetingFix(const GreetingFigures& source, const GreetingFixChoice& choice);

    // Takes the next count source samples and appends to out the fixed
    // samples that are ready; the limiter holds back its look-ahead.
    void Add(const short* samples, size_t count, std::vector<short>* out);
    // Appends what is held back; the fixed greeting is complete.
    void Finish(std::vector<short>* out);

    double GainDb() const { return gainDb_; }   // the level change, before limiting
    size_t KeptStart() const { return keepStart_; }  // first source sample kept
    size_t KeptEnd() const { return keepEnd_; }      // source sample after the last kept

private:
    static const size_t LOOKAHEAD = 80;  // 10 ms: the limiter's attack

    void Push(double x, std::vector<short>* out);
    void Emit(std::vector<short>* out);
    double Fade(size_t index) const;

    size_t keepStart_, keepEnd_;
    bool fadeIn_, fadeOut_;
    double gain_;
    double gainDb_;
    double ceiling_;       // in sample units
    double release_;       // per-sample share by which the limiter's gain recovers
    size_t position_;      // source samples seen
    size_t emitted_;       // fixed samples handed out
    // The look-ahead: the last LOOKAHEAD scaled samples and the gain each needs.
    double delayed_[LOOKAHEAD];
    double needed_[LOOKAHEAD];
    size_t held_;          // samples in the look-ahead
    size_t head_;          // ring position of the oldest
    double released_;      // the gain after the release
    double smoothed_[LOOKAHEAD];  // the last LOOKAHEAD released gains, averaged into the applied one
    double smoothedSum_;
    size_t smoothedAt_;
};
