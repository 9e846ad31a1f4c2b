// The call's rules without sound: one table of small folders, each with the
// events a caller and the operator make and the steps the call must answer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "call/CCallFlow.h"
#include "call/CallFolder.h"
#include "common/TestUtil.h"
#include "menuset/CMenuSet.h"

namespace {

struct FlowCase {
    const char* name;
    std::vector<MenuFile> files;
    // Keys, and g (greeting ended), t (wait ended), a (answered), b (busy), h (hang up).
    const char* events;
    const char* steps;   // every step but the log lines, "; " between
    const char* logHas;  // UTF-8 text some log line holds, or null
};

const char* EndName(CallEnd end)
{
    static const char* const NAMES[] = {"none", "connected", "disconnected", "hung-up", "target-empty",
                                        "target-missing", "unreadable", "dial-empty", "silent-loop"};
    return NAMES[end];
}

std::string FileName(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

std::string Describe(const CMenuSet& set, const CallStep& step)
{
    switch (step.kind) {
    case CALL_ENTER_MENU: return "enter " + set.Menus()[step.menu].name;
    case CALL_PLAY_GREETING: return "play " + FileName(step.text);
    case CALL_STOP_GREETING: return "stop";
    case CALL_START_WAIT: return "wait " + std::to_string(step.seconds);
    case CALL_DIAL: return "dial " + step.text;
    case CALL_END: return std::string("end ") + EndName(step.end);
    case CALL_LOG: break;
    }
    return "";
}

CallSteps Feed(CCallFlow& flow, char event)
{
    switch (event) {
    case 'g': return flow.GreetingEnded();
    case 't': return flow.WaitEnded();
    case 'a': return flow.Answered();
    case 'b': return flow.Busy();
    case 'h': return flow.HangUp();
    default: return flow.Key(event);
    }
}

const MenuFile HELLO = {"hello.wav", PlayableWav()};
const MenuFile SALES = {"sales.ivr", IvrWaiting(5, "hello.wav", {{'-', "disconnect", ""}})};

const FlowCase CASES[] = {
    {"KeyDuringTheGreetingStopsItAndEntersTheMenu",
     {HELLO, SALES, {"main.ivr", IvrWaiting(5, "hello.wav", {{'1', "menu", "sales"}})}},
     "1", "enter main.ivr; play hello.wav; stop; enter sales.ivr; play hello.wav", "Нажата клавиша 1"},
    {"TimeoutRunsTheDefaultDialAndTheOperatorAnswers",
     {HELLO, {"main.ivr", IvrWaiting(3, "hello.wav", {{'-', "dial", "100"}})}},
     "gta", "enter main.ivr; play hello.wav; wait 3; dial 100; end connected", "не нажата за 3 с"},
    {"KeyInTheWaitDisconnects",
     {HELLO, {"main.ivr", IvrWaiting(5, "hello.wav", {{'#', "disconnect", ""}})}},
     "g#", "enter main.ivr; play hello.wav; wait 5; end disconnected", nullptr},
    {"KeyWithoutActionRunsTheDefault",
     {HELLO, {"b.ivr", IvrWaiting(2, "", {{'-', "disconnect", ""}})},
      {"main.ivr", IvrWaiting(5, "hello.wav", {{'1', "menu", "sales"}, {'-', "menu", "b"}})}},
     "g2t", "enter main.ivr; play hello.wav; wait 5; enter b.ivr; wait 2; end disconnected",
     "клавиша 2: действие «Нет», выполняется «По умолчанию»"},
    {"DefaultWithoutActionWaitsAgain",
     {HELLO, {"main.ivr", IvrWaiting(4, "hello.wav", {})}},
     "gtth", "enter main.ivr; play hello.wav; wait 4; wait 4; wait 4; end hung-up", "абонент снова ждёт в тишине"},
    {"MissingTargetEndsTheCall",
     {HELLO, {"main.ivr", IvrWaiting(5, "hello.wav", {{'2', "menu", "nothere"}})}},
     "2", "enter main.ivr; play hello.wav; stop; end target-missing", "файла nothere.ivr в папке нет"},
    {"UnreadableTargetEndsTheCall",
     {HELLO, {"broken.ivr", "10\r\n\r\nx    nonsense\r\n"},
      {"main.ivr", IvrWaiting(5, "hello.wav", {{'3', "menu", "broken"}})}},
     "g3", "enter main.ivr; play hello.wav; wait 5; end unreadable", "меню broken.ivr не читается"},
    {"BusyAfterADialRunsBusyOfTheSameMenu",
     {HELLO, SALES, {"main.ivr", IvrWaiting(5, "hello.wav", {{'0', "dial", "200"}, {'b', "menu", "sales"}})}},
     "g05b", "enter main.ivr; play hello.wav; wait 5; dial 200; enter sales.ivr; play hello.wav",
     "Оператор занят"},
    {"BusyWithoutActionRunsTheDefault",
     {HELLO, {"main.ivr", IvrWaiting(5, "hello.wav", {{'0', "dial", "200"}, {'-', "disconnect", ""}})}},
     "g0b", "enter main.ivr; play hello.wav; wait 5; dial 200; end disconnected", nullptr},
    {"MenuThatLeadsToItselfGreetsAgain",
     {HELLO, {"main.ivr", IvrWaiting(5, "hello.wav", {{'1', "menu", "main"}})}},
     "1g1", "enter main.ivr; play hello.wav; stop; enter main.ivr; play hello.wav; wait 5; enter main.ivr; "
            "play hello.wav", nullptr},
    {"SilentCircleEndsTheCall",
     {{"a.ivr", IvrWaiting(0, "", {{'-', "menu", "b"}})}, {"b.ivr", IvrWaiting(0, "", {{'-', "menu", "a"}})}},
     "tt", "enter a.ivr; wait 0; enter b.ivr; wait 0; end silent-loop", "без конца в тишине"},
    {"MissingGreetingGoesStraightToTheWait",
     {{"main.ivr", IvrWaiting(5, "gone.wav", {{'-', "disconnect", ""}})}},
     "h", "enter main.ivr; wait 5; end hung-up", "Приветствие gone.wav не найдено"},
    {"EmptyNumberAndEmptyTargetEndTheCall",
     {HELLO, {"main.ivr", IvrWaiting(5, "hello.wav", {{'4', "dial", ""}, {'-', "menu", ""}})}},
     "4", "enter main.ivr; play hello.wav; stop; end dial-empty", "без номера"},
    {"HangUpDuringTheGreetingStopsIt",
     {HELLO, {"main.ivr", IvrWaiting(5, "hello.wav", {})}},
     "h1gt", "enter main.ivr; play hello.wav; stop; end hung-up", "положил трубку"},
};

class CallFlow : public ::testing::TestWithParam<FlowCase> {};

TEST_P(CallFlow, AnswersTheSteps)
{
    const FlowCase& c = GetParam();
    TempDir dir("callflow");
    ASSERT_NO_FATAL_FAILURE(WriteFolder(dir.Path(), c.files));
    CMenuSet set;
    DWORD error = 0;
    ASSERT_TRUE(set.Load(dir.Path(), &error)) << error;
    int start = set.FindMenu(set.FindMenu("main") >= 0 ? "main" : "a");
    ASSERT_GE(start, 0);

    CCallFlow flow(set);
    std::string steps;
    std::string log;
    auto take = [&](const CallSteps& answer) {
        for (const CallStep& step : answer) {
            if (step.kind == CALL_LOG)
                log += step.text + "\n";
            else
                steps += (steps.empty() ? "" : "; ") + Describe(set, step);
        }
    };
    take(flow.Start(start));
    for (const char* event = c.events; *event; ++event)
        take(Feed(flow, *event));
    EXPECT_EQ(steps, c.steps);
    if (c.logHas) {
        EXPECT_NE(log.find(Ansi(c.logHas)), std::string::npos) << Utf8(log);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, CallFlow, ::testing::ValuesIn(CASES),
                         [](const ::testing::TestParamInfo<FlowCase>& info) { return info.param.name; });

} // namespace
