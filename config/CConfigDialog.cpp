#include "config/CConfigDialog.h"

#include <commdlg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#include "app/CommonServices.h"
#include "app/ScopedWin.h"
#include "playback/CVoiceFile.h"
#include "convert/CConversionOffer.h"
#include "config/IvrFile.h"
#include "player/CPlayerDialog.h"
#include "player/RejectionMessage.h"
#include "res/resource.h"

namespace {

// Columns of the list view: header text and width in pixels at 96 DPI.
const struct {
    UINT textId;
    int width;
} COLUMNS[] = {
    {IDS_COLUMN_COMMAND, 120},
    {IDS_COLUMN_ACTION, 200},
    {IDS_COLUMN_PARAMETER, 80},
};

const char IVR_FILTER[] = "IVR files (*.ivr)\0*.ivr\0All files (*.*)\0*.*\0";
const char WAV_FILTER[] = "Audio (*.wav)\0*.wav\0All files (*.*)\0*.*\0";

const int MAX_WAIT_SECONDS = 60;

// The clipboard's text holds a blank (space, CR or LF).
bool ClipboardHasBlank(HWND owner)
{
    if (!OpenClipboard(owner))
        return false;
    bool blank = false;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* text = static_cast<const char*>(GlobalLock(data))) {
            blank = HasBlank(text);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return blank;
}

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

// The parameter field refuses a typed or pasted blank: the .ivr file drops every
// blank of a parameter, so what the field showed would not be what was saved.
// The refusal is a beep, not a balloon tip: balloons need version 6 of the
// common controls, and Wine's edit control shows none.
LRESULT CALLBACK ParameterEditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    // Enter and the other control keys belong to the dialog manager; only the
    // space is a blank that can be typed.
    if (message == WM_CHAR && wParam == ' ') {
        MessageBeep(MB_OK);
        return 0;
    }
    if (message == WM_PASTE && ClipboardHasBlank(hwnd)) {
        MessageBeep(MB_OK);
        return 0;
    }
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(hwnd, ParameterEditProc, 0);
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

} // namespace

CConfigDialog::CConfigDialog(HINSTANCE instance, CWindowObject* owner)
    : CBaseDialog(instance, owner, IDD_CONFIG, DLGMODE_MODAL)
{
    openOnStart_[0] = '\0';
    ready_ = false;
    memset(&config_, 0, sizeof config_);
    SetDefaults(&config_);
    modified_ = false;
    fileStamp_ = FileStamp();
    // Registers itself as this dialog's child.
    player_.reset(new (std::nothrow) CPlayerDialog(GetResInstance(), this));
}

CConfigDialog::~CConfigDialog()
{
    if (player_) {
        RemoveChild(player_.get());
        // Its window has ended already (or never existed); this only runs its
        // OnClose, which releases a playback if one is left.
        player_->Close();
        player_.reset();
    }
}

bool CConfigDialog::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return CBaseDialog::OnMessage(hwnd, message, wParam, lParam);
}

bool CConfigDialog::OnInitDialog()
{
    HWND hwnd = GetHwnd();
    ready_ = false;
    modified_ = false;
    g_hMainWnd = hwnd;

    SendDlgItemMessageA(hwnd, IDC_WAIT_SPIN, UDM_SETRANGE32, 0, MAX_WAIT_SECONDS);
    // The .ivr file reads a parameter from a field of this many characters.
    SendDlgItemMessageA(hwnd, IDC_PARAMETER, EM_LIMITTEXT, IVR_PARAM_CHARS, 0);
    SetWindowSubclass(GetDlgItem(hwnd, IDC_PARAMETER), ParameterEditProc, 0, 0);

    HWND list = GetDlgItem(hwnd, IDC_COMMANDS);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    // The widths are pixels at 96 DPI; the program is DPI aware, so they grow
    // with the system DPI as the dialog's font and controls do.
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    for (int i = 0; i < static_cast<int>(ARRAYSIZE(COLUMNS)); ++i) {
        char text[TEXT_SIZE] = {};
        LoadStringA(GetResInstance(), COLUMNS[i].textId, text, sizeof text);
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = MulDiv(COLUMNS[i].width, dpi, 96);
        column.pszText = text;
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    for (int i = 0; i < CONFIG_SHOWN_SLOTS; ++i) {
        char label[TEXT_SIZE] = {};
        GetSlotLabel(i, label, sizeof label);
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        item.pszText = label;
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

    RefreshList(&config_);
    UpdateControls();
    ready_ = true;
    SetIcon(ICON_BIG, MAKEINTRESOURCEA(IDI_ORLENTA));
    SetIcon(ICON_SMALL, MAKEINTRESOURCEA(IDI_ORLENTA));
    if (openOnStart_[0]) {
        OpenFile(openOnStart_);
        UpdateControls();
    }
    return CBaseDialog::OnInitDialog();
}

void CConfigDialog::OpenOnStart(const char* fileName)
{
    lstrcpynA(openOnStart_, fileName ? fileName : "", sizeof openOnStart_);
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
        char name[TEXT_SIZE] = {};
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
    bool wasReady = ready_;
    ready_ = false;
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
        ready_ = true;
}

void CConfigDialog::UpdateControls()
{
    HWND hwnd = GetHwnd();
    LRESULT selected = SendDlgItemMessageA(hwnd, IDC_ACTION, CB_GETCURSEL, 0, 0);
    LRESULT action = SendDlgItemMessageA(hwnd, IDC_ACTION, CB_GETITEMDATA, selected, 0);
    bool hasGreeting = config_.greeting[0] != '\0';

    const struct {
        int id;
        bool enable;
    } states[] = {
        {IDC_PARAMETER, action != ACTION_NONE && action != ACTION_DISCONNECT},
        {IDC_LISTEN, hasGreeting},
        {IDC_CLEAR_GREETING, hasGreeting},
        {IDC_SAVE, modified_},
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
    return NextSelectedRow(-1);
}

int CConfigDialog::NextSelectedRow(int row)
{
    return static_cast<int>(
        SendDlgItemMessageA(GetHwnd(), IDC_COMMANDS, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED));
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
    if (ready_) {
        if (code == CBN_SELCHANGE || code == EN_CHANGE)
            modified_ = true;
        if (!RunCommand(id, code)) {
            UpdateControls();
            return;  // the dialog stays open with its changes
        }
    }
    UpdateControls();
    CBaseDialog::OnCommand(hwnd, id, control, code);
}

bool CConfigDialog::RunCommand(int id, int code)
{
    switch (id) {
    case IDOK:
    case IDCANCEL:
        if (!ConfirmUnsavedChanges())
            return false;
        modified_ = false;
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
        if (code == CBN_SELCHANGE)
            OnActionChosen();
        break;
    case IDC_PARAMETER:
        if (code == EN_CHANGE)
            OnParameterChanged();
        break;
    case IDC_WAIT_TIME:
        if (code == EN_CHANGE)
            ReadWaitTime();
        break;
    default:
        break;
    }
    return true;
}

void CConfigDialog::OnActionChosen()
{
    HWND hwnd = GetHwnd();
    LRESULT selected = SendDlgItemMessageA(hwnd, IDC_ACTION, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR)
        return;
    int action = static_cast<int>(SendDlgItemMessageA(hwnd, IDC_ACTION, CB_GETITEMDATA, selected, 0));
    ready_ = false;
    for (int row = SelectedRow(); row >= 0; row = NextSelectedRow(row)) {
        CommandSlot* slot = GetRowSlot(row);
        if (!slot)
            continue;
        slot->action = action;
        SetDlgItemTextA(hwnd, IDC_PARAMETER, CurrentParam(slot));
    }
    RefreshList(&config_);
    ready_ = true;
}

void CConfigDialog::OnParameterChanged()
{
    char text[TEXT_SIZE] = {};
    GetDlgItemTextA(GetHwnd(), IDC_PARAMETER, text, TEXT_SIZE - 1);
    ready_ = false;
    for (int row = SelectedRow(); row >= 0; row = NextSelectedRow(row)) {
        char* param = CurrentParam(GetRowSlot(row));
        if (!param)
            continue;
        memset(param, 0, TEXT_SIZE);
        strcpy(param, text);
    }
    RefreshList(&config_);
    ready_ = true;
}

bool CConfigDialog::OnClose()
{
    if (!ConfirmUnsavedChanges())
        return false;
    modified_ = false;
    return CBaseDialog::OnClose();
}

bool CConfigDialog::ConfirmUnsavedChanges()
{
    if (!modified_)
        return true;
    switch (AskSaveChanges()) {
    case IDYES:
        return Save();
    case IDNO:
        return true;
    default:
        return false;
    }
}

int CConfigDialog::AskSaveChanges()
{
    return ShowMessageId(GetResInstance(), GetHwnd(), IDS_SAVE_CHANGES, MB_YESNOCANCEL | MB_ICONEXCLAMATION);
}

void CConfigDialog::ReadWaitTime()
{
    char text[TEXT_SIZE] = {};
    GetDlgItemTextA(GetHwnd(), IDC_WAIT_TIME, text, TEXT_SIZE - 1);
    config_.waitSeconds = static_cast<int>(strtol(text, nullptr, 10));
}

bool CConfigDialog::AskFileName(DWORD flags, const char* filter, char* name)
{
    char title[TEXT_SIZE] = {};
    LoadStringA(GetResInstance(), IDS_APP_TITLE, title, sizeof title);
    return ChooseFile(GetHwnd(), flags, title, filter, "", name) && name[0];
}

void CConfigDialog::ShowBadConfigFile(const char* fileName)
{
    ShowMessageFormat(GetResInstance(), GetHwnd(), MB_OK | MB_ICONHAND, IDS_IVR_BAD_FORMAT, fileName);
}

void CConfigDialog::Open()
{
    char fileName[TEXT_SIZE] = {};
    // The current configuration stays untouched until the new file has been read whole.
    ScopedBlock block(AllocBlock(sizeof(VoiceMenuConfig)));
    VoiceMenuConfig* scratch = block.As<VoiceMenuConfig>();
    if (!scratch)
        return;

    for (;;) {
        if (!AskFileName(OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST, IVR_FILTER, fileName))
            return;
        if (ReadIvrFile(fileName, scratch))
            break;
        ShowBadConfigFile(fileName);
    }
    OpenFile(fileName);
}

void CConfigDialog::OpenFile(const char* fileName)
{
    ScopedBlock block(AllocBlock(sizeof(VoiceMenuConfig)));
    VoiceMenuConfig* scratch = block.As<VoiceMenuConfig>();
    if (!scratch)
        return;

    if (!ConfirmUnsavedChanges())
        return;

    // Stamped before the read: a change made while it reads is taken for a
    // change since, which at worst asks once too often.
    FileStamp stamp = TakeFileStamp(fileName);
    // Read again: the save just made may have written this very file. A file
    // that has gone bad meanwhile must not leave a half-read configuration.
    if (!ReadIvrFile(fileName, scratch)) {
        ShowBadConfigFile(fileName);
        return;
    }
    memcpy(&config_, scratch, sizeof config_);
    fileStamp_ = stamp;

    SetDlgItemTextA(GetHwnd(), IDC_IVR_FILE, fileName);
    RefreshList(&config_);
    // The up-down holds only 0 to 60; keep the value it shows, even when its
    // text did not change and so sent no notification.
    ReadWaitTime();
    // The editing controls follow the selected row to its new slot at once.
    int row = SelectedRow();
    if (row >= 0)
        ShowSlot(GetRowSlot(row));
    modified_ = false;
}

bool CConfigDialog::Save()
{
    char name[TEXT_SIZE] = {};
    GetDlgItemTextA(GetHwnd(), IDC_IVR_FILE, name, TEXT_SIZE - 1);
    if (!name[0])
        return SaveAs();
    if (!ConfirmOverwriteOfChange(name))
        return false;
    return WriteTo(name);
}

bool CConfigDialog::SaveAs()
{
    HWND hwnd = GetHwnd();
    char name[TEXT_SIZE] = {};
    for (;;) {
        if (!AskFileName(0, IVR_FILTER, name))
            return false;
        if (FileExists(name) &&
            ShowMessageId(GetResInstance(), hwnd, IDS_OVERWRITE_QUESTION, MB_YESNO | MB_ICONEXCLAMATION) == IDNO)
            continue;
        break;
    }
    // The operator has agreed to replace what the file holds now; should the
    // write fail, a later Save asks only about a change made after this.
    fileStamp_ = TakeFileStamp(name);
    // Its change notification marks the configuration modified until written.
    SetDlgItemTextA(hwnd, IDC_IVR_FILE, name);
    return WriteTo(name);
}

bool CConfigDialog::WriteTo(const char* name)
{
    // A failed write keeps the flag: the changes are still not on disk.
    if (!WriteIvrFile(name, &config_))
        return false;
    fileStamp_ = TakeFileStamp(name);
    modified_ = false;
    return true;
}

bool CConfigDialog::ConfirmOverwriteOfChange(const char* name)
{
    FileStamp now = TakeFileStamp(name);
    // A file deleted meanwhile holds nobody's work: saving only puts the menu
    // back under the name the window shows, as the operator asked.
    if (!now.found || !FileStampsDiffer(fileStamp_, now))
        return true;
    // "Нет" is the default: Enter alone must not throw away another's work.
    return ShowMessageFormat(GetResInstance(), GetHwnd(), MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2,
                             IDS_FILE_CHANGED_QUESTION, name) == IDYES;
}

void CConfigDialog::ChooseGreeting()
{
    HWND hwnd = GetHwnd();
    char fileName[TEXT_SIZE] = {};
    bool converted = false;  // fileName is a new file made from a refused one
    for (;;) {
        if (!converted && !AskFileName(OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST, WAV_FILTER, fileName))
            return;
        converted = false;
        if (!GreetingNameFits(fileName))
            continue;
        // Only the header is read and checked; nothing plays.
        CVoiceFile check(fileName);
        if (check.Open()) {
            check.Close();
            // Its change notification marks the configuration modified.
            SetDlgItemTextA(hwnd, IDC_GREETING, fileName);
            lstrcpynA(config_.greeting, fileName, sizeof config_.greeting);
            return;
        }
        char message[REJECTION_MESSAGE_SIZE] = {};
        BuildRejectionMessage(GetResInstance(), check, message, sizeof message);
        ShowMessage(GetResInstance(), hwnd, message, MB_OK | MB_ICONHAND);
        converted = CConversionOffer(this, [this](const char* name) { return GreetingNameFits(name); })
                        .Offer(check.GetFileName(), check.GetLastErrorCode(), fileName);
    }
}

bool CConfigDialog::GreetingNameFits(const char* fileName)
{
    return ::GreetingNameFits(GetHwnd(), fileName, config_.waitSeconds, fileName);
}

void CConfigDialog::ClearGreeting()
{
    memset(config_.greeting, 0, sizeof config_.greeting);
    SetDlgItemTextA(GetHwnd(), IDC_GREETING, "");
}

void CConfigDialog::GreetingPath(char* path)
{
    lstrcpynA(path, config_.greeting, TEXT_SIZE);
    if (strchr(config_.greeting, '\\') || strchr(config_.greeting, ':'))
        return;
    char ivrFile[TEXT_SIZE] = {};
    GetDlgItemTextA(GetHwnd(), IDC_IVR_FILE, ivrFile, TEXT_SIZE - 1);
    char folder[TEXT_SIZE] = {};
    GetDirPart(ivrFile, folder, sizeof folder);
    if (!folder[0])
        return;
    char beside[TEXT_SIZE] = {};
    int length = snprintf(beside, sizeof beside, "%s\\%s", folder, config_.greeting);
    if (length > 0 && length < TEXT_SIZE && FileExists(beside))
        lstrcpynA(path, beside, TEXT_SIZE);
}

void CConfigDialog::Listen()
{
    if (!player_)
        return;
    char path[TEXT_SIZE] = {};
    GreetingPath(path);
    player_->playOnOpen = false;
    if (!FileExists(path)) {
        // The player would keep and play the file of its previous run: say
        // instead that this greeting cannot be found.
        CVoiceFile missing(path);
        missing.Open();
        char message[REJECTION_MESSAGE_SIZE] = {};
        BuildRejectionMessage(GetResInstance(), missing, message, sizeof message);
        ShowMessage(GetResInstance(), GetHwnd(), message, MB_OK | MB_ICONHAND);
        return;
    }
    player_->SetMessageFile(path);
    player_->Run();
}
