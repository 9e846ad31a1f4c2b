// Open, Save and Save as on real files through the real common file dialogs.
#include <vector>

#include "configdialog/ConfigDialogFixture.h"

namespace {

const char VALID_FILE[] =
    "05   hello.wav\r\n"
    "\r\n"
    "0    dial            100\r\n"
    "5    menu            sales\r\n"
    "-    disconnect\r\n"
    "b    menu            busy\r\n";
const char MALFORMED_FILE[] = "10           \r\n\r\nx    dial            1\r\n";
// VALID_FILE after MakeChange, as Save writes it.
const char VALID_FILE_CHANGED[] =
    "05   hello.wav\r\n\r\n0    dial            100\r\n1    menu            keep\r\n"
    "5    menu            sales\r\n-    disconnect\r\nb    menu            busy\r\n";
// Another operator's edit of VALID_FILE, of the same length.
const char OTHERS_FILE[] =
    "05   hello.wav\r\n\r\n0    dial            200\r\n5    menu            sales\r\n"
    "-    disconnect\r\nb    menu            busy\r\n";

// A file's last write time: read, or set; false when that failed.
bool WriteTime(const std::string& path, FILETIME* time, bool set)
{
    HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = set ? SetFileTime(file, nullptr, nullptr, time) : GetFileTime(file, nullptr, nullptr, time);
    CloseHandle(file);
    return ok;
}

class FileCommands : public ConfigDialogFixture {
protected:
    FileCommands() : dir("configdialog-files") {}
    std::string Write(const char* name, const std::string& bytes)
    {
        std::string path = dir.File(name);
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }
    // The operator's edit that the tests keep track of: row 1 goes to menu "keep".
    void MakeChange()
    {
        ChooseAction(1, ACTION_MENU);
        SetParameter("keep");
        ASSERT_TRUE(SaveEnabled());
    }
    void ExpectChangeKept()
    {
        EXPECT_EQ(Action(1), ActionName(ACTION_MENU));
        EXPECT_EQ(Param(1), "keep");
        EXPECT_TRUE(SaveEnabled());
    }
    void ExpectValidFileShown(const std::string& path)
    {
        EXPECT_EQ(ui->Text(IDC_IVR_FILE), path);
        EXPECT_EQ(ui->Text(IDC_GREETING), "hello.wav");
        EXPECT_EQ(ui->Text(IDC_WAIT_TIME), "5");
        EXPECT_EQ(Action(0), ActionName(ACTION_DIAL));
        EXPECT_EQ(Param(0), "100");
        EXPECT_EQ(Action(1), ActionName(ACTION_NONE));
        EXPECT_EQ(Param(1), "");
        EXPECT_EQ(Action(5), ActionName(ACTION_MENU));
        EXPECT_EQ(Param(5), "sales");
        EXPECT_EQ(Action(12), ActionName(ACTION_DISCONNECT));
        EXPECT_EQ(Action(13), ActionName(ACTION_MENU));
        EXPECT_EQ(Param(13), "busy");
        EXPECT_FALSE(SaveEnabled());
    }
    static void ExpectBox(const SeenDialog& seen, const std::string& text, size_t buttons)
    {
        EXPECT_EQ(seen.kind, SeenDialog::MessageBox);
        EXPECT_EQ(seen.caption, "Orlenta");
        EXPECT_EQ(Utf8(seen.text), Utf8(text));
        EXPECT_EQ(seen.buttons.size(), buttons);
        EXPECT_TRUE(seen.hasIcon);
    }

    TempDir dir;
};

} // namespace

TEST_F(FileCommands, OpenShowsTheFileAndTheSelectedRowsNewSlot)
{
    std::string path = Write("valid.ivr", VALID_FILE);
    ModalWatcher watcher;
    watcher.ChooseFile(path);
    ui->Click(IDC_OPEN);
    ASSERT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(watcher.Seen()[0].kind, SeenDialog::FileDialog);
    EXPECT_EQ(watcher.Seen()[0].caption, "Orlenta");
    ExpectValidFileShown(path);

    // Row 0 stayed selected; the editing controls show its new slot at once,
    // so an edit lands where the operator sees it.
    EXPECT_EQ(ui->SelectedRow(IDC_COMMANDS), 0);
    EXPECT_EQ(ui->ComboSelection(IDC_ACTION), ACTION_DIAL);
    EXPECT_EQ(ui->Text(IDC_PARAMETER), "100");
    EXPECT_TRUE(ui->Enabled(IDC_PARAMETER));
    ui->Send(IDC_PARAMETER, EM_SETSEL, 0, -1);
    ui->Type(IDC_PARAMETER, "7");
    EXPECT_EQ(Param(0), "7");
    EXPECT_TRUE(SaveEnabled());

    ui->Click(IDC_SAVE);  // under the opened name, without a dialog
    EXPECT_FALSE(SaveEnabled());
    EXPECT_EQ(ReadFileBytes(path),
              "05   hello.wav\r\n\r\n0    dial            7\r\n5    menu            sales\r\n"
              "-    disconnect\r\nb    menu            busy\r\n");
    EXPECT_EQ(watcher.Seen().size(), 1u);
}

TEST_F(FileCommands, AMalformedFileIsRejectedAndTheConfigurationStays)
{
    MakeChange();
    std::string bad = Write("malformed.ivr", MALFORMED_FILE);
    ModalWatcher watcher;
    watcher.ChooseFile(bad);
    watcher.Press(IDOK);
    watcher.CancelFile();
    ui->Click(IDC_OPEN);

    std::vector<SeenDialog> seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].kind, SeenDialog::FileDialog);
    ExpectBox(seen[1], BadFileMessage(bad), 1);
    EXPECT_EQ(seen[2].kind, SeenDialog::FileDialog);  // asked again

    ExpectChangeKept();
    EXPECT_EQ(ui->Text(IDC_IVR_FILE), "");
    EXPECT_EQ(ui->Text(IDC_WAIT_TIME), "10");
    EXPECT_EQ(Action(12), ActionName(ACTION_DISCONNECT));
}

TEST_F(FileCommands, UnsavedChangesAreAskedAboutOnlyOnceTheNewFileReadWell)
{
    MakeChange();
    std::string bad = Write("malformed.ivr", MALFORMED_FILE);
    std::string good = Write("valid.ivr", VALID_FILE);
    ModalWatcher watcher;
    watcher.ChooseFile(bad);
    watcher.Press(IDOK);
    watcher.ChooseFile(good);
    watcher.Press(IDNO);
    ui->Click(IDC_OPEN);

    std::vector<SeenDialog> seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 4u);
    ExpectBox(seen[1], BadFileMessage(bad), 1);
    EXPECT_EQ(seen[2].kind, SeenDialog::FileDialog);
    ExpectBox(seen[3], SavePrompt(), 3);
    ExpectValidFileShown(good);
}

TEST_F(FileCommands, CancelAtTheSavePromptOpensNothing)
{
    MakeChange();
    std::string good = Write("valid.ivr", VALID_FILE);
    ModalWatcher watcher;
    watcher.ChooseFile(good);
    watcher.Press(IDCANCEL);
    ui->Click(IDC_OPEN);
    ASSERT_EQ(watcher.Seen().size(), 2u);
    ExpectChangeKept();
    EXPECT_EQ(ui->Text(IDC_IVR_FILE), "");
}

TEST_F(FileCommands, YesAtTheSavePromptSavesANewConfigurationFirst)
{
    MakeChange();
    std::string good = Write("valid.ivr", VALID_FILE);
    std::string saved = dir.File("saved.ivr");
    ModalWatcher watcher;
    watcher.ChooseFile(good);
    watcher.Press(IDYES);
    watcher.ChooseFile(saved);  // never saved: Save asks for a name
    ui->Click(IDC_OPEN);
    ASSERT_EQ(watcher.Seen().size(), 3u);
    EXPECT_EQ(ReadFileBytes(saved), "10           \r\n\r\n1    menu            keep\r\n-    disconnect\r\n");
    ExpectValidFileShown(good);
}

TEST_F(FileCommands, AWaitTimeAboveSixtyIsShownAndKeptAsSixty)
{
    std::string sixty = Write("sixty.ivr", "60           \r\n\r\n");
    std::string hundred = Write("hundred.ivr", "100          \r\n\r\n");
    std::string saved = dir.File("saved.ivr");
    ModalWatcher watcher;
    watcher.ChooseFile(sixty);
    ui->Click(IDC_OPEN);
    EXPECT_EQ(ui->Text(IDC_WAIT_TIME), "60");
    watcher.ChooseFile(hundred);
    ui->Click(IDC_OPEN);
    EXPECT_EQ(ui->Text(IDC_WAIT_TIME), "60");
    EXPECT_FALSE(SaveEnabled());

    watcher.ChooseFile(saved);
    ui->Click(IDC_SAVE_AS);
    EXPECT_EQ(ReadFileBytes(saved), "60           \r\n\r\n");
}

TEST_F(FileCommands, SaveAsOntoAnExistingFileAsksAndAsksAgainAfterNo)
{
    MakeChange();
    std::string existing = Write("existing.ivr", "old content");
    ModalWatcher watcher;
    watcher.ChooseFile(existing);
    watcher.Press(IDNO);
    std::string atSecondDialog;
    watcher.Then([&](HWND dialog, const SeenDialog&) {
        atSecondDialog = ReadFileBytes(existing);
        ModalWatcher::TypeFileName(dialog, existing);
        ModalWatcher::PressButton(dialog, IDOK);
    });
    watcher.Press(IDYES);
    ui->Click(IDC_SAVE_AS);

    std::vector<SeenDialog> seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].kind, SeenDialog::FileDialog);
    ExpectBox(seen[1], Ansi("Файл с таким именем уже существует. Перезаписать существующий файл?"), 2);
    EXPECT_EQ(seen[2].kind, SeenDialog::FileDialog);
    ExpectBox(seen[3], Ansi("Файл с таким именем уже существует. Перезаписать существующий файл?"), 2);
    EXPECT_EQ(atSecondDialog, "old content");  // No left it alone
    EXPECT_EQ(ReadFileBytes(existing), "10           \r\n\r\n1    menu            keep\r\n-    disconnect\r\n");
    EXPECT_EQ(ui->Text(IDC_IVR_FILE), existing);
    EXPECT_FALSE(SaveEnabled());
}

TEST_F(FileCommands, SaveOfANewConfigurationAsksForANameAndCancelSavesNothing)
{
    MakeChange();
    ModalWatcher watcher;
    watcher.CancelFile();
    ui->Click(IDC_SAVE);
    ASSERT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(watcher.Seen()[0].kind, SeenDialog::FileDialog);
    EXPECT_EQ(ui->Text(IDC_IVR_FILE), "");
    EXPECT_TRUE(SaveEnabled());
}

TEST_F(FileCommands, ASavedMenuReopensShowingExactlyWhatWasSaved)
{
    // Typed longer than the field and with a blank: the field keeps what the
    // file can hold, so the reopened menu shows the same texts.
    ChooseAction(0, ACTION_DIAL);
    ui->Type(IDC_PARAMETER, "8 800 555 35 35 000 123");
    ChooseAction(3, ACTION_MENU);
    ui->Type(IDC_PARAMETER, "sales menu");
    auto rows = [this] {
        std::vector<std::string> texts;
        for (int row = 0; row < CONFIG_SHOWN_SLOTS; ++row)
            texts.push_back(Action(row) + "|" + Param(row));
        return texts;
    };
    const std::vector<std::string> shown = rows();
    EXPECT_EQ(Param(0), "8800555353500012");

    std::string path = dir.File("reopen.ivr");
    ModalWatcher watcher;
    watcher.ChooseFile(path);
    ui->Click(IDC_SAVE_AS);
    ASSERT_EQ(watcher.Seen().size(), 1u);

    // A change after the save, dropped at the prompt: what shows then comes from the file.
    ChooseAction(5, ACTION_DIAL);
    watcher.ChooseFile(path);
    watcher.Press(IDNO);
    ui->Click(IDC_OPEN);
    ASSERT_EQ(watcher.Seen().size(), 3u);
    EXPECT_EQ(ui->Text(IDC_IVR_FILE), path);
    EXPECT_EQ(rows(), shown);
    EXPECT_FALSE(SaveEnabled());
}

TEST_F(FileCommands, AFailedSaveKeepsTheOldFileAndTheUnsavedChanges)
{
    std::string path = Write("locked.ivr", VALID_FILE);
    ModalWatcher watcher;
    watcher.ChooseFile(path);
    ui->Click(IDC_OPEN);
    ASSERT_EQ(ui->Text(IDC_IVR_FILE), path);
    MakeChange();
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));

    watcher.Press(IDOK);  // the writer's own error report
    ui->Click(IDC_SAVE);
    ASSERT_EQ(watcher.Seen().size(), 2u);
    EXPECT_EQ(watcher.Seen()[1].kind, SeenDialog::MessageBox);
    EXPECT_EQ(ReadFileBytes(path), VALID_FILE);
    ExpectChangeKept();

    // Closing still asks; Yes tries again, fails again and keeps the dialog open.
    watcher.Press(IDYES);
    watcher.Press(IDOK);
    ui->Click(IDOK);
    ASSERT_EQ(watcher.Seen().size(), 4u);
    ExpectBox(watcher.Seen()[2], SavePrompt(), 3);
    EXPECT_TRUE(ui->Running());
    ExpectChangeKept();

    watcher.Press(IDNO);
    ui->Click(IDOK);
    EXPECT_TRUE(ui->WaitEnded());
    EXPECT_EQ(ReadFileBytes(path), VALID_FILE);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FileCommands, ATLineHasNoRowAndIsSavedAgain)
{
    std::string path = Write("tline.ivr", std::string(VALID_FILE) + "t    dial            777\r\n");
    ModalWatcher watcher;
    watcher.ChooseFile(path);
    ui->Click(IDC_OPEN);
    ExpectValidFileShown(path);
    EXPECT_EQ(ui->ListRows(IDC_COMMANDS), 14);
    for (int row = 0; row < ui->ListRows(IDC_COMMANDS); ++row)
        EXPECT_NE(Param(row), "777") << row;

    MakeChange();
    ui->Click(IDC_SAVE);
    EXPECT_EQ(ReadFileBytes(path),
              "05   hello.wav\r\n\r\n0    dial            100\r\n1    menu            keep\r\n"
              "5    menu            sales\r\n-    disconnect\r\nb    menu            busy\r\nt    dial            777\r\n");
    EXPECT_EQ(watcher.Seen().size(), 1u);
}

TEST_F(FileCommands, SaveAsksBeforeOverwritingAnotherOperatorsChange)
{
    const struct {
        const char* what;
        std::string others;     // what the file holds after the other's change
        LONGLONG shiftSeconds;  // its write time then, from the one it had before
    } cases[] = {
        {"other size", std::string(VALID_FILE) + "*    dial            9\r\n", 0},
        {"other bytes, same size and write time", OTHERS_FILE, 0},
        {"same bytes, newer write time", VALID_FILE, 3600},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = Write(("shared" + std::to_string(++n) + ".ivr").c_str(), VALID_FILE);
        ModalWatcher watcher;
        watcher.ChooseFile(path);
        ui->Click(IDC_OPEN);
        ASSERT_EQ(ui->Text(IDC_IVR_FILE), path);
        MakeChange();
        FILETIME time = {};
        ASSERT_TRUE(WriteTime(path, &time, false));
        ASSERT_TRUE(WriteFileBytes(path, c.others));
        ULARGE_INTEGER ticks = {{time.dwLowDateTime, time.dwHighDateTime}};
        ticks.QuadPart += c.shiftSeconds * 10000000;
        time = {ticks.LowPart, ticks.HighPart};
        ASSERT_TRUE(WriteTime(path, &time, true));

        watcher.Press(IDNO);
        ui->Click(IDC_SAVE);
        ASSERT_EQ(watcher.Seen().size(), 2u);
        ExpectBox(watcher.Seen()[1],
                  Ansi("Файл [") + path +
                      Ansi("] изменён после того, как конфигурация была открыта или сохранена: возможно, его "
                           "изменил другой оператор.\n\nЗаписать текущую конфигурацию поверх этих изменений? "
                           "Они будут потеряны.\n«Нет» оставит файл и конфигурацию в окне без изменений."),
                  2);
        EXPECT_EQ(ReadFileBytes(path), c.others);
        EXPECT_EQ(ui->Text(IDC_IVR_FILE), path);
        ExpectChangeKept();

        // Asked again, since the file is still another's; Yes replaces it.
        watcher.Press(IDYES);
        ui->Click(IDC_SAVE);
        ASSERT_EQ(watcher.Seen().size(), 3u);
        EXPECT_EQ(ReadFileBytes(path), VALID_FILE_CHANGED);
        EXPECT_FALSE(SaveEnabled());

        // The file now holds what was saved here: the next save asks nothing.
        ChooseAction(1, ACTION_NONE);
        ui->Click(IDC_SAVE);
        EXPECT_EQ(watcher.Seen().size(), 3u);
        EXPECT_EQ(ReadFileBytes(path), VALID_FILE);
    }
}

TEST_F(FileCommands, AFileDeletedMeanwhileIsSavedWithoutAQuestion)
{
    std::string path = Write("deleted.ivr", VALID_FILE);
    ModalWatcher watcher;
    watcher.ChooseFile(path);
    ui->Click(IDC_OPEN);
    MakeChange();
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    ui->Click(IDC_SAVE);
    EXPECT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(ReadFileBytes(path), VALID_FILE_CHANGED);
    EXPECT_FALSE(SaveEnabled());
}

TEST_F(FileCommands, NoToAnotherOperatorsChangeWhileClosingKeepsTheDialogOpen)
{
    std::string path = Write("closing.ivr", VALID_FILE);
    ModalWatcher watcher;
    watcher.ChooseFile(path);
    ui->Click(IDC_OPEN);
    MakeChange();
    ASSERT_TRUE(WriteFileBytes(path, OTHERS_FILE));
    watcher.Press(IDYES);  // save the changes
    watcher.Press(IDNO);   // but not over the other's
    ui->Click(IDOK);
    ASSERT_EQ(watcher.Seen().size(), 3u);
    ExpectBox(watcher.Seen()[1], SavePrompt(), 3);
    EXPECT_EQ(watcher.Seen()[2].kind, SeenDialog::MessageBox);
    EXPECT_TRUE(ui->Running());
    EXPECT_EQ(ReadFileBytes(path), OTHERS_FILE);
    ExpectChangeKept();
}
