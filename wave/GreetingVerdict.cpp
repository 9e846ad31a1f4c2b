#include "wave/GreetingVerdict.h"

#include "app/CommonServices.h"
#include "res/resource.h"

namespace {

double ClippedRuns(const GreetingFigures& f) { return f.clippedRuns; }
double ActiveLevel(const GreetingFigures& f) { return f.activeLevelDb; }
double LeadSilence(const GreetingFigures& f) { return f.leadSilenceSec; }
double TailSilence(const GreetingFigures& f) { return f.tailSilenceSec; }

bool Earns(const GreetingWarning& warning, const GreetingFigures& figures)
{
    double value = warning.measure(figures);
    return warning.above ? value > warning.limit : value < warning.limit;
}

} // namespace

const GreetingWarning GREETING_WARNINGS[5] = {
    {"greeting-clipped", ClippedRuns, true, 0, GREETING_PEAK_CEILING_DB, IDS_GREETING_CLIPPED},
    {"greeting-quiet", ActiveLevel, false, -30.0, GREETING_TARGET_LEVEL_DB, IDS_GREETING_QUIET},
    {"greeting-loud", ActiveLevel, true, -12.0, GREETING_TARGET_LEVEL_DB, IDS_GREETING_LOUD},
    {"greeting-lead-silence", LeadSilence, true, 1.0, GREETING_LEAD_KEPT_SEC, IDS_GREETING_LEAD_SILENCE},
    {"greeting-tail-silence", TailSilence, true, 2.0, GREETING_TAIL_KEPT_SEC, IDS_GREETING_TAIL_SILENCE},
};

std::vector<const GreetingWarning*> FindGreetingWarnings(const GreetingFigures& figures)
{
    std::vector<const GreetingWarning*> found;
    for (const GreetingWarning& warning : GREETING_WARNINGS)
        if (Earns(warning, figures))
            found.push_back(&warning);
    return found;
}

char* FormatGreetingWarning(HINSTANCE instance, const GreetingWarning& warning, const GreetingFigures& figures,
                            char* out, int size)
{
    return FormatStringId(instance, out, size, warning.textId, warning.measure(figures), warning.limit,
                          warning.target);
}

char* FormatGreetingFigures(HINSTANCE instance, const GreetingFigures& figures, char* out, int size)
{
    return FormatStringId(instance, out, size, IDS_GREETING_FIGURES, figures.activeLevelDb, figures.peakDb,
                          figures.leadSilenceSec, figures.tailSilenceSec, figures.durationSec);
}
