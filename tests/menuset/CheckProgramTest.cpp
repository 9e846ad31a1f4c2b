// OrlentaCheck.exe run as a script runs it: its exit code, its output
// redirected into files (UTF-8), and the HTML report it writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommonServices.h"
#include "common/ChildProcess.h"
#include "common/QualityGreetings.h"
#include "common/TestUtil.h"
#include "common/MenuFolder.h"
#include "menuset/MenuTexts.h"
#include "playback/GreetingFileAnalysis.h"
#include "wave/GreetingVerdict.h"

namespace {

const DWORD RUN_TIMEOUT_MS = 60000;

struct CheckRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out;  // CR removed
    std::string err;
};

std::string WithoutCr(std::string text)
{
    std::string kept;
    for (char c : text)
        if (c != '\r')
            kept += c;
    return kept;
}

CheckRun RunCheck(const TempDir& work, const std::string& arguments)
{
    CheckRun run;
    std::string program = BuiltProgramPath("OrlentaCheck.exe");
    ChildProcess check(program.c_str(), "OrlentaCheck.exe " + arguments, work.File("out.txt"),
                       work.File("err.txt"));
    EXPECT_TRUE(check.Started()) << program << " error " << check.StartError();
    EXPECT_TRUE(check.Wait(RUN_TIMEOUT_MS, &run.exitCode)) << arguments;
    run.out = WithoutCr(ReadFileBytes(work.File("out.txt")));
    run.err = WithoutCr(ReadFileBytes(work.File("err.txt")));
    return run;
}

// One folder with an error, a warning, and one clean folder beside it.
class CheckProgram : public ::testing::Test {
protected:
    CheckProgram() : work_("check-program")
    {
        broken_ = work_.File("broken");
        clean_ = work_.File("clean");
        CreateDirectoryA(broken_.c_str(), nullptr);
        CreateDirectoryA(clean_.c_str(), nullptr);
        WriteFolder(broken_, {{"hello.wav", PlayableWav()},
                              {"main.ivr", GreetedIvr({{'2', "menu", "nothere"}})},
                              {"lost.ivr", GreetedIvr({})}});
        WriteFolder(clean_, {{"hello.wav", PlayableWav()},
                             {"main.ivr", GreetedIvr({{'1', "menu", "sales"}})},
                             {"sales.ivr", Ivr("", {{'-', "disconnect", ""}})}});
    }
    TempDir work_;
    std::string broken_;
    std::string clean_;
};

TEST_F(CheckProgram, ExitCodes)
{
    struct Row {
        std::string arguments;
        DWORD exitCode;
        bool errorStream;  // a message says why it could not check
    };
    const Row rows[] = {
        {clean_, 0, false},  // a warning only
        {broken_, 1, false},
        {broken_ + " --start lost --tsv", 1, false},
        {work_.File("nothere"), 2, true},
        {"", 2, true},
        {clean_ + " --bogus", 2, true},
        {clean_ + " " + broken_, 2, true},
        {clean_ + " --start", 2, true},
        {clean_ + " --start nosuch", 2, true},
        {clean_ + " --html " + work_.File("nothere\\report.html"), 2, true},
    };
    for (const Row& row : rows) {
        CheckRun run = RunCheck(work_, row.arguments);
        EXPECT_EQ(run.exitCode, row.exitCode) << row.arguments << "\n" << run.out << run.err;
        EXPECT_EQ(!run.err.empty(), row.errorStream) << row.arguments << "\n" << run.err;
    }
}

TEST_F(CheckProgram, PlainOutputIsRussianInUtf8WithASummary)
{
    CheckRun run = RunCheck(work_, broken_);
    EXPECT_EQ(run.out,
              "Предупреждение: lost.ivr: ни одна цепочка переходов из входного меню не ведёт в это меню "
              "[unreachable]\n"
              "Ошибка: main.ivr, клавиша 2: переход в меню «nothere», но файла nothere.ivr в папке нет "
              "[target-missing]\n"
              "Меню: 2, приветствий: 1, ошибок: 1, предупреждений: 1.\n");
}

TEST_F(CheckProgram, TsvIsTabSeparatedSortedWithoutHeader)
{
    CheckRun run = RunCheck(work_, broken_ + " --tsv");
    EXPECT_EQ(run.out,
              "warning\tlost.ivr\t\tunreachable\tни одна цепочка переходов из входного меню не ведёт в это меню\n"
              "error\tmain.ivr\t2\ttarget-missing\tпереход в меню «nothere», но файла nothere.ivr в папке нет\n");
    run = RunCheck(work_, clean_ + " --tsv");
    EXPECT_EQ(run.out, "warning\tsales.ivr\tgreeting\tgreeting-none\tу меню нет приветствия\n");
}

TEST_F(CheckProgram, HtmlReportHoldsTheMapThenTheFindings)
{
    std::string report = work_.File("report.html");
    CheckRun run = RunCheck(work_, broken_ + " --html " + report);
    EXPECT_EQ(run.exitCode, 1u) << run.err;
    std::string html = ReadFileBytes(report);
    EXPECT_EQ(html.substr(0, 15), "<!DOCTYPE html>");
    size_t map = html.find("Карта меню");
    size_t main = html.find("main.ivr (входное меню)");
    size_t lost = html.find("lost.ivr (не достигается из входного меню)");
    size_t findings = html.find("Замечания");
    EXPECT_NE(map, std::string::npos);
    EXPECT_LT(map, main);
    EXPECT_LT(main, lost);
    EXPECT_LT(lost, findings);
    EXPECT_NE(html.find("target-missing", findings), std::string::npos);
    // Nothing but the report is left beside it.
    for (const std::string& name : ListFiles(work_.Path()))
        EXPECT_TRUE(name == "broken" || name == "clean" || name == "report.html" || name == "out.txt" ||
                    name == "err.txt")
            << name;
}

// A quiet A-law greeting: a warning only (exit 0), its line with the measured
// level as the analysis in this process gives it.
TEST_F(CheckProgram, TsvOfAQuietGreeting)
{
    ASSERT_FALSE(QualityFolder().empty());
    std::string folder = work_.File("quiet");
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(QualityFile("quiet", "alaw").c_str(), (folder + "\\hello.wav").c_str(), FALSE));
    WriteFolder(folder, {{"main.ivr", GreetedIvr({})}});
    GreetingFigures figures = {};
    ASSERT_EQ(AnalyseGreetingFile((folder + "\\hello.wav").c_str(), &figures), 0u);
    const GreetingWarning& quiet = GREETING_WARNINGS[1];
    ASSERT_STREQ(quiet.code, "greeting-quiet");
    char text[1024] = {};
    FormatGreetingWarning(g_hInstance, quiet, figures, text, sizeof text);

    CheckRun run = RunCheck(work_, folder + " --tsv");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(run.out, "warning\tmain.ivr\tgreeting\tgreeting-quiet\t" + Utf8OfAnsi(text) + "\n");
    EXPECT_NE(run.out.find("greeting-quiet\tРечь слишком тихая: -"), std::string::npos) << run.out;
}

} // namespace
