// The check of a folder of menus: one table of small folders, each with the
// entry it must find and every finding it must give (severity, menu, item,
// code: the fields of the --tsv output but the text).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/CommonServices.h"
#include "common/QualityGreetings.h"
#include "common/TestUtil.h"
#include "menuset/CMenuReport.h"
#include "menuset/CMenuSet.h"
#include "common/MenuFolder.h"
#include "menuset/MenuTexts.h"
#include "playback/GreetingFileAnalysis.h"
#include "wave/GreetingVerdict.h"

namespace {

struct FolderCase {
    const char* name;
    std::vector<MenuFile> files;
    const char* start;  // the operator's entry, or null for the rules
    std::string entries;
    std::vector<std::string> findings;
};

const MenuFile HELLO = {"hello.wav", PlayableWav()};

const FolderCase CASES[] = {
    {"Clean",
     {HELLO, {"main.ivr", GreetedIvr({{'1', "menu", "sales"}, {'0', "dial", "100"}})}, {"sales.ivr", GreetedIvr({})}},
     nullptr, "main.ivr", {}},
    {"KeyFaults",
     {{"main.ivr", Ivr("", {{'1', "menu", ""}, {'2', "menu", "nothere"}, {'3', "dial", ""}, {'#', "menu", "nothere"}})}},
     nullptr, "main.ivr",
     {"warning main.ivr greeting greeting-none", "error main.ivr 1 target-empty", "error main.ivr 2 target-missing",
      "error main.ivr 3 dial-empty", "error main.ivr # target-missing", "warning main.ivr default default-none"}},
    {"GreetingMissingAndRefused",
     {{"stereo.wav", StereoWav()},
      {"main.ivr", Ivr("gone.wav", {{'1', "menu", "b"}, {'-', "disconnect", ""}})},
      {"b.ivr", Ivr("stereo.wav", {{'-', "disconnect", ""}})}},
     nullptr, "main.ivr",
     {"error b.ivr greeting greeting-format", "error main.ivr greeting greeting-missing"}},
    {"UnreachableFromMain",
     {HELLO, {"main.ivr", GreetedIvr({})}, {"lost.ivr", GreetedIvr({{'1', "menu", "main"}})}},
     nullptr, "main.ivr", {"warning lost.ivr  unreachable"}},
    {"EntryChosenByTheOperator",
     {HELLO, {"main.ivr", GreetedIvr({})}, {"lost.ivr", GreetedIvr({{'1', "menu", "main"}})}},
     "LOST", "lost.ivr", {}},
    {"CircleWithoutExit",
     {HELLO,
      {"main.ivr", Ivr("hello.wav", {{'-', "menu", "a"}})},
      {"a.ivr", Ivr("hello.wav", {{'-', "menu", "b"}})},
      {"b.ivr", Ivr("hello.wav", {{'-', "menu", "a"}, {'1', "menu", "a"}})}},
     nullptr, "main.ivr",
     {"warning a.ivr  no-exit", "warning b.ivr  no-exit", "warning main.ivr  no-exit"}},
    {"NamesMatchWithoutRegardToCase",
     {{"HELLO.wav", PlayableWav()},
      {"Main.IVR", Ivr("hello.WAV", {{'1', "menu", "sales"}, {'2', "menu", "SALES.ivr"}, {'-', "disconnect", ""}})},
      {"SALES.Ivr", Ivr("Hello.wav", {{'-', "disconnect", ""}})}},
     nullptr, "Main.IVR", {}},
    {"IvrInATarget",
     {HELLO, {"main.ivr", GreetedIvr({{'1', "menu", "sales.ivr"}, {'2', "menu", "sales.ivr.ivr"}})},
      {"sales.ivr", GreetedIvr({})}},
     nullptr, "main.ivr", {"error main.ivr 2 target-missing"}},
    {"UnreadableMenuIsAnExistingTargetWithAnExit",
     {HELLO, {"main.ivr", Ivr("hello.wav", {{'-', "menu", "broken"}})}, {"broken.ivr", "10\r\n\r\nx    nonsense\r\n"}},
     nullptr, "main.ivr", {"error broken.ivr  ivr-unreadable"}},
    {"WithoutMainEveryRootIsAnEntry",
     {HELLO,
      {"a.ivr", GreetedIvr({{'1', "menu", "b"}})},
      {"b.ivr", GreetedIvr({})},
      {"p.ivr", GreetedIvr({{'1', "menu", "q"}})},
      {"q.ivr", GreetedIvr({{'1', "menu", "p"}})},
      {"r.ivr", GreetedIvr({{'1', "menu", "s"}})},
      {"s.ivr", GreetedIvr({{'1', "menu", "t"}})},
      {"t.ivr", GreetedIvr({{'1', "menu", "s"}})}},
     nullptr, "a.ivr,p.ivr,q.ivr,r.ivr", {}},
    {"OtherFilesAndFoldersAreNoMenus",
     {HELLO, {"main.ivr", GreetedIvr({})}, {"notes.txt", "x"}, {"main.ivr.bak", "x"}, {"old.ivrx", "x"}},
     nullptr, "main.ivr", {}},
    {"EmptyFolder", {}, nullptr, "", {}},
};

class FolderCheck : public ::testing::TestWithParam<FolderCase> {};

std::string Tuple(const CMenuSet& set, const MenuFinding& finding)
{
    return std::string(SeverityName(SeverityOf(finding.code))) + " " + set.Menus()[finding.menu].name + " " +
           ItemName(finding.item) + " " + FindingCodeName(finding.code);
}

TEST_P(FolderCheck, FindsTheEntryAndEveryFindingOnce)
{
    const FolderCase& test = GetParam();
    TempDir dir(test.name);
    WriteFolder(dir.Path(), test.files);
    CreateDirectoryA(dir.File("sub.ivr").c_str(), nullptr);  // a folder is no menu

    CMenuSet set;
    DWORD error = 1;
    ASSERT_TRUE(set.Load(dir.Path(), &error)) << error;
    EXPECT_EQ(error, 0u);
    if (test.start) {
        ASSERT_TRUE(set.ChooseEntry(test.start));
    }
    std::string entries;
    for (int menu : set.Entries())
        entries += (entries.empty() ? "" : ",") + set.Menus()[menu].name;
    EXPECT_EQ(entries, test.entries);

    std::vector<std::string> found;
    for (const MenuFinding& finding : set.Findings()) {
        found.push_back(Tuple(set, finding));
        EXPECT_FALSE(finding.text.empty()) << found.back();
    }
    EXPECT_EQ(found, test.findings);
}

INSTANTIATE_TEST_SUITE_P(Cases, FolderCheck, ::testing::ValuesIn(CASES),
                         [](const ::testing::TestParamInfo<FolderCase>& info) { return info.param.name; });

TEST(FolderCheck, MissingFolderIsNotChecked)
{
    TempDir dir("menuset-missing");
    CMenuSet set;
    DWORD error = 0;
    EXPECT_FALSE(set.Load(dir.File("nothere"), &error));
    EXPECT_TRUE(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) << error;
    EXPECT_TRUE(set.Menus().empty());
}

// The map: entry first, each menu once depth first in key order, then the
// menus the entry does not reach; and who leads where.
TEST(FolderCheck, MapOrderAndWhoLeadsHere)
{
    TempDir dir("menuset-map");
    WriteFolder(dir.Path(), {HELLO,
                             {"main.ivr", GreetedIvr({{'1', "menu", "b"}, {'2', "menu", "a"}})},
                             {"a.ivr", GreetedIvr({{'1', "menu", "main"}})},
                             {"b.ivr", GreetedIvr({{'5', "menu", "c"}, {'6', "menu", "a"}})},
                             {"c.ivr", GreetedIvr({})},
                             {"z.ivr", GreetedIvr({})},
                             {"lost.ivr", GreetedIvr({{'1', "menu", "z"}})}});
    CMenuSet set;
    DWORD error = 0;
    ASSERT_TRUE(set.Load(dir.Path(), &error));
    std::string order;
    for (int menu : set.MapOrder())
        order += set.Menus()[menu].name + " ";
    EXPECT_EQ(order, "main.ivr b.ivr c.ivr a.ivr lost.ivr z.ivr ");

    std::string leading;
    for (int link : set.LinksTo(set.FindMenu("A")))
        leading += set.Menus()[set.Links()[link].from].name + ":" + ItemName(set.Links()[link].slot) + " ";
    EXPECT_EQ(leading, "b.ivr:6 main.ivr:2 ");
    EXPECT_EQ(set.GreetingCount(), 1);
}

// The quality warnings, in each encoding: a menu per greeting of the quality
// tests, each naming its own, and one more sharing the quiet one. Each menu
// with a faulty greeting is flagged once, the sound one not at all; a file
// several menus name is analysed once; the report's map gives every figures
// line.
class GreetingQuality : public ::testing::TestWithParam<const char*> {};

TEST_P(GreetingQuality, EachWarningOnceAndTheFiguresInTheMap)
{
    const char* encoding = GetParam();
    ASSERT_FALSE(QualityFolder().empty());
    TempDir dir((std::string("menuset-quality-") + encoding).c_str());
    std::vector<MenuFile> menus = {{"again.ivr", Ivr("quiet.wav", {{'-', "disconnect", ""}})}};
    std::vector<std::string> expected = {"warning again.ivr greeting greeting-quiet"};
    for (const QualityGreeting& greeting : QUALITY_GREETINGS) {
        std::string wav = std::string(greeting.name) + ".wav";
        ASSERT_TRUE(CopyFileA(QualityFile(greeting.name, encoding).c_str(), dir.File(wav.c_str()).c_str(), FALSE));
        menus.push_back({std::string(greeting.name) + ".ivr", Ivr(wav.c_str(), {{'-', "disconnect", ""}})});
        if (greeting.warning)
            expected.push_back(std::string("warning ") + greeting.name + ".ivr greeting " + greeting.warning);
    }
    std::sort(expected.begin(), expected.end());  // one finding a menu: by menu name
    WriteFolder(dir.Path(), menus);

    CMenuSet set;
    DWORD error = 0;
    ASSERT_TRUE(set.Load(dir.Path(), &error)) << error;
    std::vector<MenuFinding> findings = set.Findings();
    std::vector<std::string> found;
    for (const MenuFinding& finding : findings)
        found.push_back(Tuple(set, finding));
    EXPECT_EQ(found, expected);
    EXPECT_EQ(set.GreetingCount(), 6);
    EXPECT_EQ(set.GreetingFiguresOf(set.FindMenu("again")), set.GreetingFiguresOf(set.FindMenu("quiet")));

    // Decoded one after another with one decoder a format, each greeting
    // measures as the player's decoder opened for it alone gives it.
    for (const QualityGreeting& greeting : QUALITY_GREETINGS) {
        const GreetingFigures* figures = set.GreetingFiguresOf(set.FindMenu(greeting.name));
        GreetingFigures alone = {};
        ASSERT_EQ(AnalyseGreetingFile(QualityFile(greeting.name, encoding).c_str(), &alone), 0u);
        ASSERT_NE(figures, nullptr) << greeting.name;
        EXPECT_EQ(figures->samples, alone.samples) << greeting.name;
        EXPECT_EQ(figures->longTermLevelDb, alone.longTermLevelDb) << greeting.name;
        EXPECT_EQ(figures->activeLevelDb, alone.activeLevelDb) << greeting.name;
        EXPECT_EQ(figures->peakDb, alone.peakDb) << greeting.name;
        EXPECT_EQ(figures->clippedRuns, alone.clippedRuns) << greeting.name;
        EXPECT_EQ(figures->soundStart, alone.soundStart) << greeting.name;
        EXPECT_EQ(figures->soundEnd, alone.soundEnd) << greeting.name;
    }

    std::string html = CMenuReport(set).Html(findings);
    size_t findingsPart = html.find("<h2>Замечания</h2>");
    for (size_t menu = 0; menu < set.Menus().size(); ++menu) {
        const GreetingFigures* figures = set.GreetingFiguresOf(static_cast<int>(menu));
        ASSERT_NE(figures, nullptr) << set.Menus()[menu].name;
        char line[512] = {};
        std::string figuresLine = Utf8OfAnsi(FormatGreetingFigures(g_hInstance, *figures, line, sizeof line));
        EXPECT_LT(html.find("<p>" + figuresLine + "</p>"), findingsPart) << set.Menus()[menu].name << ": " << line;
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, GreetingQuality, ::testing::ValuesIn(QUALITY_ENCODINGS),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

} // namespace
