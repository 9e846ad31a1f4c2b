// Every way of closing the main dialog: without changes it just ends; with
// changes it asks once, and Yes, No and Cancel do what they say.
#include "configdialog/ConfigDialogFixture.h"

namespace {

enum class Way { CloseBox, AltF4, CloseButton, Enter, Escape };

const char* WayName(Way way)
{
    switch (way) {
    case Way::CloseBox: return "CloseBox";
    case Way::AltF4: return "AltF4";
    case Way::CloseButton: return "CloseButton";
    case Way::Enter: return "Enter";
    case Way::Escape: return "Escape";
    }
    return "?";
}

class ClosePrompt : public ConfigDialogFixture, public ::testing::WithParamInterface<Way> {
protected:
    ClosePrompt() : dir("configdialog-close") {}

    // Closes the operator's way and waits until the dialog has handled it.
    void CloseTheDialog()
    {
        switch (GetParam()) {
        case Way::CloseBox: ui->PostCloseBox(); break;
        case Way::AltF4: ui->PostAltF4(); break;
        case Way::CloseButton: ui->Click(IDOK); break;
        case Way::Enter:
            // With the focus on a push button Enter presses that button.
            ui->Focus(IDC_COMMANDS);
            ui->PostKey(IDC_COMMANDS, VK_RETURN);
            break;
        case Way::Escape: ui->PostKey(IDC_COMMANDS, VK_ESCAPE); break;
        }
        ASSERT_TRUE(ui->Flush());
    }
    void MakeChange()
    {
        ChooseAction(2, ACTION_DIAL);
        SetParameter("42");
    }
    // Exactly one more box, the save-changes prompt, since the last look.
    void ExpectOnePrompt(ModalWatcher& watcher, size_t& count)
    {
        ASSERT_TRUE(watcher.WaitAllAnswered());
        ASSERT_TRUE(ui->Flush());
        std::vector<SeenDialog> seen = watcher.Seen();
        ASSERT_EQ(seen.size(), count + 1);
        EXPECT_EQ(seen[count].kind, SeenDialog::MessageBox);
        EXPECT_EQ(seen[count].caption, "Orlenta");
        EXPECT_EQ(Utf8(seen[count].text), Utf8(SavePrompt()));
        EXPECT_EQ(seen[count].buttons.size(), 3u);
        EXPECT_TRUE(seen[count].hasIcon);
        count = seen.size();
    }

    TempDir dir;
};

} // namespace

TEST_P(ClosePrompt, WithoutChangesTheDialogEndsWithoutAQuestion)
{
    ModalWatcher watcher;
    ui->SelectRow(IDC_COMMANDS, 12);  // looking is no change
    CloseTheDialog();
    ASSERT_TRUE(ui->WaitEnded());
    EXPECT_TRUE(watcher.Seen().empty());
}

TEST_P(ClosePrompt, CancelStaysNoDiscardsAndYesWithoutANameAsksForOne)
{
    MakeChange();
    ModalWatcher watcher;
    size_t seen = 0;

    watcher.Press(IDCANCEL);
    CloseTheDialog();
    ExpectOnePrompt(watcher, seen);
    EXPECT_TRUE(ui->Running());
    EXPECT_TRUE(SaveEnabled());
    EXPECT_EQ(Param(2), "42");

    // Yes on a configuration that was never saved: Save asks for a name;
    // cancelling that keeps the dialog open with its changes.
    watcher.Press(IDYES);
    watcher.CancelFile();
    CloseTheDialog();
    ASSERT_TRUE(watcher.WaitAllAnswered());
    ASSERT_TRUE(ui->Flush());
    ASSERT_EQ(watcher.Seen().size(), seen + 2);
    EXPECT_EQ(watcher.Seen()[seen].text, SavePrompt());
    EXPECT_EQ(watcher.Seen()[seen + 1].kind, SeenDialog::FileDialog);
    seen += 2;
    EXPECT_TRUE(ui->Running());
    EXPECT_TRUE(SaveEnabled());

    watcher.Press(IDNO);
    CloseTheDialog();
    ASSERT_TRUE(ui->WaitEnded());
    ExpectOnePrompt(watcher, seen);
}

TEST_P(ClosePrompt, YesSavesAndCloses)
{
    MakeChange();
    std::string path = dir.File("closing.ivr");
    ModalWatcher watcher;
    size_t seen = 0;
    watcher.Press(IDYES);
    watcher.ChooseFile(path);
    CloseTheDialog();
    ASSERT_TRUE(ui->WaitEnded());
    ASSERT_TRUE(watcher.WaitAllAnswered());
    ASSERT_EQ(watcher.Seen().size(), 2u);
    EXPECT_EQ(watcher.Seen()[0].text, SavePrompt());
    EXPECT_EQ(ReadFileBytes(path), "10           \r\n\r\n2    dial            42\r\n-    disconnect\r\n");
    (void)seen;
}

TEST_P(ClosePrompt, AfterASaveNothingIsAsked)
{
    MakeChange();
    std::string path = dir.File("saved.ivr");
    ModalWatcher watcher;
    watcher.ChooseFile(path);
    ui->Click(IDC_SAVE);
    ASSERT_FALSE(SaveEnabled());
    CloseTheDialog();
    ASSERT_TRUE(ui->WaitEnded());
    EXPECT_EQ(watcher.Seen().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(EveryWay, ClosePrompt,
                         ::testing::Values(Way::CloseBox, Way::AltF4, Way::CloseButton, Way::Enter, Way::Escape),
                         [](const ::testing::TestParamInfo<Way>& info) { return WayName(info.param); });
