// The common open and save dialogs, answered through the real dialog windows.
#include <gtest/gtest.h>

#include <windows.h>
#include <commdlg.h>

#include "app/CommonServices.h"
#include "common/ModalWatcher.h"
#include "common/TestUtil.h"

namespace {

const char IVR_FILTER[] = "IVR files (*.ivr)\0*.ivr\0All files (*.*)\0*.*\0";
const char WAV_FILTER[] = "Audio (*.wav)\0*.wav\0All files (*.*)\0*.*\0";
const int FILTER_LIST = 1136;

// The dialogs make the chosen folder the current one; put it back so that the
// test's folder can be removed.
class CurrentDirScope {
public:
    CurrentDirScope() { GetCurrentDirectoryA(sizeof dir_, dir_); }
    ~CurrentDirScope() { SetCurrentDirectoryA(dir_); }

private:
    char dir_[MAX_PATH] = {};
};

// Picks a filter pair in the dialog the way the operator does, then types the
// name and presses OK.
ModalWatcher::Action ChooseWithFilter(int filterIndex, const std::string& path)
{
    return [filterIndex, path](HWND dialog, const SeenDialog&) {
        HWND list = GetDlgItem(dialog, FILTER_LIST);
        SendMessageA(list, CB_SETCURSEL, filterIndex, 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(FILTER_LIST, CBN_SELCHANGE), (LPARAM)list);
        ModalWatcher::TypeFileName(dialog, path);
        ModalWatcher::PressButton(dialog, IDOK);
    };
}

std::string Save(const ModalWatcher::Action& answer, std::vector<SeenDialog>* seen = nullptr)
{
    ModalWatcher watcher;
    watcher.Then(answer);
    char out[256];
    memset(out, 'x', sizeof out);
    const char* result = ChooseFile(nullptr, 0, "Orlenta", IVR_FILTER, "", out);
    if (seen)
        *seen = watcher.Seen();
    return result ? std::string(result) : std::string("<null>");
}

} // namespace

TEST(ChooseFile, SaveCompletesANameWithoutExtensionWithIvr)
{
    TempDir dir("services-save");
    CurrentDirScope keepDir;  // restored before the folder goes
    struct Case {
        int filter;
        const char* typed;
        const char* chosen;
    };
    const Case cases[] = {
        {0, "menu", "menu.ivr"},             // "IVR files (*.ivr)"
        {1, "other", "other.ivr"},           // "All files (*.*)"
        {0, "dotted.", "dotted.ivr"},
        {1, "dotted.", "dotted.ivr"},
        {0, "notes.txt", "notes.txt"},       // an extension of its own stays
        {1, "menu.ivr", "menu.ivr"},
        {0, "my.dir\\menu", "my.dir\\menu.ivr"},
    };
    CreateDirectoryA(dir.File("my.dir").c_str(), nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.typed << " with filter " << c.filter);
        std::vector<SeenDialog> seen;
        EXPECT_EQ(Save(ChooseWithFilter(c.filter, dir.File(c.typed)), &seen), dir.File(c.chosen));
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].kind, SeenDialog::FileDialog);
        EXPECT_EQ(seen[0].caption, "Orlenta");
    }
}

TEST(ChooseFile, SaveCancelledGivesNull)
{
    ModalWatcher watcher;
    watcher.CancelFile();
    char out[256];
    EXPECT_EQ(ChooseFile(nullptr, 0, "Orlenta", IVR_FILTER, "", out), nullptr);
    EXPECT_EQ(watcher.Seen().size(), 1u);
}

TEST(ChooseFile, OpenReturnsAnExistingFileAsChosen)
{
    TempDir dir("services-open");
    CurrentDirScope keepDir;  // restored before the folder goes
    ASSERT_TRUE(WriteFileBytes(dir.File("hello.wav"), "RIFF"));
    ASSERT_TRUE(WriteFileBytes(dir.File("noext"), "x"));
    const DWORD flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;

    for (const char* name : {"hello.wav", "noext"}) {
        ModalWatcher watcher;
        watcher.Then(ChooseWithFilter(1, dir.File(name)));
        char out[256];
        const char* result = ChooseFile(nullptr, flags, "Orlenta", WAV_FILTER, "", out);
        ASSERT_NE(result, nullptr) << name;
        EXPECT_EQ(std::string(result), dir.File(name));
        auto seen = watcher.Seen();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].caption, "Orlenta");
    }

    ModalWatcher watcher;
    watcher.CancelFile();
    char out[256];
    EXPECT_EQ(ChooseFile(nullptr, flags, "Orlenta", WAV_FILTER, "", out), nullptr);
}

TEST(ChooseFile, InitialNameIsOffered)
{
    TempDir dir("services-initial");
    CurrentDirScope keepDir;  // restored before the folder goes
    std::string offered;
    ModalWatcher watcher;
    watcher.Then([&offered](HWND dialog, const SeenDialog&) {
        offered = ItemText(dialog, 1148);
        ModalWatcher::PressButton(dialog, IDCANCEL);
    });
    char out[256];
    EXPECT_EQ(ChooseFile(nullptr, 0, "Orlenta", IVR_FILTER, "start.ivr", out), nullptr);
    EXPECT_EQ(offered, "start.ivr");
}
