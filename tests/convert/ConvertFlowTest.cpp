#include <gtest/gtest.h>

#include <windows.h>
#include <mmreg.h>
#include <commctrl.h>

#include <stdio.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/CommonServices.h"
#include "playback/CVoiceFile.h"
#include "common/DialogControls.h"
#include "common/DialogRunner.h"
#include "common/ModalWatcher.h"
#include "bytes/FileBytes.h"
#include "common/TestUtil.h"
#include "bytes/WavBytes.h"
#include "config/CConfigDialog.h"
#include "convert/ConvertFiles.h"
#include "common/QualityGreetings.h"
#include "playback/GreetingFileAnalysis.h"
#include "res/resource.h"
#include "wave/GreetingVerdict.h"

namespace {

const int FILE_TYPE_LIST = 1136;  // the file dialog's filter combo box

std::string FileNameShown(HWND fileDialog)
{
    HWND edit = FindDescendantOfClass(fileDialog, "Edit");
    return edit ? WindowText(edit) : "";
}

struct OwnedBox {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwnedBox(HWND window, LPARAM param)
{
    OwnedBox* box = reinterpret_cast<OwnedBox*>(param);
    if (GetWindow(window, GW_OWNER) != box->owner || !IsWindowVisible(window))
        return TRUE;
    box->found = window;
    return FALSE;
}

// Saves under a name that exists and answers the save dialog's own overwrite
// question "Да" here: the watcher looks for the next dialog only once the
// save dialog has gone, which it does not while its question is open.
void SaveOverwriting(HWND saveDialog, const std::string& path)
{
    ModalWatcher::TypeFileName(saveDialog, path);
    ModalWatcher::PressButton(saveDialog, IDOK);
    OwnedBox box = {saveDialog, nullptr};
    if (WaitFor([&] { return !EnumWindows(FindOwnedBox, reinterpret_cast<LPARAM>(&box)) && box.found; }))
        ModalWatcher::PressButton(box.found, IDYES);
}

// OK in the converted file's save dialog, with the name and format offered;
// any other file dialog is cancelled, so that a missing offer ends the test.
void SaveAsOffered(HWND fileDialog, const SeenDialog& seen)
{
    bool save = Utf8(seen.caption) == "Сохранить преобразованное сообщение";
    ModalWatcher::PressButton(fileDialog, save ? IDOK : IDCANCEL);
}

// A message box's answer; a file dialog in its place is cancelled instead.
ModalWatcher::Action OnBox(int buttonId)
{
    return [buttonId](HWND dialog, const SeenDialog& seen) {
        ModalWatcher::PressButton(dialog, seen.kind == SeenDialog::MessageBox ? buttonId : IDCANCEL);
    };
}

std::string Question(const std::string& path)
{
    return Ansi("Файл [") + path +
           Ansi("] можно преобразовать в формат, который воспроизводит система: 8000 Гц, моно.\n\n"
                "Преобразовать его и сохранить как новый файл сообщения?");
}

} // namespace

// The main dialog with a greeting that is refused: the operator's answers to
// the format message, the offer, the save dialog and the progress window.
class GreetingConversionFlow : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog.reset(new CConfigDialog(g_hInstance));
        ui.reset(new DialogRunner);
        ASSERT_TRUE(ui->Start(dialog.get()));
    }
    void TearDown() override
    {
        ui.reset();
        dialog.reset();
    }

    // A copy of a fixture in the test's own folder, under another name.
    std::string Copy(const char* fixture, const char* name)
    {
        std::string path = dir.File(name);
        EXPECT_TRUE(CopyFileA(FixturePath(fixture).c_str(), path.c_str(), FALSE));
        return path;
    }

    TempDir dir{"convert_flow"};
    std::unique_ptr<CConfigDialog> dialog;
    std::unique_ptr<DialogRunner> ui;
};

TEST_F(GreetingConversionFlow, OnlyAConvertibleFileIsOfferedAndNoGoesOnAsBefore)
{
    std::string samples(64, '\x10');
    std::string unknown = PcmFmt();
    PutLe16(&unknown, 0, 0x7777);
    struct Row {
        std::string path;
        bool offered;
    } rows[] = {
        {Copy("conv_s16_44100_2.wav", "stereo.wav"), true},
        {Copy("conv_ima_8000_1.wav", "ima.wav"), true},
        {dir.File("unknown.wav"), false},
    };
    ASSERT_TRUE(WriteFileBytes(rows[2].path, Wav(unknown, Chunk("data", samples))));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        ModalWatcher watcher;
        watcher.ChooseFile(row.path);
        watcher.Press(IDOK);  // the format message
        if (row.offered)
            watcher.Press(IDNO);
        watcher.CancelFile();
        ui->Click(IDC_CHOOSE_GREETING);
        ASSERT_TRUE(watcher.WaitAllAnswered());
        std::vector<SeenDialog> seen = watcher.Seen();
        ASSERT_EQ(seen.size(), row.offered ? 4u : 3u);
        if (row.offered) {
            EXPECT_EQ(Utf8(seen[2].text), Utf8(Question(row.path)));
            EXPECT_EQ(seen[2].buttons.size(), 2u);
        }
        EXPECT_EQ(seen.back().kind, SeenDialog::FileDialog) << "the open dialog comes again";
        EXPECT_EQ(ui->Text(IDC_GREETING), "");
        EXPECT_FALSE(ui->Enabled(IDC_SAVE));
    }
    EXPECT_EQ(ListFiles(dir.Path()).size(), 3u) << "nothing was written";
}

TEST_F(GreetingConversionFlow, CancelInTheSaveDialogWritesNothing)
{
    std::string source = Copy("conv_s16_44100_2.wav", "stereo.wav");
    ModalWatcher watcher;
    watcher.ChooseFile(source);
    watcher.Press(IDOK);
    watcher.Press(IDYES);
    watcher.CancelFile();  // the save dialog
    watcher.CancelFile();  // the open dialog again
    ui->Click(IDC_CHOOSE_GREETING);
    ASSERT_TRUE(watcher.WaitAllAnswered());
    EXPECT_EQ(watcher.Seen().size(), 5u);
    EXPECT_EQ(ui->Text(IDC_GREETING), "");
    EXPECT_EQ(ListFiles(dir.Path()).size(), 1u);
}

// The save dialog opens in the source's folder with the source's name and
// "_8k", offers the four formats with PCM chosen; the converted file becomes
// the greeting and the player plays it.
TEST_F(GreetingConversionFlow, ConvertedFileBecomesTheGreeting)
{
    std::string source = Copy("conv_s16_44100_2.wav", "greeting.44k.wav");
    std::string shownName;
    int fileTypes = 0;
    int chosenType = -1;
    ModalWatcher watcher;
    watcher.ChooseFile(source);
    watcher.Press(IDOK);
    watcher.Press(IDYES);
    watcher.Then([&](HWND saveDialog, const SeenDialog&) {
        shownName = FileNameShown(saveDialog);
        HWND types = GetDlgItem(saveDialog, FILE_TYPE_LIST);
        fileTypes = (int)SendMessageA(types, CB_GETCOUNT, 0, 0);
        chosenType = (int)SendMessageA(types, CB_GETCURSEL, 0, 0);
        ModalWatcher::PressButton(saveDialog, IDOK);  // the name as offered, in the folder as opened
    });
    ui->Click(IDC_CHOOSE_GREETING);
    ASSERT_TRUE(watcher.WaitAllAnswered());
    std::vector<SeenDialog> seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(Utf8(seen[3].caption), "Сохранить преобразованное сообщение");
    EXPECT_EQ(shownName, "greeting.44k_8k.wav");
    EXPECT_EQ(fileTypes, 4);
    EXPECT_EQ(chosenType, 0);

    std::string target = dir.File("greeting.44k_8k.wav");
    ASSERT_TRUE(WaitFor([&] { return ui->Text(IDC_GREETING) == target; }));
    EXPECT_TRUE(ui->Enabled(IDC_SAVE));
    EXPECT_TRUE(ui->Enabled(IDC_LISTEN));
    CVoiceFile check(target.c_str());
    ASSERT_TRUE(check.Open());
    EXPECT_EQ(check.GetHeader().formatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(check.GetDuration(), 2480u) << "2.5 s in whole 40 ms units";
    check.Close();

    // The player takes it, shows its format and length, and plays it.
    PostMessageA(ui->Item(IDC_LISTEN), BM_CLICK, 0, 0);
    HWND player = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (player = FindWindowA("#32770", Ansi("Сообщение").c_str())) != nullptr; }));
    EXPECT_TRUE(WaitFor([&] { return ItemText(player, IDC_FORMAT_NAME) == "PCM"; }));
    EXPECT_EQ(ItemText(player, IDC_TOTAL_TIME), "00:00:02[480] ");
    PostMessageA(GetDlgItem(player, IDC_PLAY_PAUSE), BM_CLICK, 0, 0);
    HWND position = GetDlgItem(player, IDC_POSITION_BAR);
    EXPECT_TRUE(WaitFor([&] { return SendMessageA(position, TBM_GETPOS, 0, 0) > 10; }));
    PostMessageA(player, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(player); }, 15000));
}

// The source itself, and a name the .ivr file cannot hold, bring the save
// dialog back with the reason before anything is written.
TEST_F(GreetingConversionFlow, RefusedTargetsBringTheSaveDialogBack)
{
    std::string source = Copy("conv_s16_44100_2.wav", "stereo.wav");
    const std::string before = ReadFileBytes(source);
    struct Row {
        ModalWatcher::Action save;
        std::string reason;
    } rows[] = {
        {[&](HWND saveDialog, const SeenDialog&) { SaveOverwriting(saveDialog, source); },
         "Преобразованное сообщение не может заменить исходный файл [" + Utf8(source) + "].\nВыберите другое имя."},
        {[&](HWND saveDialog, const SeenDialog&) {
             ModalWatcher::TypeFileName(saveDialog, dir.File("new greeting.wav"));
             ModalWatcher::PressButton(saveDialog, IDOK);
         },
         "в имени файла приветствия есть пробел"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reason);
        ModalWatcher watcher;
        watcher.ChooseFile(source);
        watcher.Press(IDOK);
        watcher.Press(IDYES);
        watcher.Then(row.save);
        watcher.Press(IDOK);   // the reason
        watcher.CancelFile();  // the save dialog again
        watcher.CancelFile();  // the open dialog again
        ui->Click(IDC_CHOOSE_GREETING);
        ASSERT_TRUE(watcher.WaitAllAnswered());
        std::vector<SeenDialog> seen = watcher.Seen();
        ASSERT_EQ(seen.size(), 7u);
        EXPECT_NE(Utf8(seen[4].text).find(row.reason), std::string::npos) << Utf8(seen[4].text);
        EXPECT_EQ(seen[5].kind, SeenDialog::FileDialog);
        EXPECT_EQ(ReadFileBytes(source), before);
        EXPECT_EQ(ListFiles(dir.Path()).size(), 1u);
    }
}

// A read-only target and a target another program holds open: the system's
// error is shown, the old file is intact and no temporary is left.
TEST_F(GreetingConversionFlow, TargetThatCannotBeReplacedIsReported)
{
    std::string source = Copy("conv_s16_44100_2.wav", "stereo.wav");
    std::string target = dir.File("greeting.wav");
    const std::string old = "old greeting";
    ASSERT_TRUE(WriteFileBytes(target, old));
    for (bool readOnly : {true, false}) {
        SCOPED_TRACE(readOnly ? "read-only" : "locked");
        HANDLE lock = INVALID_HANDLE_VALUE;
        if (readOnly)
            SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY);
        else
            lock = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ModalWatcher watcher;
        watcher.ChooseFile(source);
        watcher.Press(IDOK);
        watcher.Press(IDYES);
        watcher.Then([&](HWND saveDialog, const SeenDialog&) { SaveOverwriting(saveDialog, target); });
        watcher.Press(IDOK);  // the error
        watcher.CancelFile();
        ui->Click(IDC_CHOOSE_GREETING);
        ASSERT_TRUE(watcher.WaitAllAnswered());
        if (lock != INVALID_HANDLE_VALUE)
            CloseHandle(lock);
        SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        std::vector<SeenDialog> seen = watcher.Seen();
        ASSERT_EQ(seen.size(), 6u);
        EXPECT_EQ(Utf8(seen[4].text).find("Ошибка при преобразовании файла [" + Utf8(source) + "]\nОшибка: "), 0u)
            << Utf8(seen[4].text);
        EXPECT_EQ(ReadFileBytes(target), old);
        EXPECT_EQ(ListFiles(dir.Path()).size(), 2u);
        EXPECT_EQ(ui->Text(IDC_GREETING), "");
    }
}

// A long conversion shows its progress window; "Отмена" ends it and leaves
// nothing behind, and the open dialog comes again. The source is 3.75 GB of
// 8-bit silence at 11025 Hz (about 100 hours), stored sparse.
TEST_F(GreetingConversionFlow, CancelDuringALongConversionLeavesNothing)
{
    std::string source = dir.File("long.wav");
    const DWORD dataSize = 0xF0000000u;
    std::string fmt = Le16(WAVE_FORMAT_PCM) + Le16(1) + Le32(11025) + Le32(11025) + Le16(1) + Le16(8);
    if (!WriteSparseWav(source, fmt, dataSize, 44ULL + dataSize))
        GTEST_SKIP() << "this file system cannot hold a 3.75 GB file";
    ModalWatcher watcher;
    watcher.ChooseFile(source);
    watcher.Press(IDOK);
    watcher.Press(IDYES);
    watcher.Then([](HWND saveDialog, const SeenDialog&) {
        // GSM 6.10, the slowest of the four.
        HWND types = GetDlgItem(saveDialog, FILE_TYPE_LIST);
        SendMessageA(types, CB_SETCURSEL, 3, 0);
        SendMessageA(saveDialog, WM_COMMAND, MAKEWPARAM(FILE_TYPE_LIST, CBN_SELCHANGE), (LPARAM)types);
        // The dialog takes the type at the end of the choice, as a click ends it.
        SendMessageA(saveDialog, WM_COMMAND, MAKEWPARAM(FILE_TYPE_LIST, CBN_SELENDOK), (LPARAM)types);
        ModalWatcher::PressButton(saveDialog, IDOK);
    });
    watcher.CancelFile();
    std::thread choose([&] { ui->Click(IDC_CHOOSE_GREETING); });
    HWND progress = nullptr;
    bool shown = WaitFor([&] {
        return (progress = FindWindowA("#32770", Ansi("Преобразование сообщения").c_str())) != nullptr;
    }, 20000);
    EXPECT_TRUE(shown) << "no progress window for an 11-minute file";
    if (shown) {
        EXPECT_TRUE(WaitFor([&] { return ItemText(progress, IDCANCEL) == Ansi("Отмена"); }));
        EXPECT_TRUE(IsWindowEnabled(ui->Hwnd()) == FALSE) << "the main window waits for the conversion";
        PostMessageA(progress, WM_COMMAND, IDCANCEL, 0);
    }
    EXPECT_TRUE(watcher.WaitAllAnswered(60000));
    choose.join();
    EXPECT_EQ(ListFiles(dir.Path()).size(), 1u) << "only the source is left";
    EXPECT_EQ(ui->Text(IDC_GREETING), "");
}

// A file the format check refuses only for a JUNK chunk before its fmt chunk
// (8000 Hz mono PCM) is offered conversion, which writes it in the layout
// the check reads.
TEST_F(GreetingConversionFlow, ChunkBeforeFmtIsOfferedAndLaidOutAnew)
{
    std::string source = dir.File("junk.wav");
    ASSERT_TRUE(WriteFileBytes(source, Wav(Chunk("JUNK", std::string(28, '\0')), PcmFmt(),
                                           Chunk("data", std::string(16000, '\x20')))));
    ModalWatcher watcher;
    watcher.ChooseFile(source);
    watcher.Press(IDOK);   // the format message
    watcher.Then(OnBox(IDYES));  // the offer
    watcher.Then(SaveAsOffered);
    ui->Click(IDC_CHOOSE_GREETING);
    ASSERT_TRUE(watcher.WaitAllAnswered());
    std::vector<SeenDialog> seen = watcher.Seen();
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(Utf8(seen[2].text), Utf8(Question(source)));
    std::string target = dir.File("junk_8k.wav");
    ASSERT_TRUE(WaitFor([&] { return ui->Text(IDC_GREETING) == target; }));
    CVoiceFile check(target.c_str());
    ASSERT_TRUE(check.Open());
    EXPECT_EQ(check.GetDataOffset(), 44u);
    EXPECT_EQ(check.GetDuration(), 1000u);
    check.Close();
}

// A converted file with one damaged MS ADPCM block: the operator is told how
// much sound could not be decoded; "Да" keeps it as the greeting, "Нет"
// deletes it and the greeting stays as it was.
TEST_F(GreetingConversionFlow, LostSoundIsToldAndTheOperatorDecides)
{
    std::string wav = FixtureBytes("conv_msadpcm_22050_1.wav");
    size_t fmt = wav.find("fmt ") + 8;
    size_t data = wav.find("data") + 8;
    const DWORD align = (BYTE)wav[fmt + 12] | (BYTE)wav[fmt + 13] << 8;
    const DWORD samplesPerBlock = (BYTE)wav[fmt + 18] | (BYTE)wav[fmt + 19] << 8;
    wav[data + 3 * align] = 7;  // a predictor index past the seven there are
    const DWORD lostMs = (samplesPerBlock * 1000 + 22049) / 22050;
    char amounts[64] = {};
    snprintf(amounts, sizeof amounts, "%lu,%02lu с из 2,48 с", lostMs / 1000, lostMs % 1000 / 10);
    for (int answer : {IDNO, IDYES}) {
        SCOPED_TRACE(answer == IDYES ? "Да" : "Нет");
        std::string source = dir.File("damaged.wav");
        std::string target = dir.File("damaged_8k.wav");
        ASSERT_TRUE(WriteFileBytes(source, wav));
        ModalWatcher watcher;
        watcher.ChooseFile(source);
        watcher.Press(IDOK);
        watcher.Then(OnBox(IDYES));
        watcher.Then(SaveAsOffered);
        watcher.Then(OnBox(answer));
        if (answer == IDNO)
            watcher.CancelFile();  // the open dialog again
        ui->Click(IDC_CHOOSE_GREETING);
        ASSERT_TRUE(watcher.WaitAllAnswered());
        std::vector<SeenDialog> seen = watcher.Seen();
        ASSERT_GE(seen.size(), 5u);
        EXPECT_EQ(Utf8(seen[4].text),
                  "Часть звука в файле [" + Utf8(source) + "] повреждена и не может быть декодирована: " + amounts +
                      ". В преобразованном файле на её месте тишина.\n\nОставить преобразованный файл [" +
                      Utf8(target) + "] как приветствие?\n\n«Нет» удалит его, приветствие останется прежним.");
        EXPECT_EQ(seen[4].buttons.size(), 2u);
        if (answer == IDYES) {
            EXPECT_TRUE(WaitFor([&] { return ui->Text(IDC_GREETING) == target; }));
        } else {
            EXPECT_EQ(ui->Text(IDC_GREETING), "");
            EXPECT_EQ(ListFiles(dir.Path()).size(), 1u) << "the converted file is gone";
        }
    }
}

// A quiet greeting recorded in stereo: refused, converted, and fixed on the
// way as the save dialog's boxes say (both on at first); the greeting taken
// is re-analysed. With the level turned off it stays quiet.
TEST_F(GreetingConversionFlow, ConversionFixesTheGreetingAsChosen)
{
    ASSERT_FALSE(QualityFolder().empty());
    std::string stereo;
    for (short sample : SoxPcmSamples(QualityFile("quiet")))
        stereo += Le16((WORD)sample) + Le16((WORD)sample);
    std::string fmt = Le16(WAVE_FORMAT_PCM) + Le16(2) + Le32(8000) + Le32(32000) + Le16(4) + Le16(16);
    const struct {
        bool level;
        std::vector<std::string> warnings;  // of the converted greeting
    } rows[] = {{true, {}}, {false, {"greeting-quiet"}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.level ? "level on" : "level off");
        std::string source = dir.File("quiet.wav");
        std::string target = dir.File("quiet_8k.wav");
        ASSERT_TRUE(WriteFileBytes(source, Wav(fmt, Chunk("data", stereo))));
        bool levelShown = false, trimShown = false;
        ModalWatcher watcher;
        watcher.ChooseFile(source);
        watcher.Press(IDOK);
        watcher.Then(OnBox(IDYES));
        watcher.Then([&](HWND saveDialog, const SeenDialog&) {
            HWND level = FindDescendant(saveDialog, IDC_FIX_LEVEL);
            levelShown = SendMessageA(level, BM_GETCHECK, 0, 0) == BST_CHECKED;
            trimShown = SendMessageA(FindDescendant(saveDialog, IDC_FIX_TRIM), BM_GETCHECK, 0, 0) == BST_CHECKED;
            SendMessageA(level, BM_SETCHECK, row.level ? BST_CHECKED : BST_UNCHECKED, 0);
            ModalWatcher::PressButton(saveDialog, IDOK);  // the name as offered
        });
        ui->Click(IDC_CHOOSE_GREETING);
        ASSERT_TRUE(watcher.WaitAllAnswered());
        ASSERT_TRUE(WaitFor([&] { return ui->Text(IDC_GREETING) == target; }));
        EXPECT_TRUE(levelShown && trimShown) << "both parts of the fix are on at first";

        GreetingFigures after = {};
        ASSERT_EQ(AnalyseGreetingFile(target.c_str(), &after), 0u);
        std::vector<std::string> warnings;
        for (const GreetingWarning* warning : FindGreetingWarnings(after))
            warnings.push_back(warning->code);
        EXPECT_EQ(warnings, row.warnings) << "level " << after.activeLevelDb << " dBov";
        if (row.level) {
            EXPECT_NEAR(after.activeLevelDb, GREETING_TARGET_LEVEL_DB, 1.0);
        }
        EXPECT_LE(after.leadSilenceSec, GREETING_LEAD_KEPT_SEC);
        EXPECT_EQ(ListFiles(dir.Path()).size(), 2u) << "no temporary is left";
        ui->Click(IDC_CLEAR_GREETING);
        DeleteFileA(target.c_str());
    }
}
