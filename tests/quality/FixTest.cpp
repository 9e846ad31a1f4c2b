#include <gtest/gtest.h>

#include <windows.h>
#include <mmreg.h>

#include <math.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "common/SignalMeasure.h"
#include "bytes/FileBytes.h"
#include "common/TestUtil.h"
#include "convert/CGreetingConverter.h"
#include "convert/CGreetingFix.h"
#include "playback/GreetingFileAnalysis.h"
#include "common/QualityGreetings.h"
#include "wave/CGreetingAnalysis.h"
#include "wave/GreetingVerdict.h"

namespace {

struct Fixed {
    GreetingFigures source;
    std::vector<short> input;
    std::vector<short> output;
    size_t keptStart;
    double gainDb;
};

// The greeting as the fix sees it in a conversion: analysed from its file,
// then its samples fed in pieces.
Fixed FixGreeting(const char* name, GreetingFixChoice choice = GreetingFixChoice())
{
    Fixed fixed = {};
    std::string path = QualityFile(name);
    EXPECT_EQ(AnalyseGreetingFile(path.c_str(), &fixed.source), 0u) << path;
    fixed.input = SoxPcmSamples(path);
    CGreetingFix fix(fixed.source, choice);
    for (size_t at = 0; at < fixed.input.size(); at += 1000)
        fix.Add(fixed.input.data() + at, fixed.input.size() - at < 1000 ? fixed.input.size() - at : 1000,
                &fixed.output);
    fix.Finish(&fixed.output);
    fixed.keptStart = fix.KeptStart();
    fixed.gainDb = fix.GainDb();
    return fixed;
}

std::vector<short> Part(const std::vector<short>& samples, size_t from, size_t to)
{
    return std::vector<short>(samples.begin() + from, samples.begin() + (to < samples.size() ? to : samples.size()));
}

} // namespace

// A quiet and a clipped greeting fixed: re-analysed, they earn no warning,
// their level is within 1 dB of the target, and the active part keeps its
// band energies within 1 dB once the level change is taken out.
TEST(GreetingFix, QuietAndClippedGreetingsPassTheAnalysisUncoloured)
{
    ASSERT_FALSE(QualityFolder().empty());
    for (const char* name : {"quiet", "clipped", "lead", "tail"}) {
        SCOPED_TRACE(name);
        Fixed fixed = FixGreeting(name);
        ASSERT_FALSE(fixed.output.empty());
        CGreetingAnalysis analysis;
        analysis.Add(fixed.output.data(), fixed.output.size());
        GreetingFigures after = analysis.Figures();
        printf("[ figure ] %s fixed: %+.1f dB; level %.2f -> %.2f dBov, peak %.2f -> %.2f dBFS, lead %.2f -> %.2f s,"
               " tail %.2f -> %.2f s\n",
               name, fixed.gainDb, fixed.source.activeLevelDb, after.activeLevelDb, fixed.source.peakDb, after.peakDb,
               fixed.source.leadSilenceSec, after.leadSilenceSec, fixed.source.tailSilenceSec, after.tailSilenceSec);
        EXPECT_TRUE(FindGreetingWarnings(after).empty());
        EXPECT_NEAR(after.activeLevelDb, GREETING_TARGET_LEVEL_DB, 1.0);
        EXPECT_LE(after.peakDb, GREETING_PEAK_CEILING_DB);
        EXPECT_LE(after.leadSilenceSec, GREETING_LEAD_KEPT_SEC);
        EXPECT_LE(after.tailSilenceSec, GREETING_TAIL_KEPT_SEC);

        std::vector<short> before = Part(fixed.input, fixed.source.soundStart, fixed.source.soundEnd);
        std::vector<short> fixedPart = Part(fixed.output, fixed.source.soundStart - fixed.keptStart,
                                            fixed.source.soundEnd - fixed.keptStart);
        double gain = BandEnergyDb(fixedPart, 0, 4000) - BandEnergyDb(before, 0, 4000);
        EXPECT_NEAR(gain, fixed.gainDb, 1.0);
        for (double low = 0; low < 4000; low += 500) {
            double diff = BandEnergyDb(fixedPart, low, low + 500) - BandEnergyDb(before, low, low + 500) - gain;
            printf("[ figure ] %s band %.0f-%.0f Hz: %+.3f dB beside the level change\n", name, low, low + 500, diff);
            EXPECT_NEAR(diff, 0.0, 1.0) << "band " << low;
        }
    }
}

// Each choice turned off leaves its part alone: without the level the kept
// samples are the source's own (the fades aside), without the trim every
// sample stays.
TEST(GreetingFix, ChoicesTurnedOffLeaveTheirPartAlone)
{
    ASSERT_FALSE(QualityFolder().empty());
    GreetingFixChoice levelOnly, trimOnly;
    levelOnly.trim = false;
    trimOnly.level = false;

    Fixed level = FixGreeting("lead", levelOnly);
    EXPECT_EQ(level.output.size(), level.input.size());
    EXPECT_EQ(level.keptStart, 0u);
    EXPECT_NE(level.gainDb, 0.0);

    Fixed trim = FixGreeting("lead", trimOnly);
    EXPECT_EQ(trim.gainDb, 0.0);
    ASSERT_GT(trim.output.size(), 200u);
    EXPECT_GT(trim.keptStart, 0u);
    std::vector<short> kept = Part(trim.input, trim.keptStart + 80, trim.keptStart + trim.output.size() - 80);
    EXPECT_TRUE(Part(trim.output, 80, trim.output.size() - 80) == kept);
    EXPECT_EQ(trim.output.front(), 0);  // faded in from silence
}

// The fix inside the conversion, as the map's "Улучшить ..." and the recorder
// use it: a quiet and a clipped greeting, from each of the four formats into
// the same format, re-analysed from the written file. GSM 6.10 moves peaks
// after the limiter has set them, so the file's own figures are what counts.
TEST(GreetingFix, ConvertedGreetingsOfEachFormatPassTheAnalysis)
{
    ASSERT_FALSE(QualityFolder().empty());
    const WORD tags[] = {WAVE_FORMAT_PCM, WAVE_FORMAT_ALAW, WAVE_FORMAT_MULAW, WAVE_FORMAT_GSM610};
    TempDir dir("quality-convert");
    for (const char* name : {"quiet", "clipped", "lead", "tail"}) {
        for (int format = 0; format < 4; ++format) {
            std::string source = QualityFile(name, QUALITY_ENCODINGS[format]);
            std::string target = dir.File((std::string(name) + "_" + QUALITY_ENCODINGS[format] + ".wav").c_str());
            SCOPED_TRACE(target);
            CGreetingConverter converter;
            converter.SetFix(GreetingFixChoice());
            ASSERT_EQ(converter.Convert(source.c_str(), target.c_str(), tags[format], nullptr, nullptr), 0u);
            GreetingFigures before = {}, after = {};
            ASSERT_EQ(AnalyseGreetingFile(source.c_str(), &before), 0u);
            ASSERT_EQ(AnalyseGreetingFile(target.c_str(), &after), 0u);
            printf("[ figure ] %s %s: level %.2f -> %.2f dBov, peak %.2f -> %.2f dBFS, lead %.2f -> %.2f s,"
                   " tail %.2f -> %.2f s\n",
                   name, QUALITY_ENCODINGS[format], before.activeLevelDb, after.activeLevelDb, before.peakDb,
                   after.peakDb, before.leadSilenceSec, after.leadSilenceSec, before.tailSilenceSec,
                   after.tailSilenceSec);
            EXPECT_TRUE(FindGreetingWarnings(after).empty());
            EXPECT_NEAR(after.activeLevelDb, GREETING_TARGET_LEVEL_DB, 1.0);
            EXPECT_EQ(after.clippedRuns, 0);
        }
    }
    EXPECT_EQ(ListFiles(dir.Path()).size(), 16u) << "no temporary is left";
}
