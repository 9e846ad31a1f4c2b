#include "config/CConfigDialog.h"

#include <commdlg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#include "app/CommonServices.h"
#include "audio/CVoiceFile.h"
#include "config/IvrFile.h"
#include "player/CPlayerDialog.h"
#include "res/resource.h"

namespace {

// Built-in texts, in code page 1251 as the ANSI functions show them.
// "Команда", "Действие", "Параметр"
const char* const kColumnTexts[3] = {
    "\xCA\xEE\xEC\xE0\xED\xE4\xE0",
    "\xC4\xE5\xE9\xF1\xF2\xE2\xE8\xE5",
    "\xCF\xE0\xF0\xE0\xEC\xE5\xF2\xF0",
};
const int kColumnWidths[3] = {120, 200, 80};

// Row labels of slots 0 to 13; the last two are "По умолчанию" and "Абонент занят".
const char* const kRowLabels[CONFIG_SHOWN_SLOTS] = {
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "#",
    "\xCF\xEE \xF3\xEC\xEE\xEB\xF7\xE0\xED\xE8\xFE",
    "\xC0\xE1\xEE\xED\xE5\xED\xF2 \xE7\xE0\xED\xFF\xF2",
};

// "Файл с таким именем уже существует. Перезаписать существующий файл?"
const char kOverwriteQuestion[] =
    "\xD4\xE0\xE9\xEB \xF1 \xF2\xE0\xEA\xE8\xEC \xE8\xEC\xE5\xED\xE5\xEC \xF3\xE6\xE5 "
    "\xF1\xF3\xF9\xE5\xF1\xF2\xE2\xF3\xE5\xF2. \xCF\xE5\xF0\xE5\xE7\xE0\xEF\xE8\xF1\xE0\xF2\xFC "
    "\xF1\xF3\xF9\xE5\xF1\xF2\xE2\xF3\xFE\xF9\xE8\xE9 \xF4\xE0\xE9\xEB?";

const char kIvrFilter[] = "IVR files (*.ivr)\0*.ivr\0All files (*.*)\0*.*\0";
const char kWavFilter[] = "Audio (*.wav)\0*.wav\0All files (*.*)\0*.*\0";

const int kMaxWaitSeconds = 60;

// String-table entry that names an action code.
UINT ActionNameId(int action)
{
    return (action >= ACTION_NONE && action <= ACTION_DISCONNECT) ? IDS_ACTION_NONE + action
                                                                  : IDS_ACTION_UNKNOWN;
}

// The parameter text that belongs to the slot's current action; null for a
// code that has none.
char* CurrentParam(CommandSlot* slot)
{
    if (!slot || slot->action < 0 || slot->action >= CONFIG_ACTION_TEXTS)
        return nullptr;
    return slot->paramText[slot->action];
}

} // namespace

CConfigDialog::CConfigDialog(HINSTANCE instance)
    : CBaseDialog(instance, nullptr, IDD_CONFIG, DLGMODE_MODAL)
{
    ready = false;
    memset(&config, 0, sizeof config);
    SetDefaults(&config);
    modified = false;
    // Registers itself as this dialog's child.
    player = new (std::nothrow) CPlayerDialog(GetResInstance(), this);
}

CConfigDialog::~CConfigDialog()
{
    if (player) {
        RemoveChild(player);
        // Its window has ended already (or never existed); this only runs its
        // OnClose, which releases a playback if one is left.
        player->Close();
        delete player;
        player = nullptr;
    }
}

bool CConfigDialog::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return CBaseDialog::OnMessage(hwnd, message, wParam, lParam);
}

bool CConfigDialog::OnInitDialog()
{
    HWND hwnd = GetHwnd();
    ready = false;
    modified = false;
    g_hMainWnd = hwnd;

    SendDlgItemMessageA(hwnd, IDC_WAIT_SPIN, UDM_SETRANGE32, 0, kMaxWaitSeconds);
    SendDlgItemMessageA(hwnd, IDC_PARAMETER, EM_LIMITTEXT, CONFIG_TEXT_SIZE - 1, 0);

    HWND list = GetDlgItem(hwnd, IDC_COMMANDS);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    // The widths are pixels at 96 DPI; the program is DPI aware, so they grow
    // with the system DPI as the dialog's font and controls do.
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = MulDiv(kColumnWidths[i], dpi, 96);
        column.pszText = const_cast<char*>(kColumnTexts[i]);
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    for (int i = 0; i < CONFIG_SHOWN_SLOTS; ++i) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        item.pszText = const_cast<char*>(kRowLabels[i]);
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    LVITEMA selection = {};
    selection.state = LVIS_SELECTED | LVIS_FOCUSED;
    selection.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&selection));

    HWND combo = GetDlgItem(hwnd, IDC_ACTION);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (int action = ACTION_NONE; action <= ACTION_DISCONNECT; ++action) {
        char name[64] = {};
        LoadStringA(GetResInstance(), ActionNameId(action), name, sizeof name);
        LRESULT index = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        SendMessageA(combo, CB_SETITEMDATA, index, action);
    }
    SendMessageA(combo, CB_SETCURSEL, 0, 0);

    RefreshList(&config);
    UpdateControls();
    ready = true;
    SetIcon(ICON_BIG, MAKEINTRESOURCEA(IDI_ORLENTA));
    SetIcon(ICON_SMALL, MAKEINTRESOURCEA(IDI_ORLENTA));
    return CBaseDialog::OnInitDialog();
}

void CConfigDialog::RefreshList(VoiceMenuConfig* record)
{
    HWND hwnd = GetHwnd();
    // The up-down writes its position into field 1011.
    SendDlgItemMessageA(hwnd, IDC_WAIT_SPIN, UDM_SETPOS, 0, MAKELPARAM(LOWORD(record->waitSeconds), 0));
    SetDlgItemTextA(hwnd, IDC_GREETING, record->greeting);

    HWND list = GetDlgItem(hwnd, IDC_COMMANDS);
    for (int row = 0; row < CONFIG_SHOWN_SLOTS; ++row) {
        CommandSlot* slot = &record->slots[row];
        char name[256] = {};
        LoadStringA(GetResInstance(), ActionNameId(slot->action), name, sizeof name);
        char empty[1] = {};
        char* param = CurrentParam(slot);

        LVITEMA item = {};
        item.iSubItem = 1;
        item.pszText = name;
        SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        item.iSubItem = 2;
        item.pszText = param ? param : empty;
        SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        SetRowSlot(row, slot);
    }
}

void CConfigDialog::ShowSlot(const CommandSlot* slot)
{
    bool wasReady = ready;
    ready = false;
    if (slot) {
        HWND hwnd = GetHwnd();
        HWND combo = GetDlgItem(hwnd, IDC_ACTION);
        int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            if (SendMessageA(combo, CB_GETITEMDATA, i, 0) == slot->action) {
                SendMessageA(combo, CB_SETCURSEL, i, 0);
                SetDlgItemTextA(hwnd, IDC_PARAMETER, slot->paramText[slot->action]);
                break;
            }
        }
    }
    if (wasReady)
        ready = true;
}

void CConfigDialog::UpdateControls()
{
    HWND hwnd = GetHwnd();
    LRESULT selected = SendDlgItemMessageA(hwnd, IDC_ACTION, CB_GETCURSEL, 0, 0);
    LRESULT action = SendDlgItemMessageA(hwnd, IDC_ACTION, CB_GETITEMDATA, selected, 0);
    bool hasGreeting = config.greeting[0] != '\0';

    const struct {
        int id;
        bool enable;
    } states[] = {
        {IDC_PARAMETER, action != ACTION_NONE && action != ACTION_DISCONNECT},
        {IDC_LISTEN, hasGreeting},
        {IDC_CLEAR_GREETING, hasGreeting},
        {IDC_SAVE, modified},
    };
    for (const auto& state : states) {
        HWND control = GetDlgItem(hwnd, state.id);
        // A control that loses its enabled state hands the keyboard focus on first.
        if (!state.enable && control == GetFocus())
            SendMessageA(hwnd, WM_NEXTDLGCTL, 0, FALSE);
        EnableWindow(control, state.enable);
    }
}

CommandSlot* CConfigDialog::GetRowSlot(int row)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (row < 0 || !SendDlgItemMessageA(GetHwnd(), IDC_COMMANDS, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return nullptr;
    return reinterpret_cast<CommandSlot*>(item.lParam);
}

void CConfigDialog::SetRowSlot(int row, CommandSlot* slot)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    item.lParam = reinterpret_cast<LPARAM>(slot);
    SendDlgItemMessageA(GetHwnd(), IDC_COMMANDS, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

int CConfigDialog::SelectedRow()
{
    return static_cast<int>(
        SendDlgItemMessageA(GetHwnd(), IDC_COMMANDS, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void CConfigDialog::OnNotify(NMHDR* header)
{
    // Only a row selected or deselected changes what the controls show. The list
    // notifies much else (every item as it is filled or its text set, every
    // paint), and updating the controls for each of those slowed the start-up.
    if (header && header->idFrom == IDC_COMMANDS && header->code == LVN_ITEMCHANGED) {
        NMLISTVIEW* change = reinterpret_cast<NMLISTVIEW*>(header);
        // Selected or deselected: the row's slot goes to the editing controls.
        if ((change->uNewState ^ change->uOldState) & LVIS_SELECTED) {
            ShowSlot(GetRowSlot(change->iItem));
            UpdateControls();
        }
    }
}

void CConfigDialog::OnCommand(HWND hwnd, int id, HWND control, int code)
{
    if (ready) {
        if (code == CBN_SELCHANGE || code == EN_CHANGE)
            modified = true;

        switch (id) {
        case IDOK:
        case IDCANCEL:
            if (modified) {
                int answer = AskSaveChanges();
                if (answer == IDYES) {
                    if (!Save()) {
                        UpdateControls();
                        return;  // the dialog stays open with its changes
                    }
                } else if (answer == IDNO) {
                    modified = false;
                } else {
                    UpdateControls();
                    return;
                }
            }
            break;
        case IDC_OPEN:
            Open();
            break;
        case IDC_SAVE:
            Save();
            break;
        case IDC_SAVE_AS:
            SaveAs();
            break;
        case IDC_CHOOSE_GREETING:
            ChooseGreeting();
            break;
        case IDC_LISTEN:
            Listen();
            break;
        case IDC_CLEAR_GREETING:
            ClearGreeting();
            break;
        case IDC_ACTION:
            if (code == CBN_SELCHANGE) {
                LRESULT selected = SendDlgItemMessageA(hwnd, IDC_ACTION, CB_GETCURSEL, 0, 0);
                if (selected == CB_ERR)
                    break;
                int action = static_cast<int>(SendDlgItemMessageA(hwnd, IDC_ACTION, CB_GETITEMDATA, selected, 0));
                ready = false;
                for (int row = SelectedRow(); row >= 0;
                     row = static_cast<int>(SendDlgItemMessageA(hwnd, IDC_COMMANDS, LVM_GETNEXTITEM, row, LVNI_SELECTED))) {
                    CommandSlot* slot = GetRowSlot(row);
                    if (!slot)
                        continue;
                    slot->action = action;
                    SetDlgItemTextA(hwnd, IDC_PARAMETER, CurrentParam(slot));
                }
                RefreshList(&config);
                ready = true;
            }
            break;
        case IDC_PARAMETER:
            if (code == EN_CHANGE) {
                char text[CONFIG_TEXT_SIZE] = {};
                GetDlgItemTextA(hwnd, IDC_PARAMETER, text, CONFIG_TEXT_SIZE - 1);
                ready = false;
                for (int row = SelectedRow(); row >= 0;
                     row = static_cast<int>(SendDlgItemMessageA(hwnd, IDC_COMMANDS, LVM_GETNEXTITEM, row, LVNI_SELECTED))) {
                    char* param = CurrentParam(GetRowSlot(row));
                    if (!param)
                        continue;
                    memset(param, 0, CONFIG_TEXT_SIZE);
                    strcpy(param, text);
                }
                RefreshList(&config);
                ready = true;
            }
            break;
        case IDC_WAIT_TIME:
            if (code == EN_CHANGE)
                ReadWaitTime();
            break;
        default:
            break;
        }
    }
    UpdateControls();
    CBaseDialog::OnCommand(hwnd, id, control, code);
}

bool CConfigDialog::OnClose()
{
    if (modified) {
        int answer = AskSaveChanges();
        if (answer == IDYES) {
            if (!Save())
                return false;
        } else if (answer == IDCANCEL) {
            return false;
        }
        modified = false;
    }
    return CBaseDialog::OnClose();
}

int CConfigDialog::AskSaveChanges()
{
    return ShowMessageId(GetResInstance(), GetHwnd(), IDS_SAVE_CHANGES, MB_YESNOCANCEL | MB_ICONEXCLAMATION);
}

void CConfigDialog::ReadWaitTime()
{
    char text[CONFIG_TEXT_SIZE] = {};
    GetDlgItemTextA(GetHwnd(), IDC_WAIT_TIME, text, CONFIG_TEXT_SIZE - 1);
    config.waitSeconds = static_cast<int>(strtol(text, nullptr, 10));
}

bool CConfigDialog::AskFileName(DWORD flags, const char* filter, char* name)
{
    char title[CONFIG_TEXT_SIZE] = {};
    LoadStringA(GetResInstance(), IDS_APP_TITLE, title, sizeof title);
    return ChooseFile(GetHwnd(), flags, title, filter, "", name) && name[0];
}

void CConfigDialog::ShowBadConfigFile(const char* fileName)
{
    char format[CONFIG_TEXT_SIZE] = {};
    LoadStringA(GetResInstance(), IDS_IVR_BAD_FORMAT, format, sizeof format);
    char message[512] = {};
    snprintf(message, sizeof message, format, fileName);
    ShowMessage(GetResInstance(), GetHwnd(), message, MB_OK | MB_ICONHAND);
}

void CConfigDialog::Open()
{
    HWND hwnd = GetHwnd();
    char fileName[CONFIG_TEXT_SIZE] = {};
    // The current configuration stays untouched until the new file has been read whole.
    VoiceMenuConfig* scratch = static_cast<VoiceMenuConfig*>(AllocBlock(sizeof(VoiceMenuConfig)));
    if (!scratch)
        return;

    for (;;) {
        if (!AskFileName(OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST, kIvrFilter, fileName)) {
            FreeBlock(scratch);
            return;
        }
        if (ReadIvrFile(fileName, scratch))
            break;
        ShowBadConfigFile(fileName);
    }

    if (modified) {
        int answer = AskSaveChanges();
        if ((answer == IDYES && !Save()) || (answer != IDYES && answer != IDNO)) {
            FreeBlock(scratch);
            return;
        }
    }

    // Read again: the save just made may have written this very file. A file
    // that has gone bad meanwhile must not leave a half-read configuration.
    if (!ReadIvrFile(fileName, scratch)) {
        ShowBadConfigFile(fileName);
        FreeBlock(scratch);
        return;
    }
    memcpy(&config, scratch, sizeof config);
    FreeBlock(scratch);

    SetDlgItemTextA(hwnd, IDC_IVR_FILE, fileName);
    RefreshList(&config);
    // The up-down holds only 0 to 60; keep the value it shows, even when its
    // text did not change and so sent no notification.
    ReadWaitTime();
    // The editing controls follow the selected row to its new slot at once.
    int row = SelectedRow();
    if (row >= 0)
        ShowSlot(GetRowSlot(row));
    modified = false;
}

bool CConfigDialog::Save()
{
    char name[CONFIG_TEXT_SIZE] = {};
    GetDlgItemTextA(GetHwnd(), IDC_IVR_FILE, name, CONFIG_TEXT_SIZE - 1);
    if (!name[0])
        return SaveAs();
    // A failed write keeps the flag: the changes are still not on disk.
    if (!WriteIvrFile(name, &config))
        return false;
    modified = false;
    return true;
}

bool CConfigDialog::SaveAs()
{
    HWND hwnd = GetHwnd();
    char name[CONFIG_TEXT_SIZE] = {};
    for (;;) {
        if (!AskFileName(0, kIvrFilter, name))
            return false;
        if (FileExists(name) &&
            ShowMessage(GetResInstance(), hwnd, kOverwriteQuestion, MB_YESNO | MB_ICONEXCLAMATION) == IDNO)
            continue;
        break;
    }
    // Its change notification marks the configuration modified until written.
    SetDlgItemTextA(hwnd, IDC_IVR_FILE, name);
    return Save();
}

void CConfigDialog::ChooseGreeting()
{
    HWND hwnd = GetHwnd();
    char fileName[CONFIG_TEXT_SIZE] = {};
    for (;;) {
        if (!AskFileName(OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST, kWavFilter, fileName))
            return;
        // Only the header is read and checked; nothing plays.
        CVoiceFile check(fileName);
        if (check.Open()) {
            check.Close();
            // Its change notification marks the configuration modified.
            SetDlgItemTextA(hwnd, IDC_GREETING, fileName);
            lstrcpynA(config.greeting, fileName, sizeof config.greeting);
            return;
        }
        char message[REJECTION_MESSAGE_SIZE] = {};
        CPlayerDialog::BuildRejectionMessage(GetResInstance(), check, message, sizeof message);
        ShowMessage(GetResInstance(), hwnd, message, MB_OK | MB_ICONHAND);
    }
}

void CConfigDialog::ClearGreeting()
{
    memset(config.greeting, 0, sizeof config.greeting);
    SetDlgItemTextA(GetHwnd(), IDC_GREETING, "");
}

void CConfigDialog::GreetingPath(char* path)
{
    lstrcpynA(path, config.greeting, CONFIG_TEXT_SIZE);
    if (strchr(config.greeting, '\\') || strchr(config.greeting, ':'))
        return;
    char ivrFile[CONFIG_TEXT_SIZE] = {};
    GetDlgItemTextA(GetHwnd(), IDC_IVR_FILE, ivrFile, CONFIG_TEXT_SIZE - 1);
    char folder[CONFIG_TEXT_SIZE] = {};
    GetDirPart(ivrFile, folder, sizeof folder);
    if (!folder[0])
        return;
    char beside[CONFIG_TEXT_SIZE] = {};
    int length = snprintf(beside, sizeof beside, "%s\\%s", folder, config.greeting);
    if (length > 0 && length < CONFIG_TEXT_SIZE && FileExists(beside))
        lstrcpynA(path, beside, CONFIG_TEXT_SIZE);
}

void CConfigDialog::Listen()
{
    if (!player)
        return;
    char path[CONFIG_TEXT_SIZE] = {};
    GreetingPath(path);
    player->playOnOpen = false;
    if (!FileExists(path)) {
        // The player would keep and play the file of its previous run: say
        // instead that this greeting cannot be found.
        CVoiceFile missing(path);
        missing.Open();
        char message[REJECTION_MESSAGE_SIZE] = {};
        CPlayerDialog::BuildRejectionMessage(GetResInstance(), missing, message, sizeof message);
        ShowMessage(GetResInstance(), GetHwnd(), message, MB_OK | MB_ICONHAND);
        return;
    }
    player->SetMessageFile(path);
    player->Run();
}
