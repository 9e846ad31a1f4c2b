// The message boxes of the common services, read back as the real windows.
#include <gtest/gtest.h>

#include "app/CommonServices.h"
#include "common/ModalWatcher.h"
#include "common/TestUtil.h"
#include "res/resource.h"

namespace {

// What a box showed beyond the watcher's record: its owner and its icon.
struct BoxDetails {
    HWND owner = nullptr;
    HICON icon = nullptr;
};

// Queues an answer that also notes the box's owner and icon.
void PressNoting(ModalWatcher& watcher, int button, BoxDetails* details)
{
    watcher.Then([button, details](HWND box, const SeenDialog&) {
        details->owner = GetWindow(box, GW_OWNER);
        details->icon = (HICON)SendDlgItemMessageA(box, 1088, STM_GETICON, 0, 0);
        ModalWatcher::PressButton(box, button);
    });
}

// A plain top-level window to own boxes.
HWND MakeOwner()
{
    return CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

// Sets g_hMainWnd for one test and puts the old value back.
class MainWindowScope {
public:
    explicit MainWindowScope(HWND hwnd) : old_(g_hMainWnd) { g_hMainWnd = hwnd; }
    ~MainWindowScope() { g_hMainWnd = old_; }

private:
    HWND old_;
};

} // namespace

TEST(MessageBoxes, ShowMessageHasTheProgramCaptionAndGivesTheAnswer)
{
    struct Case {
        UINT flags;
        int press;
        size_t buttons;
        LPCSTR icon;
    };
    const Case cases[] = {
        {MB_YESNOCANCEL | MB_ICONEXCLAMATION, IDYES, 3, IDI_EXCLAMATION},
        {MB_YESNOCANCEL | MB_ICONEXCLAMATION, IDNO, 3, IDI_EXCLAMATION},
        {MB_YESNOCANCEL | MB_ICONEXCLAMATION, IDCANCEL, 3, IDI_EXCLAMATION},
        {MB_YESNO | MB_ICONEXCLAMATION, IDNO, 2, IDI_EXCLAMATION},
        {MB_OK | MB_ICONERROR, IDOK, 1, IDI_ERROR},
    };
    const std::string text = Ansi("Файл с таким именем уже существует. Перезаписать существующий файл?");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << c.flags << ", press " << c.press);
        ModalWatcher watcher;
        BoxDetails details;
        PressNoting(watcher, c.press, &details);
        EXPECT_EQ(ShowMessage(g_hInstance, nullptr, text.c_str(), c.flags), c.press);
        auto seen = watcher.Seen();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].caption, "Orlenta");
        EXPECT_EQ(seen[0].text, text);
        EXPECT_EQ(seen[0].buttons.size(), c.buttons);
        EXPECT_EQ(details.icon, LoadIconA(nullptr, c.icon));
        EXPECT_EQ(details.owner, nullptr);
    }
}

TEST(MessageBoxes, ShowMessageIdTakesTheTextFromTheStringTable)
{
    HWND owner = MakeOwner();
    ASSERT_NE(owner, nullptr);
    ModalWatcher watcher;
    BoxDetails details;
    PressNoting(watcher, IDNO, &details);
    EXPECT_EQ(ShowMessageId(g_hInstance, owner, IDS_SAVE_CHANGES, MB_YESNOCANCEL | MB_ICONEXCLAMATION), IDNO);
    auto seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(Utf8(seen[0].text), "Сохранить изменения в текущей конфигурации IVR?");
    EXPECT_EQ(seen[0].caption, "Orlenta");
    EXPECT_EQ(seen[0].buttons.size(), 3u);
    EXPECT_EQ(details.owner, owner);
    DestroyWindow(owner);
}

TEST(MessageBoxes, ShowMessageFormatFillsTheStringTableFormat)
{
    ModalWatcher watcher;
    watcher.Press(IDOK);
    EXPECT_EQ(ShowMessageFormat(g_hInstance, nullptr, MB_OK, IDS_FAULT_PARAM_LONG, "5", 16), IDOK);
    auto seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(Utf8(seen[0].text), "параметр команды «5» длиннее 16 символов");
    EXPECT_EQ(seen[0].caption, "Orlenta");

    // A buffer too small for the text is cut and still terminated.
    char small[12];
    memset(small, 'x', sizeof small);
    FormatStringId(g_hInstance, small, sizeof small, IDS_ERROR_LINE, 123456789);
    EXPECT_EQ(Utf8(small), "Ошибка: 123");  // 11 bytes in code page 1251 and the terminator
}

TEST(MessageBoxes, MissingStringGivesAnEmptyText)
{
    ModalWatcher watcher;
    watcher.Press(IDOK);
    EXPECT_EQ(ShowMessageId(g_hInstance, nullptr, 9999, MB_OK), IDOK);
    auto seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "");
    EXPECT_EQ(seen[0].caption, "Orlenta");
}

TEST(MessageBoxes, DestroyedOwnerGivesCancelAndNoBox)
{
    HWND owner = MakeOwner();
    ASSERT_NE(owner, nullptr);
    DestroyWindow(owner);
    ModalWatcher watcher;
    EXPECT_EQ(ShowMessage(g_hInstance, owner, "text", MB_YESNO), IDCANCEL);
    EXPECT_EQ(ShowMessageId(g_hInstance, owner, IDS_SAVE_CHANGES, MB_YESNOCANCEL), IDCANCEL);
    // Both calls returned, so a box they had shown would have been met already.
    EXPECT_TRUE(watcher.Seen().empty());
}

TEST(MessageBoxes, SystemErrorReportHasContextCodeAndSystemText)
{
    HWND owner = MakeOwner();
    ASSERT_NE(owner, nullptr);
    MainWindowScope mainWindow(owner);
    ModalWatcher watcher;
    BoxDetails details;
    PressNoting(watcher, IDOK, &details);
    const std::string context = Ansi("Ошибка открытия файла конфигурации IVR");
    EXPECT_EQ(ReportSystemError(2, TRUE, context.c_str()), 2u);
    auto seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "Orlenta");
    EXPECT_EQ(seen[0].text, context + "\n" + Ansi("Ошибка: 2") + "\n" + SystemErrorText(2));
    EXPECT_FALSE(SystemErrorText(2).empty());
    EXPECT_EQ(seen[0].buttons.size(), 1u);
    EXPECT_EQ(details.icon, LoadIconA(nullptr, IDI_ERROR));
    EXPECT_EQ(details.owner, owner);
    DestroyWindow(owner);
}

TEST(MessageBoxes, SystemErrorReportWithoutContextOrSystemText)
{
    ModalWatcher watcher;
    watcher.Press(IDOK);
    watcher.Press(IDOK);
    EXPECT_EQ(ReportSystemError(5, TRUE, nullptr), 5u);
    // A code the system has no text for is still reported with its number.
    EXPECT_EQ(ReportSystemError(0x2FFFFFFF, TRUE, "ctx"), 0x2FFFFFFFu);
    auto seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, Ansi("Ошибка: 5") + "\n" + SystemErrorText(5));
    EXPECT_EQ(seen[1].text, "ctx\n" + Ansi("Ошибка: 805306367") + "\n");
}

TEST(MessageBoxes, SystemErrorReportShowsNothingForCodeZeroOrWhenNotAsked)
{
    ModalWatcher watcher;
    EXPECT_EQ(ReportSystemError(0, TRUE, "ctx"), 0u);
    EXPECT_EQ(ReportSystemError(2, FALSE, "ctx"), 2u);
    EXPECT_TRUE(watcher.Seen().empty());
}
