#include <gtest/gtest.h>

#include <windows.h>
#include <mmreg.h>

#include <math.h>
#include <stdio.h>

#include <memory>
#include <thread>
#include <string>

#include "app/CommonServices.h"
#include "common/DialogControls.h"
#include "common/DialogRunner.h"
#include "common/MicFeed.h"
#include "common/ModalWatcher.h"
#include "common/ShellScript.h"
#include "common/SignalMeasure.h"
#include "common/TestUtil.h"
#include "config/IvrFile.h"
#include "wave/CGreetingAnalysis.h"
#include "wave/GreetingVerdict.h"
#include "record/CRecordDialog.h"
#include "record/RecordGreeting.h"
#include "res/resource.h"

namespace {

const int FILE_TYPE_LIST = 1136;  // the file dialog's filter combo box
const double FLOOR_DB = -60.0;
const double PI = 3.14159265358979323846;

// 1.5 s of two tones and a little noise, never zero at its start: where it
// begins in a recording of silence is where the first non-zero sample is.
Samples Voice()
{
    Samples out(12000);
    unsigned noise = 12345;
    for (size_t i = 0; i < out.size(); ++i) {
        noise = noise * 1103515245u + 12345u;
        double x = 9000 * sin(2 * PI * 300 * i / 8000.0) + 5000 * sin(2 * PI * 1270 * i / 8000.0 + 0.3) +
                   (double)((noise >> 16) % 1000) - 500;
        out[i] = (short)lround(x);
    }
    out[0] = 10000;
    return out;
}

// A tone at amplitude 16384, -6.02 dBFS: its peak falls on a sample.
Samples Tone(size_t count)
{
    Samples out(count);
    for (size_t i = 0; i < count; ++i)
        out[i] = (short)lround(16384 * sin(2 * PI * 400 * i / 8000.0));
    return out;
}

Samples DataOf(const std::string& wav)
{
    size_t at = wav.find("data");
    return at == std::string::npos ? Samples() : ToSamples(wav.substr(at + 8));
}

} // namespace

// The recorder's window on a menu in the test's folder, fed through the test
// environment's recording source.
class Recorder : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_MIC();
        feed.reset(new MicFeed(dir.Path()));
        ASSERT_TRUE(feed->Restore());
        VoiceMenuConfig config;
        SetDefaults(&config);
        ASSERT_TRUE(WriteIvrFile(menu.c_str(), &config));
    }
    void TearDown() override
    {
        ui.reset();
        dialog.reset();
        feed.reset();
    }

    void Open(DWORD deviceRate = 0)
    {
        dialog.reset(new CRecordDialog(g_hInstance, nullptr, menu.c_str()));
        dialog->deviceRate = deviceRate;
        ui.reset(new DialogRunner);
        ASSERT_TRUE(ui->Start(dialog.get()));
    }
    bool Listening() { return WaitFor([&] { return ui->Enabled(IDC_RECORD_START); }); }

    // The meter's figures as the window shows them.
    bool Level(double* peak, double* rms)
    {
        return sscanf(ui->Text(IDC_RECORD_LEVEL).c_str(), "%*s %lf %*s %*s %lf", peak, rms) == 2;
    }
    bool LevelIs(bool (*holds)(double peak, double rms))
    {
        return WaitFor([&] {
            double peak = 0, rms = 0;
            return Level(&peak, &rms) && holds(peak, rms);
        }, 15000);
    }

    // "Запись", the signal played in full and heard to its end, "Стоп".
    void RecordSignal(const Samples& signal)
    {
        ASSERT_TRUE(Listening());
        ui->Click(IDC_RECORD_START);
        ASSERT_TRUE(WaitFor([&] { return ui->Text(IDC_RECORD_START) == Ansi("Стоп"); }));
        ASSERT_TRUE(feed->Play(signal));
        ASSERT_TRUE(LevelIs([](double peak, double) { return peak > -30.0; })) << Utf8(ui->Text(IDC_RECORD_LEVEL));
        ASSERT_TRUE(feed->WaitPlayed());
        ASSERT_TRUE(LevelIs([](double peak, double) { return peak <= FLOOR_DB; })) << Utf8(ui->Text(IDC_RECORD_LEVEL));
        ui->Click(IDC_RECORD_START);
        ASSERT_TRUE(WaitFor([&] { return ui->Enabled(IDC_RECORD_SAVE); }));
    }

    // "Сохранить ..." with the fix off (unless fixed), in the save dialog's
    // format type (0-3) under name; answers the name the dialog proposed.
    std::string Save(int type, const std::string& name, bool fixed = false)
    {
        for (int box : {IDC_RECORD_FIX_LEVEL, IDC_RECORD_FIX_TRIM}) {
            if ((ui->Send(box, BM_GETCHECK) == BST_CHECKED) != fixed)
                ui->Click(box);
        }
        std::string proposed;
        ModalWatcher watcher;
        watcher.Then([&](HWND saveDialog, const SeenDialog&) {
            HWND edit = FindDescendantOfClass(saveDialog, "Edit");
            proposed = edit ? WindowText(edit) : "";
            HWND types = GetDlgItem(saveDialog, FILE_TYPE_LIST);
            SendMessageA(types, CB_SETCURSEL, type, 0);
            SendMessageA(saveDialog, WM_COMMAND, MAKEWPARAM(FILE_TYPE_LIST, CBN_SELCHANGE), (LPARAM)types);
            SendMessageA(saveDialog, WM_COMMAND, MAKEWPARAM(FILE_TYPE_LIST, CBN_SELENDOK), (LPARAM)types);
            ModalWatcher::TypeFileName(saveDialog, name);
            ModalWatcher::PressButton(saveDialog, IDOK);
        });
        ui->Click(IDC_RECORD_SAVE);
        EXPECT_TRUE(watcher.WaitAllAnswered());
        EXPECT_TRUE(ui->WaitEnded(30000)) << "the window closes once the greeting is saved";
        return proposed;
    }

    // Waits for the next message box and answers it; its text.
    std::string NextMessage(const std::function<void()>& cause)
    {
        ModalWatcher watcher;
        watcher.Press(IDOK);
        cause();
        EXPECT_TRUE(watcher.WaitAllAnswered(20000));
        std::vector<SeenDialog> seen = watcher.Seen();
        return seen.empty() ? "" : Utf8(seen[0].text);
    }

    TempDir dir{"record"};
    std::string menu = dir.File("menu.ivr");
    std::unique_ptr<MicFeed> feed;
    std::unique_ptr<CRecordDialog> dialog;
    std::unique_ptr<DialogRunner> ui;
};

TEST_F(Recorder, MeterFollowsTheInput)
{
    Open();
    ASSERT_TRUE(Listening());
    ASSERT_TRUE(feed->Play(Tone(8000 * 20)));
    // Monitoring, before any take: the peak of a -6.02 dBFS tone, its RMS 3 dB lower.
    EXPECT_TRUE(LevelIs([](double peak, double rms) { return fabs(peak + 6.0) <= 1.0 && fabs(rms + 9.0) <= 1.0; }))
        << Utf8(ui->Text(IDC_RECORD_LEVEL));
    feed->Stop();
    EXPECT_TRUE(LevelIs([](double peak, double) { return peak <= FLOOR_DB; })) << Utf8(ui->Text(IDC_RECORD_LEVEL));
}

// The saved 16-bit PCM is the fed signal sample for sample after the silence
// before it; the proposed name is the menu's; the menu then names the file.
TEST_F(Recorder, PcmTakeIsTheSignal)
{
    Open();
    EXPECT_EQ(ui->Send(IDC_RECORD_FIX_LEVEL, BM_GETCHECK), BST_CHECKED);
    EXPECT_EQ(ui->Send(IDC_RECORD_FIX_TRIM, BM_GETCHECK), BST_CHECKED);
    const Samples voice = Voice();
    RecordSignal(voice);
    const std::string target = dir.File("menu.wav");
    EXPECT_EQ(Save(0, target), "menu.wav");
    EXPECT_EQ(std::string(dialog->GetSavedPath()), target);
    Samples saved = DataOf(ReadFileBytes(target));
    size_t start = FirstNonZero(saved);
    EXPECT_EQ(FirstDifference(saved, start, voice), "");
    EXPECT_TRUE(AllZeroFrom(saved, start + voice.size()));

    ASSERT_TRUE(SetMenuGreeting(menu.c_str(), target.c_str()));
    VoiceMenuConfig config;
    ASSERT_TRUE(ReadIvrFile(menu.c_str(), &config));
    EXPECT_STREQ(config.greeting, "menu.wav");
}

// The compressed formats, each decoded by ffmpeg: G.711 within its
// quantisation, GSM 6.10 at the signal's tone level.
TEST_F(Recorder, CompressedTakesDecodeToTheSignal)
{
    struct Row {
        int type;
        WORD tag;
        const char* name;
    } rows[] = {{1, WAVE_FORMAT_ALAW, "alaw.wav"}, {2, WAVE_FORMAT_MULAW, "mulaw.wav"}, {3, WAVE_FORMAT_GSM610, "gsm.wav"}};
    const Samples voice = Voice();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Open();
        RecordSignal(voice);
        Save(row.type, dir.File(row.name));
        std::string wav = ReadFileBytes(dir.File(row.name));
        ASSERT_GE(wav.size(), 22u);
        EXPECT_EQ((BYTE)wav[20] | ((BYTE)wav[21] << 8), row.tag);
        std::string output;
        ASSERT_TRUE(RunShellScript(dir.Path(), std::string("ffmpeg -v error -y -i ") + row.name +
                                                   " -f s16le -ac 1 -ar 8000 decoded.raw", &output)) << output;
        Samples decoded = ToSamples(ReadFileBytes(dir.File("decoded.raw")));
        size_t start = 0;
        while (start < decoded.size() && abs(decoded[start]) < 2000)
            ++start;
        ASSERT_LT(start + voice.size() / 2, decoded.size());
        Samples heard(decoded.begin() + start, decoded.begin() + std::min(decoded.size(), start + voice.size()));
        if (row.tag == WAVE_FORMAT_GSM610)
            EXPECT_NEAR(ToneLevelDb(heard, 300), ToneLevelDb(voice, 300), 1.0);
        else
            EXPECT_GT(SnrDb(voice, heard), 30.0);
    }
}

TEST_F(Recorder, DeviceThatFailsToOpenIsNamed)
{
    ASSERT_TRUE(feed->Remove());
    std::string text = NextMessage([&] { Open(); });
    EXPECT_EQ(text.find("Устройство записи «"), 0u) << text;
    EXPECT_NE(text.find("не открывается"), std::string::npos) << text;
    EXPECT_FALSE(ui->Enabled(IDC_RECORD_START));
    EXPECT_FALSE(ui->Enabled(IDC_RECORD_SAVE));
}

// The source goes during a take: the message, and the take up to then can be saved.
TEST_F(Recorder, DeviceLostDuringTakeKeepsTheTake)
{
    Open();
    ASSERT_TRUE(Listening());
    ui->Click(IDC_RECORD_START);
    ASSERT_TRUE(feed->Play(Tone(8000 * 30)));
    ASSERT_TRUE(WaitFor([&] { return dialog->GetLevel().peakDb > -30.0; }, 15000));
    ASSERT_TRUE(WaitFor([&] { return ui->Text(IDC_RECORD_STATUS).find("00:00:02") != std::string::npos; }, 15000));
    std::string text = NextMessage([&] { ASSERT_TRUE(feed->Remove()); });
    EXPECT_NE(text.find("перестало передавать звук"), std::string::npos) << text;
    EXPECT_NE(text.find("сохранено"), std::string::npos) << text;
    EXPECT_EQ(ui->Text(IDC_RECORD_START), Ansi("Запись"));
    EXPECT_FALSE(ui->Enabled(IDC_RECORD_START));
    ASSERT_TRUE(ui->Enabled(IDC_RECORD_SAVE));
    Save(0, dir.File("kept.wav"));
    // What was kept is the tone as it was fed (its first sample is the zero
    // of the sine) up to where the device went, then at most a moment of what
    // the server gave the stream between moving it to another source and
    // ending it.
    Samples kept = DataOf(ReadFileBytes(dir.File("kept.wav")));
    const size_t start = FirstNonZero(kept);
    const Samples tone = Tone(kept.size() - start + 1);
    size_t same = 0;
    while (start + same < kept.size() && kept[start + same] == tone[same + 1])
        ++same;
    EXPECT_GE(same, 8000u) << "of " << kept.size() - start;
    EXPECT_LT(kept.size() - start - same, 4000u) << FirstDifference(kept, start, Samples(tone.begin() + 1, tone.end()));
}

// "Ещё раз" empties the take: nothing to listen to or save until the next one.
TEST_F(Recorder, AgainDiscardsTheTake)
{
    Open();
    RecordSignal(Voice());
    EXPECT_NE(ui->Text(IDC_RECORD_STATUS).find(Ansi("Записано: 00:00:0")), std::string::npos);
    ui->Click(IDC_RECORD_AGAIN);
    EXPECT_TRUE(WaitFor([&] { return !ui->Enabled(IDC_RECORD_SAVE); }));
    EXPECT_FALSE(ui->Enabled(IDC_RECORD_PLAY));
    EXPECT_FALSE(ui->Enabled(IDC_RECORD_AGAIN));
    EXPECT_TRUE(ui->Enabled(IDC_RECORD_START));
    EXPECT_EQ(Utf8(ui->Text(IDC_RECORD_STATUS)), "Записи нет. Нажмите «Запись» и говорите; запись длится не больше 1 часа.");
}

// "Прослушать" plays the take through the player: the device receives it.
TEST_F(Recorder, ListenPlaysTheTake)
{
    SKIP_WITHOUT_CAPTURE();
    Open();
    const Samples voice = Voice();
    RecordSignal(voice);
    ClearCaptures();
    std::thread listen([&] { ui->Click(IDC_RECORD_PLAY); });
    HWND player = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (player = FindWindowA("#32770", Ansi("Сообщение").c_str())) != nullptr; }));
    // It has played the take to its end when "Пауза" is "Играть" again.
    EXPECT_TRUE(WaitFor([&] { return player && ItemText(player, IDC_PLAY_PAUSE) == Ansi("Пауза"); }));
    EXPECT_TRUE(WaitFor([&] { return player && ItemText(player, IDC_PLAY_PAUSE) == Ansi("Играть"); }, 20000));
    if (player)
        PostMessageA(player, WM_COMMAND, IDOK, 0);
    listen.join();
    std::vector<Samples> captures = ReadCaptures();
    ASSERT_FALSE(captures.empty());
    const Samples& heard = captures.back();
    const Samples want = AtVolume(voice, 100 * 256);
    EXPECT_EQ(FirstDifference(heard, FirstNonZero(heard), want), "");
}

// With the fix on, as it is by default, the saved greeting is at the target
// level with its silences trimmed.
TEST_F(Recorder, FixedTakeMeetsTheTarget)
{
    Open();
    RecordSignal(Voice());
    Save(0, dir.File("fixed.wav"), true);
    Samples saved = DataOf(ReadFileBytes(dir.File("fixed.wav")));
    CGreetingAnalysis analysis;
    analysis.Add(saved.data(), saved.size());
    GreetingFigures figures = analysis.Figures();
    EXPECT_NEAR(figures.activeLevelDb, GREETING_TARGET_LEVEL_DB, 1.0);
    EXPECT_LE(figures.leadSilenceSec, GREETING_LEAD_KEPT_SEC + 0.05);
    EXPECT_LE(figures.tailSilenceSec, GREETING_TAIL_KEPT_SEC + 0.05);
}

// A device without 8000 Hz: recorded at 48 kHz and brought to 8000 Hz by the
// platform's resampler, or, where Media Foundation cannot be had, a message
// that says so.
TEST_F(Recorder, DeviceRateGoesThroughTheResampler)
{
    {
        ModalWatcher watcher;
        Open(48000);
        if (!WaitFor([&] { return ui->Enabled(IDC_RECORD_START) || !watcher.Seen().empty(); }, 15000) ||
            !watcher.Seen().empty()) {
            ASSERT_FALSE(watcher.Seen().empty());
            std::string text = Utf8(watcher.Seen()[0].text);
            EXPECT_NE(text.find("Media Foundation"), std::string::npos) << text;
            GTEST_SKIP() << "no resampler here: " << text;
        }
    }
    const Samples tone = Tone(8000 * 2);
    RecordSignal(tone);
    Save(0, dir.File("resampled.wav"));
    Samples saved = DataOf(ReadFileBytes(dir.File("resampled.wav")));
    Samples heard = NonZero(saved);
    EXPECT_NEAR((double)heard.size(), (double)tone.size(), 800.0);
    EXPECT_NEAR(ToneLevelDb(heard, 400), ToneLevelDb(tone, 400), 1.0);
}
