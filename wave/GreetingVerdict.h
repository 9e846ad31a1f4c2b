// The greeting's quality verdict: the one table of the warnings a greeting's
// figures can earn, with their codes for the check's report, their limits and
// the string-table texts that tell the operator the value and what to do.
#pragma once
#include <windows.h>

#include <vector>

#include "wave/CGreetingAnalysis.h"

// Targets of the fix, which the warnings' texts name.
const double GREETING_TARGET_LEVEL_DB = -22.0;  // active speech level, dBov
const double GREETING_PEAK_CEILING_DB = -1.0;   // dBFS
const double GREETING_LEAD_KEPT_SEC = 0.2;
const double GREETING_TAIL_KEPT_SEC = 0.5;

// How the check program reports every one of these warnings.
const char GREETING_WARNING_SEVERITY[] = "warning";
const char GREETING_WARNING_ITEM[] = "greeting";

struct GreetingWarning {
    const char* code;                          // "greeting-quiet", ...
    double (*measure)(const GreetingFigures&);  // the figure judged
    bool above;                                // flagged above the limit (else below it)
    double limit;
    double target;                             // what the fix brings the figure to
    UINT textId;                               // format: measured value, limit, target
};

extern const GreetingWarning GREETING_WARNINGS[5];

// The warnings the figures earn, in the table's order.
std::vector<const GreetingWarning*> FindGreetingWarnings(const GreetingFigures& figures);

// The text of one warning for these figures into out (size bytes, always
// terminated); answers out.
char* FormatGreetingWarning(HINSTANCE instance, const GreetingWarning& warning, const GreetingFigures& figures,
                            char* out, int size);

// One line of the figures: level, peak, lead-in, tail and duration.
char* FormatGreetingFigures(HINSTANCE instance, const GreetingFigures& figures, char* out, int size);
