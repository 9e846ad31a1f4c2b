// The call through its real window, heard on the captured sound device: a key
// typed during a greeting cuts it where the key came, the next greeting
// follows exactly, a timeout takes the default path, and each key sounds its
// own DTMF pair (checked against the ITU-T Q.23 frequencies, measured with
// Goertzel's filter).
#include <gtest/gtest.h>

#include <math.h>

#include <string>
#include <vector>

#include "app/CommonServices.h"
#include "bytes/WavBytes.h"
#include "call/CCallDialog.h"
#include "call/CallFolder.h"
#include "common/DialogRunner.h"
#include "common/SoundCapture.h"
#include "common/TestUtil.h"
#include "menuset/CMenuSet.h"
#include "res/resource.h"

namespace {

const size_t PRIMING_SAMPLES = 4096;      // 512 ms of silence at each opening
const DWORD DEFAULT_VOLUME16 = 100 * 256;  // the engine's initial level
const size_t CUT_SAMPLES = 480;            // 60 ms
const DWORD CALL_TIMEOUT_MS = 30000;
const double PI = 3.14159265358979323846;

// ITU-T Q.23: the rows and columns of the keypad.
const double ROWS[] = {697, 770, 852, 941};
const double COLUMNS[] = {1209, 1336, 1477, 1633};

Samples Sine(double hz, size_t count, double amplitude)
{
    Samples samples(count);
    for (size_t i = 0; i < count; ++i)
        samples[i] = (short)lround(amplitude * sin(2 * PI * hz * i / 8000.0));
    return samples;
}

std::string PcmWav(const Samples& samples) { return Wav(PcmFmt(), Chunk("data", ToBytes(samples))); }

// The power of one frequency in the Hann-windowed samples, in dB.
double GoertzelDb(const Samples& samples, double hz)
{
    double coefficient = 2 * cos(2 * PI * hz / 8000.0);
    double s1 = 0, s2 = 0;
    size_t n = samples.size();
    for (size_t i = 0; i < n; ++i) {
        double window = 0.5 - 0.5 * cos(2 * PI * i / (n - 1));
        double s0 = samples[i] * window + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return 10 * log10(s1 * s1 + s2 * s2 - coefficient * s1 * s2 + 1e-9);
}

// The strongest frequency within 3% of a nominal one, in 0.5 Hz steps.
double PeakNear(const Samples& samples, double nominal)
{
    double best = nominal;
    double bestDb = -1e9;
    for (double hz = nominal * 0.97; hz <= nominal * 1.03; hz += 0.5) {
        double db = GoertzelDb(samples, hz);
        if (db > bestDb) {
            bestDb = db;
            best = hz;
        }
    }
    return best;
}

// The key's row and column tones are there, each within 1.5% of its nominal
// frequency, and no other row or column tone comes within 20 dB of them.
void ExpectDtmfPair(const Samples& tone, int row, int column)
{
    double rowHz = PeakNear(tone, ROWS[row]);
    double columnHz = PeakNear(tone, COLUMNS[column]);
    EXPECT_NEAR(rowHz, ROWS[row], ROWS[row] * 0.015);
    EXPECT_NEAR(columnHz, COLUMNS[column], COLUMNS[column] * 0.015);
    double weaker = std::min(GoertzelDb(tone, rowHz), GoertzelDb(tone, columnHz));
    for (int i = 0; i < 4; ++i) {
        if (i != row) {
            EXPECT_LT(GoertzelDb(tone, ROWS[i]), weaker - 20) << ROWS[i] << " Hz";
        }
        if (i != column) {
            EXPECT_LT(GoertzelDb(tone, COLUMNS[i]), weaker - 20) << COLUMNS[i] << " Hz";
        }
    }
}

// The sound of an opening after its priming, as far as want reaches.
Samples AfterPriming(const Samples& capture, size_t count)
{
    if (capture.size() <= PRIMING_SAMPLES)
        return Samples();
    size_t end = std::min(capture.size(), PRIMING_SAMPLES + count);
    return Samples(capture.begin() + PRIMING_SAMPLES, capture.begin() + end);
}

class CallDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_CAPTURE();
        ClearCaptures();
        first = Sine(500, 3 * 8000, 12000);   // 3 s
        second = Sine(300, 8000, 9000);       // 1 s
        ASSERT_NO_FATAL_FAILURE(WriteFolder(dir.Path(), {
            {"first.wav", PcmWav(first)},
            {"second.wav", PcmWav(second)},
            {"main.ivr", IvrWaiting(30, "first.wav", {{'5', "menu", "next"}})},
            {"next.ivr", IvrWaiting(30, "second.wav", {{'-', "disconnect", ""}})},
            {"short.ivr", IvrWaiting(1, "second.wav", {{'-', "menu", "done"}})},
            {"done.ivr", IvrWaiting(30, "", {})},
        }));
        DWORD error = 0;
        ASSERT_TRUE(set.Load(dir.Path(), &error)) << error;
    }

    void TearDown() override
    {
        if (!ui.Running())
            return;
        ui.Click(IDCANCEL);  // hangs up; the window goes once the sound has stopped
        EXPECT_TRUE(ui.WaitEnded(CALL_TIMEOUT_MS));
    }

    void StartCall(const char* menu)
    {
        dialog.reset(new CCallDialog(g_hInstance, nullptr, set, set.FindMenu(menu)));
        ASSERT_TRUE(ui.Start(dialog.get()));
    }

    bool WaitForText(int id, const char* utf8)
    {
        return WaitFor([&] { return ui.Text(id) == Ansi(utf8); }, CALL_TIMEOUT_MS);
    }

    std::string Log() { return Utf8(dialog->LogText()); }

    TempDir dir{"call"};
    CMenuSet set;
    Samples first;
    Samples second;
    DialogRunner ui;
    std::unique_ptr<CCallDialog> dialog;
};

TEST_F(CallDialog, KeyDuringTheGreetingCutsItAndTheNextGreetingFollows)
{
    ASSERT_NO_FATAL_FAILURE(StartCall("main"));
    EXPECT_EQ(ui.Text(IDC_CALL_MENU), Ansi("Меню: main.ivr"));
    // Half a second of the greeting has reached the device.
    size_t before = 0;
    ASSERT_TRUE(WaitFor([&] {
        std::vector<Samples> captures = ReadCaptures();
        before = captures.empty() ? 0 : captures[0].size();
        return before >= PRIMING_SAMPLES + 4000;
    }, CALL_TIMEOUT_MS));
    // Typed in the log, which would otherwise take it for a search.
    PostMessageA(ui.Item(IDC_CALL_LOG), WM_CHAR, '5', 1);
    ASSERT_TRUE(WaitForText(IDC_CALL_MENU, "Меню: next.ivr")) << Log();
    ASSERT_TRUE(WaitForText(IDC_CALL_STATE, "Ожидание клавиши")) << Log();

    std::vector<Samples> captures = ReadCaptures();
    ASSERT_EQ(captures.size(), 3u) << "the greeting, the tone, the next greeting";
    const Samples& cut = captures[0];
    Samples wantFirst = AtVolume(first, DEFAULT_VOLUME16);
    size_t heard = 0;
    while (PRIMING_SAMPLES + heard < cut.size() && heard < wantFirst.size() &&
           cut[PRIMING_SAMPLES + heard] == wantFirst[heard])
        ++heard;
    EXPECT_TRUE(AllZeroFrom(cut, PRIMING_SAMPLES + heard)) << "after " << heard << " samples";
    EXPECT_LT(heard, wantFirst.size()) << "the greeting was not cut";
    EXPECT_LE(PRIMING_SAMPLES + heard, before + CUT_SAMPLES) << "sound went on after the key";

    ExpectDtmfPair(AfterPriming(captures[1], 800), 1, 1);

    const Samples& next = captures[2];
    ASSERT_GE(next.size(), PRIMING_SAMPLES + second.size());
    EXPECT_TRUE(AllZeroFrom(Samples(next.begin(), next.begin() + PRIMING_SAMPLES), 0)) << "priming is not silent";
    EXPECT_EQ(FirstDifference(next, PRIMING_SAMPLES, AtVolume(second, DEFAULT_VOLUME16)), "");
    EXPECT_TRUE(AllZeroFrom(next, PRIMING_SAMPLES + second.size()));
    EXPECT_NE(Log().find("Нажата клавиша 5"), std::string::npos) << Log();
    EXPECT_NE(Log().find("клавиша 5: переход в меню next.ivr"), std::string::npos) << Log();
}

TEST_F(CallDialog, TimeoutTakesTheDefaultPath)
{
    ASSERT_NO_FATAL_FAILURE(StartCall("short"));
    ASSERT_TRUE(WaitForText(IDC_CALL_MENU, "Меню: done.ivr")) << Log();
    EXPECT_NE(Log().find("Клавиша не нажата за 1 с"), std::string::npos) << Log();
    EXPECT_NE(Log().find("«По умолчанию»: переход в меню done.ivr"), std::string::npos) << Log();
    std::vector<Samples> captures = ReadCaptures();
    ASSERT_EQ(captures.size(), 1u);
    EXPECT_EQ(FirstDifference(captures[0], PRIMING_SAMPLES, AtVolume(second, DEFAULT_VOLUME16)), "");

    // "Положить трубку" ends it; then only "Закрыть" and "Копировать" remain.
    ui.Click(IDC_CALL_HANG_UP);
    EXPECT_EQ(ui.Text(IDC_CALL_STATE), Ansi("Звонок завершён"));
    EXPECT_FALSE(ui.Enabled(IDC_CALL_HANG_UP));
    EXPECT_FALSE(ui.Enabled(IDC_CALL_KEY_FIRST + 5));
    EXPECT_NE(Log().find("абонент положил трубку"), std::string::npos) << Log();
}

TEST_F(CallDialog, EachKeySoundsItsOwnPair)
{
    struct KeyCase {
        char key;
        UINT vk;  // typed on the numeric keypad, or 0 for the character itself
        int row;
        int column;
    };
    const KeyCase KEYS[] = {{'1', 0, 0, 0}, {'#', 0, 3, 2}, {'*', VK_MULTIPLY, 3, 0}, {'9', VK_NUMPAD9, 2, 2}};
    ASSERT_NO_FATAL_FAILURE(StartCall("done"));
    ASSERT_TRUE(WaitForText(IDC_CALL_STATE, "Ожидание клавиши"));
    // One at a time: a posted key's character is made when its key-down is
    // handled, behind whatever was posted after it.
    for (const KeyCase& k : KEYS) {
        if (k.vk)
            ui.PostKey(IDC_CALL_KEY_FIRST + 5, k.vk);
        else
            PostMessageA(ui.Item(IDC_CALL_KEY_FIRST + 5), WM_CHAR, (BYTE)k.key, 1);
        std::string pressed = "Нажата клавиша " + std::string(1, k.key);
        ASSERT_TRUE(WaitFor([&] { return Log().find(pressed) != std::string::npos; }, CALL_TIMEOUT_MS)) << Log();
    }
    // Each tone is played out and its device closed before the next opens.
    ASSERT_TRUE(WaitFor([&] {
        std::vector<Samples> captures = ReadCaptures();
        return captures.size() == 4 && captures[3].size() >= PRIMING_SAMPLES + 800;
    }, CALL_TIMEOUT_MS)) << CaptureCount();
    std::vector<Samples> captures = ReadCaptures();
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(std::string(1, KEYS[i].key));
        ExpectDtmfPair(AfterPriming(captures[i], 800), KEYS[i].row, KEYS[i].column);
    }
}

TEST_F(CallDialog, OperatorAnswersOrIsBusyAndTheLogIsCopied)
{
    ASSERT_NO_FATAL_FAILURE(WriteFolder(dir.Path(), {
        {"dial.ivr", IvrWaiting(30, "", {{'0', "dial", "2001"}, {'b', "menu", "done"}})}}));
    DWORD error = 0;
    ASSERT_TRUE(set.Load(dir.Path(), &error));
    ASSERT_NO_FATAL_FAILURE(StartCall("dial"));
    ui.Click(IDC_CALL_KEY_FIRST + 0);
    EXPECT_EQ(ui.Text(IDC_CALL_STATE), Ansi("Вызов оператора: 2001"));
    EXPECT_TRUE(ui.Enabled(IDC_CALL_ANSWERED));
    ui.Click(IDC_CALL_BUSY);
    EXPECT_EQ(ui.Text(IDC_CALL_MENU), Ansi("Меню: done.ivr"));
    EXPECT_FALSE(ui.Enabled(IDC_CALL_BUSY));
    ui.Click(IDC_CALL_COPY);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_TEXT);
    std::string copied = data ? static_cast<const char*>(GlobalLock(data)) : "";
    if (data)
        GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(copied, dialog->LogText());
    EXPECT_NE(Utf8(copied).find("Оператор занят"), std::string::npos) << Utf8(copied);
}

} // namespace
