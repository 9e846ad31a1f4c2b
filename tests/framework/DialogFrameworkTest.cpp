// The dialog framework: the one dialog procedure, the ways a dialog ends, the
// dialog modes and the child table.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "app/CBaseDialog.h"
#include "app/CommonServices.h"
#include "common/DialogRunner.h"
#include "common/TestUtil.h"
#include "res/resource.h"

namespace {

const int NOT_A_DIALOG = 12345;
const int NO_SUCH_TEMPLATE = 4321;

// A dialog on the main template that counts what the framework calls.
class TestDialog : public CBaseDialog {
public:
    explicit TestDialog(CWindowObject* parent = nullptr, int mode = DLGMODE_MODAL, int templateId = IDD_CONFIG)
        : CBaseDialog(g_hInstance, parent, templateId, mode)
    {
    }
    ~TestDialog() override
    {
        if (deleted)
            *deleted = true;
    }

    bool OnInitDialog() override
    {
        ++inits;
        CBaseDialog::OnInitDialog();
        return initAnswer;
    }
    bool OnClose() override
    {
        ++closes;
        if (refuseClose)
            return false;
        if (keepRegistered)
            return true;
        return CBaseDialog::OnClose();
    }
    void OnCommand(HWND hwnd, int id, HWND control, int code) override
    {
        ++commands;
        CBaseDialog::OnCommand(hwnd, id, control, code);
    }
    bool OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        {
            std::lock_guard<std::mutex> hold(lock);
            messages.push_back(message);
        }
        CBaseDialog::OnMessage(hwnd, message, wParam, lParam);
        return message == claimed;
    }
    std::vector<UINT> Messages()
    {
        std::lock_guard<std::mutex> hold(lock);
        return messages;
    }

    std::atomic<int> inits{0};
    std::atomic<int> closes{0};
    std::atomic<int> commands{0};
    std::atomic<bool> refuseClose{false};
    bool keepRegistered = false;  // OnClose without the base step: stays in the parent's table
    bool initAnswer = true;
    UINT claimed = 0;
    bool* deleted = nullptr;

private:
    std::mutex lock;
    std::vector<UINT> messages;
};

// A window object that is not a dialog, offered its parent's messages.
class TestChild : public TestDialog {
public:
    TestChild(CWindowObject* parent, HWND window, bool answer)
        : TestDialog(parent, NOT_A_DIALOG), window_(window), answer_(answer)
    {
    }
    HWND GetHwnd() override { return window_; }
    bool OnMessage(HWND, UINT message, WPARAM, LPARAM) override
    {
        seen.push_back(message);
        return answer_;
    }
    std::vector<UINT> seen;

private:
    HWND window_;
    bool answer_;
};

HWND PlainWindow()
{
    return CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, g_hInstance, nullptr);
}

BOOL CALLBACK CountWindow(HWND, LPARAM param)
{
    ++*reinterpret_cast<int*>(param);
    return TRUE;
}

int ThreadWindowCount()
{
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

INT_PTR RunDirectly(TestDialog* dialog)
{
    return DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_CONFIG), nullptr, CBaseDialog::DialogProc,
                           reinterpret_cast<LPARAM>(dialog));
}

} // namespace

// ---- The dialog procedure ----

TEST(DialogProc, MessagesBeforeInitDialogReachNoObjectAndAnswerZero)
{
    HWND plain = PlainWindow();
    ASSERT_TRUE(plain);
    NMHDR header = {};
    EXPECT_EQ(CBaseDialog::DialogProc(plain, WM_SETFONT, 0, 0), 0);
    EXPECT_EQ(CBaseDialog::DialogProc(plain, WM_COMMAND, IDOK, 0), 0);
    EXPECT_EQ(CBaseDialog::DialogProc(plain, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header)), 0);
    EXPECT_EQ(CBaseDialog::DialogProc(plain, WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(IsWindow(plain));
    DestroyWindow(plain);

    // In a real dialog WM_SETFONT comes before WM_INITDIALOG: the object never sees it.
    TestDialog dialog;
    DialogRunner ui;
    ASSERT_TRUE(ui.Start(&dialog));
    ui.PostKey(IDC_COMMANDS, VK_ESCAPE);
    ASSERT_TRUE(ui.WaitEnded());
    std::vector<UINT> seen = dialog.Messages();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), static_cast<UINT>(WM_INITDIALOG));
    EXPECT_EQ(std::count(seen.begin(), seen.end(), static_cast<UINT>(WM_SETFONT)), 0);
}

TEST(DialogProc, InitDialogIsAnsweredZeroUnlessOnMessageClaimsIt)
{
    HWND plain = PlainWindow();
    TestDialog dialog(nullptr, NOT_A_DIALOG);
    dialog.initAnswer = true;
    EXPECT_EQ(CBaseDialog::DialogProc(plain, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&dialog)), 0);
    EXPECT_EQ(dialog.inits, 1);
    EXPECT_EQ(dialog.GetHwnd(), plain);
    dialog.initAnswer = false;
    EXPECT_EQ(CBaseDialog::DialogProc(plain, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&dialog)), 0);

    // Every later message reaches OnMessage too, after its own operation.
    dialog.claimed = WM_INITDIALOG;
    EXPECT_EQ(CBaseDialog::DialogProc(plain, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&dialog)), 1);
    dialog.claimed = WM_COMMAND;
    EXPECT_EQ(CBaseDialog::DialogProc(plain, WM_COMMAND, 1234, 0), 1);
    EXPECT_EQ(dialog.commands, 1);
    DestroyWindow(plain);
}

TEST(DialogProc, RefusedCloseAnswersMinusOneAndCallsOnCloseOnce)
{
    HWND plain = PlainWindow();
    TestDialog dialog(nullptr, NOT_A_DIALOG);
    CBaseDialog::DialogProc(plain, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&dialog));
    dialog.refuseClose = true;
    EXPECT_EQ(CBaseDialog::DialogProc(plain, WM_CLOSE, 0, 0), -1);
    EXPECT_EQ(dialog.closes, 1);
    dialog.refuseClose = false;
    EXPECT_EQ(CBaseDialog::DialogProc(plain, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(dialog.closes, 3);  // asked, then once more from Close
    DestroyWindow(plain);
}

// ---- Ending a modal dialog ----

TEST(ModalDialog, RefusedCloseKeepsTheWindowOpen)
{
    TestDialog dialog;
    dialog.refuseClose = true;
    DialogRunner ui;
    ASSERT_TRUE(ui.Start(&dialog));
    PostMessageA(ui.Hwnd(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(ui.Flush());
    ASSERT_TRUE(WaitFor([&] { return dialog.closes == 1; }));
    EXPECT_TRUE(ui.Running());
    EXPECT_TRUE(IsWindowVisible(ui.Hwnd()));

    dialog.refuseClose = false;
    PostMessageA(ui.Hwnd(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(ui.WaitEnded());
    EXPECT_EQ(dialog.closes, 3);
    EXPECT_FALSE(IsWindow(ui.Hwnd()));
}

TEST(ModalDialog, EscapeRunsOnCloseTwiceAndEndsWithZero)
{
    TestDialog dialog;
    DialogRunner ui;
    ASSERT_TRUE(ui.Start([&] { return RunDirectly(&dialog); }));
    ui.PostKey(IDC_COMMANDS, VK_ESCAPE);
    ASSERT_TRUE(ui.WaitEnded());
    EXPECT_EQ(ui.Result(), 0);
    EXPECT_EQ(dialog.closes, 2);
    EXPECT_EQ(dialog.inits, 1);
}

TEST(ModalDialog, EnterPressesTheDefaultButtonAndEndsTheDialog)
{
    TestDialog dialog;
    DialogRunner ui;
    ASSERT_TRUE(ui.Start([&] { return RunDirectly(&dialog); }));
    ui.PostKey(IDC_COMMANDS, VK_RETURN);
    ASSERT_TRUE(ui.WaitEnded());
    EXPECT_EQ(ui.Result(), 0);
    EXPECT_EQ(dialog.closes, 2);
}

TEST(ModalDialog, RunReturnsTrueOnceTheDialogHasEnded)
{
    TestDialog dialog;
    DialogRunner ui;
    ASSERT_TRUE(ui.Start(&dialog));
    EXPECT_TRUE(ui.Running());
    ui.Click(IDOK);
    ASSERT_TRUE(ui.WaitEnded());
    EXPECT_EQ(ui.Result(), 1);
    // The handle of the ended window stays in the object.
    EXPECT_EQ(dialog.GetHwnd(), ui.Hwnd());
}

TEST(ModalDialog, CaptionAndIconCalls)
{
    TestDialog dialog;
    DialogRunner ui;
    ASSERT_TRUE(ui.Start(&dialog));
    EXPECT_EQ(WindowText(ui.Hwnd()), Ansi("Конфигуратор IVR"));
    EXPECT_TRUE(dialog.SetCaption(IDS_APP_TITLE));
    EXPECT_EQ(WindowText(ui.Hwnd()), "Orlenta");
    EXPECT_FALSE(dialog.SetCaption(9999));
    EXPECT_EQ(WindowText(ui.Hwnd()), "Orlenta");
    EXPECT_FALSE(dialog.SetIcon(2, MAKEINTRESOURCEA(1)));
    EXPECT_FALSE(dialog.SetIcon(ICON_BIG, MAKEINTRESOURCEA(4242)));  // the program has no icon
    ui.Click(IDOK);
    ASSERT_TRUE(ui.WaitEnded());
}

// ---- Modes ----

TEST(DialogModes, AnOtherModeCreatesNoWindow)
{
    TestDialog object(nullptr, NOT_A_DIALOG);
    int before = ThreadWindowCount();
    EXPECT_FALSE(object.Run());
    EXPECT_EQ(ThreadWindowCount(), before);
    EXPECT_EQ(object.GetHwnd(), nullptr);
    EXPECT_EQ(object.inits, 0);
    EXPECT_TRUE(object.Close());  // ends no window, only runs OnClose
    EXPECT_EQ(object.closes, 1);
}

TEST(DialogModes, ModelessAndOwnedDialogsAreShownAndDestroyed)
{
    TestDialog parent(nullptr, DLGMODE_MODELESS);
    ASSERT_TRUE(parent.Run());
    HWND parentWindow = parent.GetHwnd();
    ASSERT_TRUE(IsWindow(parentWindow));
    EXPECT_TRUE(IsWindowVisible(parentWindow));
    EXPECT_EQ(parent.inits, 1);

    bool childDeleted = false;
    TestDialog child(&parent, DLGMODE_OWNED);
    child.deleted = &childDeleted;
    ASSERT_TRUE(child.Run());
    HWND childWindow = child.GetHwnd();
    ASSERT_TRUE(IsWindow(childWindow));
    EXPECT_EQ(GetWindow(childWindow, GW_OWNER), parentWindow);

    // Closing the parent closes its children; a dialog child unregisters
    // itself and is left to its owner.
    EXPECT_TRUE(parent.Close());
    EXPECT_FALSE(IsWindow(parentWindow));
    EXPECT_FALSE(IsWindow(childWindow));
    EXPECT_EQ(child.closes, 1);
    EXPECT_FALSE(childDeleted);
    EXPECT_FALSE(parent.FindChild(&child, nullptr));
    EXPECT_EQ(parent.GetChildCount(), 1);
}

TEST(DialogModes, AWindowWhoseObjectIsGoneIsLeftAlone)
{
    TestDialog* dialog = new TestDialog(nullptr, DLGMODE_MODELESS);
    ASSERT_TRUE(dialog->Run());
    HWND window = dialog->GetHwnd();
    delete dialog;
    SendMessageA(window, WM_COMMAND, IDOK, 0);
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
    DestroyWindow(window);
}

// ---- The child table ----

TEST(ChildTable, ConstructionRegistersAndClearedEntriesAreReused)
{
    TestDialog parent;
    TestDialog a(&parent), b(&parent);
    int index = -1;
    EXPECT_EQ(parent.GetChildCount(), 2);
    EXPECT_TRUE(parent.FindChild(&a, &index));
    EXPECT_EQ(index, 0);
    EXPECT_TRUE(parent.FindChild(&b, &index));
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(parent.FindChild(nullptr, &index));

    parent.RemoveChild(&a);
    EXPECT_EQ(parent.GetChildCount(), 2);
    EXPECT_FALSE(parent.FindChild(&a, &index));
    EXPECT_TRUE(parent.FindChild(nullptr, &index));
    EXPECT_EQ(index, 0);

    TestDialog c(&parent);
    EXPECT_EQ(parent.GetChildCount(), 2);
    EXPECT_TRUE(parent.FindChild(&c, &index));
    EXPECT_EQ(index, 0);

    TestDialog noTable;
    EXPECT_FALSE(noTable.FindChild(nullptr, &index));
    EXPECT_FALSE(noTable.FindChild(&a, &index));
}

TEST(ChildTable, TheSameChildMayBeRegisteredTwice)
{
    TestDialog parent;
    TestDialog child(&parent);
    parent.AddChild(&child);
    EXPECT_EQ(parent.GetChildCount(), 2);
    int index = -1;
    parent.RemoveChild(&child);  // clears the first entry only
    EXPECT_TRUE(parent.FindChild(&child, &index));
    EXPECT_EQ(index, 1);
    parent.RemoveChild(&child);
    EXPECT_FALSE(parent.FindChild(&child, &index));
    EXPECT_EQ(parent.GetChildCount(), 2);
}

TEST(ChildTable, CloseChildrenClearsEveryEntryAndDeletesOnlyWhatItOwns)
{
    TestDialog parent;
    bool dialogDeleted = false, stubbornDeleted = false, objectDeleted = false;

    // A dialog child whose OnClose unregisters it: closed, left to its owner.
    TestDialog dialogChild(&parent);
    dialogChild.deleted = &dialogDeleted;
    // A dialog child that stays registered after OnClose: the parent deletes it.
    TestDialog* stubborn = new TestDialog(&parent);
    stubborn->keepRegistered = true;
    stubborn->deleted = &stubbornDeleted;
    // A window object that is not a dialog: the parent deletes it.
    TestChild* object = new TestChild(&parent, nullptr, false);
    object->deleted = &objectDeleted;
    // A dialog registered by hand, without a parent of its own: cleared only.
    TestDialog orphan;
    parent.AddChild(&orphan);
    EXPECT_EQ(parent.GetChildCount(), 4);

    parent.CloseChildren();
    EXPECT_EQ(dialogChild.closes, 1);
    EXPECT_FALSE(dialogDeleted);
    EXPECT_TRUE(stubbornDeleted);
    EXPECT_TRUE(objectDeleted);
    EXPECT_EQ(orphan.closes, 1);
    EXPECT_EQ(parent.GetChildCount(), 4);
    for (CWindowObject* child : std::vector<CWindowObject*>{&dialogChild, &orphan})
        EXPECT_FALSE(parent.FindChild(child, nullptr));
    int index = -1;
    EXPECT_TRUE(parent.FindChild(nullptr, &index));
    EXPECT_EQ(index, 0);
    // Every entry is clear: four new children fill the table without growing it.
    TestDialog n1(&parent), n2(&parent), n3(&parent), n4(&parent);
    EXPECT_EQ(parent.GetChildCount(), 4);
}

TEST(ChildTable, ADialogChildRunTwiceLeavesItsEntryClear)
{
    TestDialog parent;
    TestDialog child(&parent);
    EXPECT_EQ(parent.GetChildCount(), 1);
    for (int run = 0; run < 2; ++run) {
        DialogRunner ui;
        ASSERT_TRUE(ui.Start(&child));
        ui.PostKey(IDC_COMMANDS, VK_ESCAPE);
        ASSERT_TRUE(ui.WaitEnded());
        EXPECT_FALSE(parent.FindChild(&child, nullptr));
        EXPECT_EQ(parent.GetChildCount(), 1);
    }
    EXPECT_EQ(child.inits, 2);
}

TEST(ChildTable, SetResInstanceReachesEveryRegisteredChild)
{
    TestDialog parent;
    TestDialog a(&parent), gone(&parent), b(&parent);
    parent.RemoveChild(&gone);
    HINSTANCE other = GetModuleHandleA("user32.dll");
    ASSERT_TRUE(other);

    parent.SetResInstance(other);  // icons and caption were never set: those calls fail harmlessly
    EXPECT_EQ(parent.GetResInstance(), other);
    EXPECT_EQ(parent.GetInstance(), g_hInstance);
    EXPECT_EQ(a.GetResInstance(), other);
    EXPECT_EQ(b.GetResInstance(), other);
    EXPECT_EQ(gone.GetResInstance(), g_hInstance);
}

TEST(ChildTable, MessagesAreOfferedToWindowChildrenThatAreNotDialogs)
{
    HWND window = PlainWindow();
    TestDialog parent;
    TestDialog dialogChild(&parent);  // dialogs are never offered messages
    TestChild first(&parent, window, true);
    TestChild second(&parent, window, false);
    TestChild windowless(&parent, nullptr, false);
    const UINT message = WM_APP + 7;

    EXPECT_FALSE(parent.RouteToChildren(window, message, 0, 0));
    EXPECT_EQ(first.seen, std::vector<UINT>{message});
    EXPECT_TRUE(second.seen.empty());  // the first child claimed it
    EXPECT_TRUE(windowless.seen.empty());
    EXPECT_TRUE(dialogChild.Messages().empty());

    parent.RemoveChild(&first);
    parent.RouteToChildren(window, message, 0, 0);
    EXPECT_EQ(second.seen, std::vector<UINT>{message});
    DestroyWindow(window);
}

TEST(ChildTable, ADialogThatFailsToOpenLeavesItsEntryClear)
{
    const struct {
        const char* what;
        int mode;
        int templateId;
        bool ownerGone;  // the parent's window has ended before the child runs
    } cases[] = {
        {"modal, no template", DLGMODE_MODAL, NO_SUCH_TEMPLATE, false},
        {"modeless, no template", DLGMODE_MODELESS, NO_SUCH_TEMPLATE, false},
        {"owned, no template", DLGMODE_OWNED, NO_SUCH_TEMPLATE, false},
        {"modal, owner gone", DLGMODE_MODAL, IDD_CONFIG, true},
        {"owned, owner gone", DLGMODE_OWNED, IDD_CONFIG, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestDialog parent(nullptr, DLGMODE_MODELESS);
        ASSERT_TRUE(parent.Run());
        HWND parentWindow = parent.GetHwnd();
        if (c.ownerGone)
            DestroyWindow(parentWindow);
        int before = ThreadWindowCount();

        TestDialog* child = new TestDialog(&parent, c.mode, c.templateId);
        ASSERT_TRUE(parent.FindChild(child, nullptr));
        EXPECT_FALSE(child->Run());
        EXPECT_EQ(child->inits, 0);
        EXPECT_EQ(ThreadWindowCount(), before);
        // Nothing will run its OnClose: the failed run itself leaves the table.
        ASSERT_FALSE(parent.FindChild(child, nullptr));
        delete child;

        // The parent's messages and its close go through a table with no dead entry.
        SendMessageA(parentWindow, WM_APP + 7, 0, 0);
        EXPECT_TRUE(parent.Close());
        int index = -1;
        EXPECT_TRUE(parent.FindChild(nullptr, &index));
        EXPECT_EQ(index, 0);
    }
}
