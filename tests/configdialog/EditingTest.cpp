// The main dialog as the operator meets and edits it: the state right after
// start, actions and parameters, the wait time and the list selection.
#include <string.h>

#include "configdialog/ConfigDialogFixture.h"

namespace {

using MainDialogStart = ConfigDialogFixture;
using MainDialogEditing = ConfigDialogFixture;
using MainDialogWaitTime = ConfigDialogFixture;
using MainDialogSelection = ConfigDialogFixture;

const int DEFAULT_ROW = 12;
const int BUSY_ROW = 13;

bool SetClipboardText(const char* text)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, strlen(text) + 1);
    if (!block)
        return false;
    memcpy(GlobalLock(block), text, strlen(text) + 1);
    GlobalUnlock(block);
    if (!OpenClipboard(nullptr)) {
        GlobalFree(block);
        return false;
    }
    EmptyClipboard();
    bool set = SetClipboardData(CF_TEXT, block) != nullptr;
    if (!set)
        GlobalFree(block);
    CloseClipboard();
    return set;
}

} // namespace

TEST_F(MainDialogStart, ShowsTheDefaultConfiguration)
{
    EXPECT_EQ(WindowText(ui->Hwnd()), Ansi("Конфигуратор IVR"));
    ASSERT_EQ(ui->ListRows(IDC_COMMANDS), 14);
    const char* labels[14] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "#",
                              "По умолчанию", "Абонент занят"};
    for (int row = 0; row < 14; ++row) {
        EXPECT_EQ(Command(row), Ansi(labels[row])) << row;
        EXPECT_EQ(Action(row), ActionName(row == DEFAULT_ROW ? ACTION_DISCONNECT : ACTION_NONE)) << row;
        EXPECT_EQ(Param(row), "") << row;
    }
    EXPECT_EQ(ui->Text(IDC_WAIT_TIME), "10");
    EXPECT_EQ(ui->Text(IDC_IVR_FILE), "");
    EXPECT_EQ(ui->Text(IDC_GREETING), "");

    EXPECT_FALSE(ui->Enabled(IDC_SAVE));
    EXPECT_FALSE(ui->Enabled(IDC_LISTEN));
    EXPECT_FALSE(ui->Enabled(IDC_CLEAR_GREETING));
    EXPECT_TRUE(ui->Enabled(IDC_OPEN));
    EXPECT_TRUE(ui->Enabled(IDC_SAVE_AS));
    EXPECT_TRUE(ui->Enabled(IDC_CHOOSE_GREETING));

    // Row 0 selected, "Нет" in the action box, an empty and disabled parameter.
    EXPECT_EQ(ui->SelectedRow(IDC_COMMANDS), 0);
    EXPECT_EQ(ui->ComboSelection(IDC_ACTION), 0);
    EXPECT_EQ(ui->Text(IDC_PARAMETER), "");
    EXPECT_FALSE(ui->Enabled(IDC_PARAMETER));
}

TEST_F(MainDialogStart, ControlsAreSetUpAsTheDialogNeedsThem)
{
    HWND list = ui->Item(IDC_COMMANDS);
    const char* titles[3] = {"Команда", "Действие", "Параметр"};
    const int widths[3] = {120, 200, 80};
    for (int column = 0; column < 3; ++column) {
        char text[64] = {};
        LVCOLUMNA info = {};
        info.mask = LVCF_TEXT | LVCF_FMT;
        info.pszText = text;
        info.cchTextMax = sizeof text;
        ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&info)));
        EXPECT_EQ(std::string(text), Ansi(titles[column]));
        EXPECT_EQ(info.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
        EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0), widths[column]);
    }
    LVCOLUMNA none = {};
    none.mask = LVCF_FMT;
    EXPECT_FALSE(SendMessageA(list, LVM_GETCOLUMNA, 3, reinterpret_cast<LPARAM>(&none)));
    EXPECT_EQ(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), LVS_EX_FULLROWSELECT);

    ASSERT_EQ(ui->Send(IDC_ACTION, CB_GETCOUNT), 4);
    for (int item = 0; item < 4; ++item) {
        EXPECT_EQ(ui->ComboText(IDC_ACTION, item), ActionName(item));
        EXPECT_EQ(ui->Send(IDC_ACTION, CB_GETITEMDATA, item), item);
    }
    int low = -1, high = -1;
    ui->Send(IDC_WAIT_SPIN, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 60);
    EXPECT_EQ(ui->Send(IDC_PARAMETER, EM_GETLIMITTEXT), 16);  // the .ivr parameter field
}

TEST_F(MainDialogEditing, DefaultRowShowsDisconnectWithTheParameterDisabled)
{
    ui->SelectRow(IDC_COMMANDS, DEFAULT_ROW);
    EXPECT_EQ(ui->ComboSelection(IDC_ACTION), ACTION_DISCONNECT);
    EXPECT_FALSE(ui->Enabled(IDC_PARAMETER));
    // Looking at a row changes nothing.
    EXPECT_FALSE(SaveEnabled());
}

TEST_F(MainDialogEditing, ChoosingDialEnablesTheParameterAndMarksTheChange)
{
    ChooseAction(0, ACTION_DIAL);
    EXPECT_EQ(Action(0), ActionName(ACTION_DIAL));
    EXPECT_TRUE(ui->Enabled(IDC_PARAMETER));
    EXPECT_EQ(ui->Text(IDC_PARAMETER), "");
    EXPECT_TRUE(SaveEnabled());
    // The other rows keep theirs.
    EXPECT_EQ(Action(1), ActionName(ACTION_NONE));
    EXPECT_EQ(Action(DEFAULT_ROW), ActionName(ACTION_DISCONNECT));
}

TEST_F(MainDialogEditing, ParameterFieldIsEnabledOnlyForMenuAndDial)
{
    ui->SelectRow(IDC_COMMANDS, 4);
    const bool enabled[4] = {false, true, true, false};
    for (int action : {ACTION_MENU, ACTION_NONE, ACTION_DIAL, ACTION_DISCONNECT, ACTION_MENU}) {
        ui->SelectCombo(IDC_ACTION, action);
        EXPECT_EQ(ui->Enabled(IDC_PARAMETER), enabled[action]) << action;
        EXPECT_EQ(Action(4), ActionName(action));
    }
}

TEST_F(MainDialogEditing, TypingUpdatesTheParameterColumnAtEveryKeystroke)
{
    ChooseAction(3, ACTION_DIAL);
    std::string typed;
    for (char key : std::string("8-800")) {
        ui->Type(IDC_PARAMETER, std::string(1, key));
        typed += key;
        EXPECT_EQ(Param(3), typed);
    }
    ui->Type(IDC_PARAMETER, "\b");
    EXPECT_EQ(Param(3), "8-80");
    ui->Type(IDC_PARAMETER, Ansi("ф"));
    EXPECT_EQ(Param(3), "8-80" + Ansi("ф"));
    EXPECT_EQ(Param(2), "");
    EXPECT_EQ(Param(4), "");
}

TEST_F(MainDialogEditing, ParameterFieldTakesSixteenCharactersAndNoBlank)
{
    // The .ivr file reads a parameter from 16 columns and drops its blanks.
    ChooseAction(3, ACTION_MENU);
    ui->Type(IDC_PARAMETER, "sales menu");
    EXPECT_EQ(ui->Text(IDC_PARAMETER), "salesmenu");
    ui->Type(IDC_PARAMETER, "1234567890");
    EXPECT_EQ(ui->Text(IDC_PARAMETER), "salesmenu1234567");
    EXPECT_EQ(Param(3), "salesmenu1234567");

    // A paste with a blank is refused whole.
    if (!SetClipboardText("a b"))
        GTEST_SKIP() << "no clipboard: " << GetLastError();
    ui->Send(IDC_PARAMETER, EM_SETSEL, 0, -1);
    ui->Send(IDC_PARAMETER, WM_PASTE);
    EXPECT_EQ(ui->Text(IDC_PARAMETER), "salesmenu1234567");
    ASSERT_TRUE(SetClipboardText("ab"));
    ui->Send(IDC_PARAMETER, WM_PASTE);
    EXPECT_EQ(Param(3), "ab");
}

TEST_F(MainDialogEditing, EachActionKeepsItsOwnParameterText)
{
    ChooseAction(5, ACTION_DIAL);
    ui->Type(IDC_PARAMETER, "100");
    ui->SelectCombo(IDC_ACTION, ACTION_MENU);
    EXPECT_EQ(ui->Text(IDC_PARAMETER), "");
    EXPECT_EQ(Param(5), "");
    ui->Type(IDC_PARAMETER, "sales");
    EXPECT_EQ(Param(5), "sales");

    ui->SelectCombo(IDC_ACTION, ACTION_DIAL);
    EXPECT_EQ(ui->Text(IDC_PARAMETER), "100");
    EXPECT_EQ(Param(5), "100");
    ui->SelectCombo(IDC_ACTION, ACTION_NONE);
    EXPECT_EQ(Param(5), "");
    ui->SelectCombo(IDC_ACTION, ACTION_MENU);
    EXPECT_EQ(ui->Text(IDC_PARAMETER), "sales");
    EXPECT_EQ(Param(5), "sales");
}

TEST_F(MainDialogSelection, SelectingARowShowsItsSlot)
{
    ChooseAction(0, ACTION_DIAL);
    SetParameter("7");
    ChooseAction(1, ACTION_MENU);
    SetParameter("m1");

    ui->SelectRow(IDC_COMMANDS, 0);
    EXPECT_EQ(ui->ComboSelection(IDC_ACTION), ACTION_DIAL);
    EXPECT_EQ(ui->Text(IDC_PARAMETER), "7");
    ui->SelectRow(IDC_COMMANDS, BUSY_ROW);
    EXPECT_EQ(ui->ComboSelection(IDC_ACTION), ACTION_NONE);
    EXPECT_EQ(ui->Text(IDC_PARAMETER), "");
    ui->SelectRow(IDC_COMMANDS, 1);
    EXPECT_EQ(ui->ComboSelection(IDC_ACTION), ACTION_MENU);
    EXPECT_EQ(ui->Text(IDC_PARAMETER), "m1");
    // Showing a slot wrote nothing back.
    EXPECT_EQ(Param(0), "7");
    EXPECT_EQ(Param(BUSY_ROW), "");
}

TEST_F(MainDialogSelection, AClickOnAnEmptyPartOfTheListChangesNoSlot)
{
    ui->SelectRow(IDC_COMMANDS, DEFAULT_ROW);
    ASSERT_FALSE(SaveEnabled());

    // A point of the list below its last row.
    HWND list = ui->Item(IDC_COMMANDS);
    RECT last = {LVIR_BOUNDS, 0, 0, 0};
    ASSERT_TRUE(SendMessageA(list, LVM_GETITEMRECT, 13, reinterpret_cast<LPARAM>(&last)));
    RECT client;
    GetClientRect(list, &client);
    ASSERT_LT(last.bottom + 4, client.bottom) << "no empty space below the rows";
    LVHITTESTINFO hit = {};
    hit.pt = {20, (last.bottom + client.bottom) / 2};
    ASSERT_EQ(SendMessageA(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), -1);

    ui->ClickAt(IDC_COMMANDS, hit.pt.x, hit.pt.y);
    EXPECT_EQ(ui->SelectedRow(IDC_COMMANDS), -1);
    // The controls keep showing the slot that lost the selection.
    EXPECT_EQ(ui->ComboSelection(IDC_ACTION), ACTION_DISCONNECT);
    EXPECT_FALSE(ui->Enabled(IDC_PARAMETER));

    ui->SelectCombo(IDC_ACTION, ACTION_DIAL);
    ui->Type(IDC_PARAMETER, "5");
    EXPECT_TRUE(SaveEnabled());
    for (int row = 0; row < 14; ++row) {
        EXPECT_EQ(Action(row), ActionName(row == DEFAULT_ROW ? ACTION_DISCONNECT : ACTION_NONE)) << row;
        EXPECT_EQ(Param(row), "") << row;
    }
}

namespace {

// A click on an arrow of the up-down control, as the mouse makes it.
void ClickSpin(DialogRunner& ui, bool up)
{
    RECT rect;
    GetClientRect(ui.Item(IDC_WAIT_SPIN), &rect);
    int y = up ? rect.top + 2 : rect.bottom - 3;
    ui.ClickAt(IDC_WAIT_SPIN, (rect.left + rect.right) / 2, y);
}

} // namespace

TEST_F(MainDialogWaitTime, UpDownArrowsStayWithinZeroToSixty)
{
    ClickSpin(*ui, true);
    EXPECT_EQ(ui->Text(IDC_WAIT_TIME), "11");
    EXPECT_TRUE(SaveEnabled());
    for (int i = 0; i < 55; ++i)
        ClickSpin(*ui, true);
    EXPECT_EQ(ui->Text(IDC_WAIT_TIME), "60");
    ClickSpin(*ui, false);
    EXPECT_EQ(ui->Text(IDC_WAIT_TIME), "59");
    for (int i = 0; i < 65; ++i)
        ClickSpin(*ui, false);
    EXPECT_EQ(ui->Text(IDC_WAIT_TIME), "0");

    // The arrow keys in the field move it too.
    ui->PostKey(IDC_WAIT_TIME, VK_UP);
    ASSERT_TRUE(ui->Flush());
    EXPECT_TRUE(WaitFor([&] { return ui->Text(IDC_WAIT_TIME) == "1"; }));

    // And the configuration follows what the field shows.
    TempDir dir("configdialog-wait");
    std::string path = dir.File("wait.ivr");
    ModalWatcher watcher;
    watcher.ChooseFile(path);
    ui->Click(IDC_SAVE_AS);
    EXPECT_EQ(ReadFileBytes(path), "01           \r\n\r\n-    disconnect\r\n");
}
