#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/ShellScript.h"
#include "common/TestUtil.h"
#include "playback/CVoiceFile.h"
#include "playback/GreetingFileAnalysis.h"
#include "common/QualityGreetings.h"
#include "wave/CGreetingAnalysis.h"
#include "wave/GreetingVerdict.h"

namespace {

const double PI = 3.14159265358979323846;
const size_t RATE = 8000;

GreetingFigures AnalyseInPieces(const std::vector<short>& samples, size_t piece, int fullScale = 32767)
{
    CGreetingAnalysis analysis(fullScale);
    for (size_t at = 0; at < samples.size(); at += piece)
        analysis.Add(samples.data() + at, samples.size() - at < piece ? samples.size() - at : piece);
    return analysis.Figures();
}

GreetingFigures AnalyseFile(const std::string& path)
{
    GreetingFigures figures = {};
    EXPECT_EQ(AnalyseGreetingFile(path.c_str(), &figures), 0u) << path;
    return figures;
}

// sox's "stats" of each file: name -> field -> value.
std::map<std::string, std::map<std::string, double>> SoxStats(const std::vector<std::string>& files)
{
    std::string script;
    for (size_t i = 0; i < files.size(); ++i)
        script += "echo '== " + std::to_string(i) + "'\nsox '" + UnixPath(files[i]) + "' -n stats\n";
    std::string output;
    EXPECT_TRUE(RunShellScript(QualityFolder(), script, &output)) << output;
    std::map<std::string, std::map<std::string, double>> stats;
    size_t index = 0;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, 3, "== ") == 0) {
            index = (size_t)atoi(line.substr(3).c_str());
            continue;
        }
        for (const char* field : {"DC offset", "Pk lev dB", "RMS lev dB"})
            if (line.compare(0, strlen(field), field) == 0)
                stats[files[index % files.size()]][field] = atof(line.substr(strlen(field)).c_str());
    }
    return stats;
}

} // namespace

// Peak, long-term RMS and DC offset of files decoded by the player's decoder
// against sox's own statistics of the same files.
TEST(GreetingAnalysis, AgreesWithSoxStats)
{
    ASSERT_FALSE(QualityFolder().empty());
    std::vector<std::string> files = {FixturePath("pcm_tone_2500ms.wav"), QualityFile("dc"), QualityFile("noise"),
                                      QualityFile("sound"), QualityFile("clipped")};
    auto stats = SoxStats(files);
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        ASSERT_EQ(stats[f].size(), 3u) << "sox printed no stats";
        GreetingFigures figures = AnalyseFile(f);
        printf("[ figure ] %s: peak %.3f (sox %.2f) dBFS, RMS %.3f (sox %.2f) dB, DC %.6f (sox %.6f)\n", f.c_str(),
               figures.peakDb, stats[f]["Pk lev dB"], figures.longTermLevelDb, stats[f]["RMS lev dB"],
               figures.dcOffset, stats[f]["DC offset"]);
        EXPECT_NEAR(figures.peakDb, stats[f]["Pk lev dB"], 0.006);
        EXPECT_NEAR(figures.longTermLevelDb, stats[f]["RMS lev dB"], 0.006);
        EXPECT_NEAR(figures.dcOffset, stats[f]["DC offset"], 1e-6);
    }
}

// Tone bursts of 2 s with 2 s of digital silence between them: active while
// they sound (and for the hangover after each), so the active level is the
// bursts' own RMS level; the silence around them is the lead-in and the tail.
TEST(GreetingAnalysis, ActiveLevelOfToneBurstsIsTheirOwnLevel)
{
    struct Row {
        double hz, amplitude;
        int bursts;
        double lead, tail;  // seconds of silence before the first and after the last
    } rows[] = {
        {1000, 0.5, 3, 0, 0}, {440, 0.05, 2, 0, 0}, {2500, 0.01, 4, 0, 0}, {300, 0.2, 3, 1.5, 0}, {300, 0.2, 3, 0.5, 2.5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.hz);
        std::vector<short> samples((size_t)(row.lead * RATE), 0);
        double burstSquares = 0;
        size_t burstSamples = 0;
        for (int b = 0; b < row.bursts; ++b) {
            if (b > 0)
                samples.insert(samples.end(), 2 * RATE, 0);
            for (size_t i = 0; i < 2 * RATE; ++i, ++burstSamples) {
                short x = (short)lround(32767 * row.amplitude * sin(2 * PI * row.hz * i / RATE));
                burstSquares += (double)x * x;
                samples.push_back(x);
            }
        }
        samples.insert(samples.end(), (size_t)(row.tail * RATE), 0);
        double own = 10 * log10(burstSquares / burstSamples / (32768.0 * 32768.0));

        GreetingFigures figures = AnalyseInPieces(samples, 317);
        printf("[ figure ] %.0f Hz bursts at %.2f dBov: active level %.3f dBov, activity %.3f\n", row.hz, own,
               figures.activeLevelDb, figures.activity);
        // A silence after the last burst adds one more hangover to the activity.
        if (row.tail == 0) {
            EXPECT_NEAR(figures.activeLevelDb, own, 0.5);
        }
        EXPECT_NEAR(figures.leadSilenceSec, row.lead, 1e-9);
        EXPECT_NEAR(figures.tailSilenceSec, row.tail, 1e-9);
        EXPECT_NEAR(figures.durationSec, samples.size() / 8000.0, 1e-9);
        EXPECT_NEAR(figures.peakDb, 20 * log10(lround(32767 * row.amplitude) / 32768.0), 0.01);
        EXPECT_EQ(figures.clippedRuns, 0);
        // Pieces of any size give the same figures as the whole at once.
        GreetingFigures whole = AnalyseInPieces(samples, samples.size());
        EXPECT_EQ(whole.activeLevelDb, figures.activeLevelDb);
        EXPECT_EQ(whole.soundEnd, figures.soundEnd);
    }
}

TEST(GreetingAnalysis, CountsRunsOfThreeOrMoreSamplesAtNinetyNinePercent)
{
    struct Row {
        std::vector<short> samples;
        int fullScale, runs;
    } rows[] = {
        {{0, 32440, 32440, 32440, 0}, 32767, 1},
        {{0, 32440, 32440, 0, 32440, 32440}, 32767, 0},
        {{32439, 32439, 32439, 32439}, 32767, 0},
        {{-32768, -32768, -32768, -32768, -32768, 0, 32767, 32767, -32767}, 32767, 2},
        {{31934, 31934, -31934, 0}, 32256, 1},  // A-law's largest magnitude is 32256
        {{31933, 31933, 31933, 0}, 32256, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.samples));
        EXPECT_EQ(AnalyseInPieces(row.samples, 2, row.fullScale).clippedRuns, row.runs);
    }
}

// Each greeting earns exactly its own warning, the sound one none, in each of
// the four formats, with the text of its measured value.
TEST(GreetingVerdict, EachGreetingEarnsItsWarningInEachFormat)
{
    ASSERT_FALSE(QualityFolder().empty());
    for (const char* encoding : QUALITY_ENCODINGS) {
        for (const QualityGreeting& greeting : QUALITY_GREETINGS) {
            SCOPED_TRACE(std::string(greeting.name) + " " + encoding);
            GreetingFigures f = AnalyseFile(QualityFile(greeting.name, encoding));
            std::string codes;
            for (const GreetingWarning* warning : FindGreetingWarnings(f))
                codes += std::string(codes.empty() ? "" : " ") + warning->code;
            printf("[ figure ] %-7s %-4s level %6.1f dBov, peak %5.1f dBFS, %d clipped, lead %.2f s, tail %.2f s: %s\n",
                   greeting.name, encoding, f.activeLevelDb, f.peakDb, f.clippedRuns, f.leadSilenceSec,
                   f.tailSilenceSec, codes.c_str());
            EXPECT_EQ(codes, greeting.warning ? greeting.warning : "");
        }
    }
}

TEST(GreetingVerdict, TextGivesTheValueTheLimitAndTheTarget)
{
    GreetingFigures f = {};
    f.activeLevelDb = -35.04;
    std::vector<const GreetingWarning*> found = FindGreetingWarnings(f);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_STREQ(found[0]->code, "greeting-quiet");
    char text[1024];
    FormatGreetingWarning(GetModuleHandleA(nullptr), *found[0], f, text, sizeof text);
    const std::string start = Ansi("Речь слишком тихая: -35.0 дБ, а нужно не тише -30.0 дБ.");
    EXPECT_EQ(std::string(text).substr(0, start.size()), start) << Utf8(text);
    EXPECT_NE(std::string(text).find(Ansi("до -22.0 дБ")), std::string::npos) << Utf8(text);
}

TEST(GreetingAnalysis, RefusesWhatThePlayerRefuses)
{
    GreetingFigures figures = {};
    EXPECT_EQ(AnalyseGreetingFile(FixturePath("no_such_greeting.wav").c_str(), &figures), VOICE_ERROR_MISSING);
    EXPECT_EQ(AnalyseGreetingFile(FixturePath("reject_pcm_stereo_8000.wav").c_str(), &figures), VOICE_ERROR_FORMAT);
}
