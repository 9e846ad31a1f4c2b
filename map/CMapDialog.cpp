#include "map/CMapDialog.h"

#include <algorithm>

#include "app/CommonServices.h"
#include "app/TextSize.h"
#include "call/CCallDialog.h"
#include "config/CConfigDialog.h"
#include "config/IvrFile.h"
#include "convert/CConversionOffer.h"
#include "map/CRenameDialog.h"
#include "map/MapFileDialogs.h"
#include "menuset/CMenuRename.h"
#include "menuset/CMenuReport.h"
#include "menuset/CMenuSet.h"
#include "menuset/MenuNames.h"
#include "menuset/MenuTexts.h"
#include "record/RecordGreeting.h"
#include "player/CPlayerDialog.h"
#include "res/resource.h"
#include "wave/GreetingVerdict.h"

// In the order of the bottom row. "Записать ..." comes here as a row of its own.
const CMapDialog::Command CMapDialog::COMMANDS[] = {
    {IDC_MAP_CHOOSE_FOLDER, &CMapDialog::ChooseFolder, NEED_NOTHING, false},
    {IDC_MAP_EDIT, &CMapDialog::Edit, NEED_READABLE_MENU, true},
    {IDC_MAP_RENAME, &CMapDialog::Rename, NEED_MENU, true},
    {IDC_MAP_REPORT, &CMapDialog::SaveReport, NEED_FOLDER, true},
    {IDC_MAP_CALL, &CMapDialog::Call, NEED_FOLDER, true},
    {IDC_MAP_IMPROVE, &CMapDialog::Improve, NEED_GREETING_WARNING, true},
    {IDC_MAP_RECORD, &CMapDialog::Record, NEED_READABLE_MENU, true},
};

namespace {

// Columns: header text and width in pixels at 96 DPI (the last one fills the list).
const std::vector<std::pair<UINT, int>> FINDING_COLUMNS = {
    {IDS_REPORT_SEVERITY, 110}, {IDS_REPORT_MENU, 90}, {IDS_REPORT_ITEM, 100}, {IDS_REPORT_TEXT, 300}};
const std::vector<std::pair<UINT, int>> LEADS_COLUMNS = {{IDS_REPORT_MENU, 100}, {IDS_MAP_COLUMN_KEY, 80}};

// Dialog units of the layout.
const int MARGIN = 7;
const int GAP = 4;
const int ROW = 14;        // a button or a combo box
const int FIELD = 12;      // an edit field
const int LABEL = 8;       // a label's text
const int LABEL_ROW = 10;  // a label above a list
const int LABEL_WIDTH = 56;
const int FOLDER_BUTTON_WIDTH = 78;
const int ENTRY_WIDTH = 240;
const int BUTTON_WIDTH = 62;
const int FINDINGS_SHARE = 25;  // per cent of the lists' height
const int LEADS_SHARE = 30;     // per cent of the width

int Dpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi;
}

void InsertRow(HWND list, int row, int image, LPARAM param, const std::vector<std::string>& texts)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM | (image >= 0 ? LVIF_IMAGE : 0);
    item.iItem = row;
    item.iImage = image;
    item.lParam = param;
    item.pszText = const_cast<char*>(texts[0].c_str());
    int index = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    for (size_t column = 1; column < texts.size(); ++column) {
        LVITEMA sub = {};
        sub.iSubItem = static_cast<int>(column);
        sub.pszText = const_cast<char*>(texts[column].c_str());
        SendMessageA(list, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&sub));
    }
}

LPARAM RowParam(HWND list, int row)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    return row >= 0 && SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : -1;
}

int SelectedRow(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED)); }

std::string SlotLabel(int slot)
{
    char label[TEXT_SIZE] = {};
    GetSlotLabel(slot, label, sizeof label);
    return label;
}

// A file's name without its folder: how a menu names a greeting beside it.
std::string BareName(const std::string& path)
{
    size_t slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

CMapDialog::CMapDialog(HINSTANCE instance, const std::string& folder)
    : CBaseDialog(instance, nullptr, IDD_MAP, DLGMODE_MODAL), startFolder_(folder)
{
}

CMapDialog::~CMapDialog() = default;

bool CMapDialog::OnInitDialog()
{
    HWND hwnd = GetHwnd();
    g_hMainWnd = hwnd;
    tree_.Attach(GetDlgItem(hwnd, IDC_MAP_TREE));
    AddColumns(IDC_MAP_FINDINGS, FINDING_COLUMNS);
    AddColumns(IDC_MAP_LEADS, LEADS_COLUMNS);

    // The severity icons, indexed by FindingSeverity.
    int cx = GetSystemMetrics(SM_CXSMICON);
    int cy = GetSystemMetrics(SM_CYSMICON);
    severityIcons_.Reset(ImageList_Create(cx, cy, ILC_COLOR32 | ILC_MASK, 2, 0));
    for (LPCSTR icon : {IDI_ERROR, IDI_WARNING})
        ImageList_AddIcon(severityIcons_.Get(),
                          static_cast<HICON>(LoadImageA(nullptr, icon, IMAGE_ICON, cx, cy, LR_SHARED)));
    SendDlgItemMessageA(hwnd, IDC_MAP_FINDINGS, LVM_SETIMAGELIST, LVSIL_SMALL,
                        reinterpret_cast<LPARAM>(severityIcons_.Get()));

    // The template's size is the smallest that shows every control whole.
    RECT window = {};
    GetWindowRect(hwnd, &window);
    minimumSize_ = {window.right - window.left, window.bottom - window.top};
    RECT client = {};
    GetClientRect(hwnd, &client);
    Layout(client.right, client.bottom);

    SetIcon(ICON_BIG, MAKEINTRESOURCEA(IDI_ORLENTA));
    SetIcon(ICON_SMALL, MAKEINTRESOURCEA(IDI_ORLENTA));
    if (!startFolder_.empty())
        OpenFolder(startFolder_);
    UpdateControls();
    SetFocus(GetDlgItem(hwnd, set_ ? IDC_MAP_TREE : IDC_MAP_CHOOSE_FOLDER));
    return CBaseDialog::OnInitDialog();
}

void CMapDialog::AddColumns(int listId, const std::vector<std::pair<UINT, int>>& columns)
{
    HWND list = GetDlgItem(GetHwnd(), listId);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    int dpi = Dpi();
    for (size_t i = 0; i < columns.size(); ++i) {
        std::string text = StringText(columns[i].first);
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = MulDiv(columns[i].second, dpi, 96);
        column.pszText = const_cast<char*>(text.c_str());
        column.iSubItem = static_cast<int>(i);
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
}

bool CMapDialog::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            Layout(LOWORD(lParam), HIWORD(lParam));
        return true;
    case WM_GETMINMAXINFO:
        if (minimumSize_.cx > 0) {
            MINMAXINFO* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            limits->ptMinTrackSize.x = minimumSize_.cx;
            limits->ptMinTrackSize.y = minimumSize_.cy;
        }
        return true;
    default:
        return CBaseDialog::OnMessage(hwnd, message, wParam, lParam);
    }
}

void CMapDialog::Layout(int width, int height)
{
    HWND hwnd = GetHwnd();
    // Dialog units to pixels, as the template's own coordinates are converted.
    auto dux = [hwnd](int x) { RECT r = {0, 0, x, 0}; MapDialogRect(hwnd, &r); return static_cast<int>(r.right); };
    auto duy = [hwnd](int y) { RECT r = {0, 0, 0, y}; MapDialogRect(hwnd, &r); return static_cast<int>(r.bottom); };
    const int margin = dux(MARGIN), gap = dux(GAP), gapY = duy(GAP), row = duy(ROW), labelRow = duy(LABEL_ROW);
    const int labelWidth = dux(LABEL_WIDTH), buttonWidth = dux(BUTTON_WIDTH), label = duy(LABEL);

    HDWP defer = BeginDeferWindowPos(24);
    auto place = [&](int id, int x, int y, int w, int h) {
        if (defer)
            defer = DeferWindowPos(defer, GetDlgItem(hwnd, id), nullptr, x, y, std::max(w, 0), std::max(h, 0),
                                   SWP_NOZORDER | SWP_NOACTIVATE);
    };
    int y = margin;
    int fieldX = margin + labelWidth + gap;
    int folderButton = dux(FOLDER_BUTTON_WIDTH);
    place(IDC_MAP_FOLDER_LABEL, margin, y + duy(3), labelWidth, label);
    place(IDC_MAP_FOLDER, fieldX, y + duy(1), width - margin - folderButton - gap - fieldX, duy(FIELD));
    place(IDC_MAP_CHOOSE_FOLDER, width - margin - folderButton, y, folderButton, row);
    y += row + gapY;
    place(IDC_MAP_ENTRY_LABEL, margin, y + duy(3), labelWidth, label);
    place(IDC_MAP_ENTRY, fieldX, y, std::min(dux(ENTRY_WIDTH), width - margin - fieldX), duy(120));
    y += row + gapY;

    int buttonsY = height - margin - row;
    int listsBottom = buttonsY - gapY;
    int listsHeight = listsBottom - y - 3 * labelRow - gapY;
    int findingsHeight = listsHeight * FINDINGS_SHARE / 100;
    int treeHeight = listsHeight - findingsHeight;
    int inner = width - 2 * margin;
    int leadsWidth = (inner - gap) * LEADS_SHARE / 100;
    int treeWidth = inner - gap - leadsWidth;
    int leadsX = margin + treeWidth + gap;
    place(IDC_MAP_TREE_LABEL, margin, y, treeWidth, label);
    place(IDC_MAP_TREE, margin, y + labelRow, treeWidth, treeHeight);
    place(IDC_MAP_LEADS_LABEL, leadsX, y, leadsWidth, label);
    place(IDC_MAP_LEADS, leadsX, y + labelRow, leadsWidth, treeHeight);
    y += labelRow + treeHeight + gapY;
    // The selected menu's greeting: a line of its own under the tree.
    place(IDC_MAP_FIGURES, margin, y, inner, label);
    y += labelRow;
    place(IDC_MAP_FINDINGS_LABEL, margin, y, inner, label);
    place(IDC_MAP_FINDINGS, margin, y + labelRow, inner, findingsHeight);

    // The bottom row in the table's order; "Закрыть" at the right edge.
    int x = margin;
    for (const Command& command : COMMANDS) {
        if (!command.inRow)
            continue;
        place(command.id, x, buttonsY, buttonWidth, row);
        x += buttonWidth + gap;
    }
    place(IDCANCEL, width - margin - buttonWidth, buttonsY, buttonWidth, row);
    if (defer)
        EndDeferWindowPos(defer);
    // The last column of each list takes the width that is left.
    for (int id : {IDC_MAP_FINDINGS, IDC_MAP_LEADS}) {
        HWND list = GetDlgItem(hwnd, id);
        int last = static_cast<int>(SendMessageA(reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0)),
                                                 HDM_GETITEMCOUNT, 0, 0)) - 1;
        SendMessageA(list, LVM_SETCOLUMNWIDTH, last, LVSCW_AUTOSIZE_USEHEADER);
    }
}

void CMapDialog::OnNotify(NMHDR* header)
{
    if (!header || filling_)
        return;
    switch (header->idFrom) {
    case IDC_MAP_TREE:
        if (header->code == TVN_SELCHANGEDA || header->code == TVN_SELCHANGEDW)
            UpdateControls();
        // F2 renames, as in Explorer.
        if (header->code == TVN_KEYDOWN && reinterpret_cast<NMTVKEYDOWN*>(header)->wVKey == VK_F2)
            OnCommand(GetHwnd(), IDC_MAP_RENAME, nullptr, BN_CLICKED);
        break;
    case IDC_MAP_FINDINGS:
        if (header->code == LVN_ITEMCHANGED) {
            NMLISTVIEW* change = reinterpret_cast<NMLISTVIEW*>(header);
            if ((change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED))
                OnFindingSelected(change->iItem);
        }
        break;
    case IDC_MAP_LEADS:
        if (header->code == NM_DBLCLK)
            FollowSelection();
        break;
    default:
        break;
    }
}

void CMapDialog::OnCommand(HWND hwnd, int id, HWND control, int code)
{
    if (id == IDC_MAP_ENTRY) {
        if (code == CBN_SELCHANGE && !filling_)
            OnEntryChosen();
        return;
    }
    // Enter: no button is the default one.
    if (id == IDOK) {
        FollowSelection();
        return;
    }
    for (const Command& command : COMMANDS) {
        if (command.id != id)
            continue;
        // A posted command or a key may come while its button is disabled.
        if (code == BN_CLICKED && CommandEnabled(command.need))
            (this->*command.run)();
        UpdateControls();
        return;
    }
    CBaseDialog::OnCommand(hwnd, id, control, code);
}

bool CMapDialog::CommandEnabled(Need need) const
{
    int menu = SelectedMenu();
    switch (need) {
    case NEED_FOLDER:
        return set_ != nullptr;
    case NEED_MENU:
        return menu >= 0;
    case NEED_READABLE_MENU:
        return menu >= 0 && set_->Menus()[menu].readable;
    case NEED_GREETING_WARNING: {
        const GreetingFigures* figures = menu >= 0 ? set_->GreetingFiguresOf(menu) : nullptr;
        return figures && set_->Menus()[menu].readable && !FindGreetingWarnings(*figures).empty();
    }
    default:
        return true;
    }
}

int CMapDialog::SelectedMenu() const
{
    int menu = set_ ? tree_.MenuOf(tree_.Selected()) : -1;
    return menu >= 0 && menu < static_cast<int>(set_->Menus().size()) ? menu : -1;
}

std::string CMapDialog::SelectedMenuName() const
{
    int menu = SelectedMenu();
    return menu >= 0 ? set_->Menus()[menu].name : std::string();
}

void CMapDialog::UpdateControls()
{
    HWND hwnd = GetHwnd();
    for (const Command& command : COMMANDS) {
        HWND button = GetDlgItem(hwnd, command.id);
        bool enable = CommandEnabled(command.need);
        // A control that loses its enabled state hands the keyboard focus on first.
        if (!enable && button == GetFocus())
            SendMessageA(hwnd, WM_NEXTDLGCTL, 0, FALSE);
        EnableWindow(button, enable);
    }
    std::string caption = folder_.empty() ? StringText(IDS_MAP_TITLE) : FormatText(IDS_MAP_TITLE_FOLDER, folder_.c_str());
    SetWindowTextA(hwnd, caption.c_str());
    SetDlgItemTextA(hwnd, IDC_MAP_FOLDER, folder_.c_str());

    int menu = SelectedMenu();
    std::string leads = menu >= 0 ? FormatText(IDS_MAP_LEADS_HERE_MENU, set_->Menus()[menu].name.c_str())
                                  : StringText(IDS_MAP_LEADS_HERE);
    SetDlgItemTextA(hwnd, IDC_MAP_LEADS_LABEL, leads.c_str());
    FillLeadsHere(menu);
    ShowGreetingFigures(menu);
}

// Empty for a menu without a greeting whose samples were measured.
void CMapDialog::ShowGreetingFigures(int menu)
{
    const GreetingFigures* figures = menu >= 0 ? set_->GreetingFiguresOf(menu) : nullptr;
    std::string line;
    if (figures) {
        char text[TEXT_SIZE] = {};
        FormatGreetingFigures(GetResInstance(), *figures, text, sizeof text);
        line = FormatText(IDS_MAP_GREETING_FIGURES, set_->Menus()[menu].record->greeting, text);
    }
    SetDlgItemTextA(GetHwnd(), IDC_MAP_FIGURES, line.c_str());
}

void CMapDialog::FillLeadsHere(int menu)
{
    HWND list = GetDlgItem(GetHwnd(), IDC_MAP_LEADS);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    if (menu < 0)
        return;
    int row = 0;
    for (int index : set_->LinksTo(menu)) {
        const MenuLink& link = set_->Links()[index];
        InsertRow(list, row++, -1, link.from, {set_->Menus()[link.from].name, SlotLabel(link.slot)});
    }
}

void CMapDialog::FollowSelection()
{
    HWND hwnd = GetHwnd();
    HWND focus = GetFocus();
    HWND leads = GetDlgItem(hwnd, IDC_MAP_LEADS);
    HWND findings = GetDlgItem(hwnd, IDC_MAP_FINDINGS);
    HWND tree = GetDlgItem(hwnd, IDC_MAP_TREE);
    if (focus == leads) {
        LPARAM from = RowParam(leads, SelectedRow(leads));
        if (from < 0)
            return;
        tree_.Select(tree_.MenuNode(static_cast<int>(from)));
        SendMessageA(hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(tree), TRUE);
    } else if (focus == findings) {
        OnFindingSelected(SelectedRow(findings));
        SendMessageA(hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(tree), TRUE);
    } else if (HTREEITEM linked = tree_.LinkedNode(tree_.Selected())) {
        tree_.Select(linked);
    }
}

void CMapDialog::OnFindingSelected(int row)
{
    LPARAM index = RowParam(GetDlgItem(GetHwnd(), IDC_MAP_FINDINGS), row);
    if (index < 0 || index >= static_cast<LPARAM>(findings_.size()))
        return;
    const MenuFinding& finding = findings_[index];
    tree_.Select(tree_.PlaceOf(finding.menu, finding.item));
}

void CMapDialog::OnEntryChosen()
{
    LRESULT chosen = SendDlgItemMessageA(GetHwnd(), IDC_MAP_ENTRY, CB_GETCURSEL, 0, 0);
    if (!set_ || chosen == CB_ERR)
        return;
    std::string selected = SelectedMenuName();
    // Item 0 is the rule; the menus follow in the set's order.
    if (chosen == 0) {
        entryName_.clear();
        set_->ChooseEntryByRules();
    } else {
        entryName_ = set_->Menus()[chosen - 1].name;
        set_->ChooseEntry(entryName_);
    }
    ShowSet(selected);
}

bool CMapDialog::OpenFolder(const std::string& folder)
{
    std::unique_ptr<CMenuSet> set(new CMenuSet);
    DWORD error = 0;
    if (!set->Load(folder, &error)) {
        ShowError(FormatText(IDS_MAP_FOLDER_FAILED, folder.c_str(), SystemErrorWithCode(error).c_str()));
        return false;
    }
    filling_ = true;
    tree_.Clear();
    set_ = std::move(set);
    folder_ = set_->Folder();
    entryName_.clear();
    ShowSet("");
    return true;
}

void CMapDialog::Reload(const std::string& selectMenu)
{
    std::unique_ptr<CMenuSet> set(new CMenuSet);
    DWORD error = 0;
    if (!set->Load(folder_, &error)) {
        ShowError(FormatText(IDS_MAP_FOLDER_FAILED, folder_.c_str(), SystemErrorWithCode(error).c_str()));
        return;
    }
    // The operator's entry holds while the folder still has it.
    if (!entryName_.empty() && !set->ChooseEntry(entryName_))
        entryName_.clear();
    filling_ = true;
    tree_.Clear();
    set_ = std::move(set);
    ShowSet(selectMenu);
}

void CMapDialog::ShowSet(const std::string& selectMenu)
{
    filling_ = true;
    FillEntryCombo();
    tree_.Fill(*set_);
    FillFindings();
    filling_ = false;
    int menu = selectMenu.empty() ? -1 : set_->FindMenu(selectMenu);
    HTREEITEM node = menu >= 0 ? tree_.MenuNode(menu)
                               : reinterpret_cast<HTREEITEM>(SendDlgItemMessageA(GetHwnd(), IDC_MAP_TREE,
                                                                                 TVM_GETNEXTITEM, TVGN_ROOT, 0));
    tree_.Select(node);
    UpdateControls();
}

void CMapDialog::FillEntryCombo()
{
    HWND combo = GetDlgItem(GetHwnd(), IDC_MAP_ENTRY);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(StringText(IDS_MAP_ENTRY_BY_RULES).c_str()));
    for (const MenuInfo& menu : set_->Menus())
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(menu.name.c_str()));
    int chosen = entryName_.empty() ? 0 : set_->FindMenu(entryName_) + 1;
    SendMessageA(combo, CB_SETCURSEL, chosen, 0);
}

void CMapDialog::FillFindings()
{
    findings_ = set_->Findings();
    HWND list = GetDlgItem(GetHwnd(), IDC_MAP_FINDINGS);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    for (size_t i = 0; i < findings_.size(); ++i) {
        const MenuFinding& finding = findings_[i];
        FindingSeverity severity = SeverityOf(finding.code);
        InsertRow(list, static_cast<int>(i), severity, static_cast<LPARAM>(i),
                  {StringText(severity == FINDING_ERROR ? IDS_SEVERITY_ERROR : IDS_SEVERITY_WARNING),
                   set_->Menus()[finding.menu].name, ItemLabel(finding.item), finding.text});
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
}

void CMapDialog::ShowError(const std::string& text)
{
    ShowMessage(GetResInstance(), GetHwnd(), text.c_str(), MB_OK | MB_ICONHAND);
}

void CMapDialog::NeedOle()
{
    if (!ole_)
        ole_.reset(new ScopedOle);
}

void CMapDialog::ChooseFolder()
{
    NeedOle();
    std::string folder;
    HRESULT error = S_OK;
    if (AskFolder(GetHwnd(), StringText(IDS_MAP_FOLDER_TITLE), &folder, &error)) {
        OpenFolder(folder);
        return;
    }
    if (FAILED(error))
        ShowError(FormatText(IDS_MAP_FOLDER_DIALOG_FAILED, SystemErrorWithCode(static_cast<DWORD>(error)).c_str()));
}

void CMapDialog::Edit()
{
    const MenuInfo& menu = set_->Menus()[SelectedMenu()];
    std::string name = menu.name;
    {
        // Orlenta's own dialog, owned by this window, on the menu's file.
        CConfigDialog config(GetResInstance(), this);
        config.OpenOnStart(menu.path.c_str());
        config.Run();
    }
    g_hMainWnd = GetHwnd();
    Reload(name);
}

void CMapDialog::Rename()
{
    int menu = SelectedMenu();
    std::string oldName = set_->Menus()[menu].name;
    std::string newName;
    if (!CRenameDialog(GetResInstance(), this, oldName).Ask(&newName))
        return;
    CMenuRename rename(*set_);
    if (!rename.Rename(menu, newName)) {
        ShowError(FormatText(IDS_MAP_RENAME_FAILED, oldName.c_str(), rename.FailedFile().c_str(),
                             rename.Reason().c_str()));
        return;
    }
    std::string newFile = HasIvrExtension(newName) ? newName : newName + IVR_EXTENSION;
    if (SameFileName(entryName_, oldName))
        entryName_ = newFile;
    Reload(newFile);
}

// A call into the folder's menus from the one selected in the tree, or from
// the entry when none is.
void CMapDialog::Call()
{
    int menu = SelectedMenu();
    if (menu < 0 && !set_->Entries().empty())
        menu = set_->Entries()[0];
    if (menu >= 0)
        RunCall(this, *set_, menu);
}

// A greeting recorded at the desk for the selected menu; once saved, the
// menu names it and the map and the check are read again.
void CMapDialog::Record()
{
    const MenuInfo& menu = set_->Menus()[SelectedMenu()];
    std::string name = menu.name;
    std::string path = menu.path;
    char saved[TEXT_SIZE] = {};
    if (!RecordGreeting(this, path.c_str(), saved))
        return;
    SetMenuGreeting(path.c_str(), saved);
    Reload(name);
}

void CMapDialog::SaveReport()
{
    NeedOle();
    std::string path;
    if (!AskReportFile(GetHwnd(), StringText(IDS_MAP_REPORT_TITLE), StringText(IDS_MAP_REPORT_FILTER),
                       StringText(IDS_MAP_REPORT_NAME), folder_, &path))
        return;
    std::string reason;
    if (!CMenuReport::Save(path, CMenuReport(*set_).Html(findings_), &reason))
        ShowError(FormatText(IDS_MAP_REPORT_FAILED, path.c_str(), reason.c_str()));
}

// A fixed copy of the selected menu's greeting, written beside the menu; the
// menu keeps its greeting until the operator has had the chance to listen and
// says so.
void CMapDialog::Improve()
{
    int menu = SelectedMenu();
    std::string source = set_->Menus()[menu].greetingPath;
    char fixed[TEXT_SIZE] = {};
    if (!CConversionOffer(this, [this, menu](const char* name) { return FixedNameFits(menu, name); })
             .Improve(source.c_str(), fixed))
        return;
    OfferFixedGreeting(menu, fixed);
}

// The IVR system looks for a greeting beside its menu, and the .ivr file must
// hold its bare name as it stands.
bool CMapDialog::FixedNameFits(int menu, const char* fileName)
{
    const MenuInfo& info = set_->Menus()[menu];
    char folder[TEXT_SIZE] = {};
    char menuFolder[TEXT_SIZE] = {};
    GetDirPart(fileName, folder, sizeof folder);
    GetDirPart(info.path.c_str(), menuFolder, sizeof menuFolder);
    char fullFolder[MAX_PATH] = {};
    char fullMenuFolder[MAX_PATH] = {};
    GetFullPathNameA(folder, MAX_PATH, fullFolder, nullptr);
    GetFullPathNameA(menuFolder, MAX_PATH, fullMenuFolder, nullptr);
    if (lstrcmpiA(fullFolder, fullMenuFolder) != 0) {
        ShowError(FormatText(IDS_FIX_OTHER_FOLDER, fullMenuFolder));
        return false;
    }
    std::string bare = BareName(fileName);
    return GreetingNameFits(GetHwnd(), bare.c_str(), info.record->waitSeconds, fileName);
}

void CMapDialog::OfferFixedGreeting(int menu, const std::string& fixed)
{
    std::string menuName = set_->Menus()[menu].name;
    std::string oldGreeting = set_->Menus()[menu].record->greeting;
    HINSTANCE instance = GetResInstance();
    if (ShowMessage(instance, GetHwnd(), FormatText(IDS_FIX_LISTEN, fixed.c_str(), menuName.c_str()).c_str(),
                    MB_YESNO | MB_ICONQUESTION) == IDYES) {
        // Registers itself as this window's child until it has closed.
        CPlayerDialog player(instance, this);
        if (player.SetMessageFile(fixed.c_str()))
            player.Run();
        RemoveChild(&player);
        player.Close();
    }
    std::string bare = BareName(fixed);
    if (ShowMessage(instance, GetHwnd(),
                    FormatText(IDS_FIX_REPLACE, bare.c_str(), menuName.c_str(), oldGreeting.c_str()).c_str(),
                    MB_YESNO | MB_ICONQUESTION) == IDYES)
        ReplaceGreeting(menu, bare);
    Reload(menuName);
}

// The menu's file as it is now on disk, with only its greeting changed.
bool CMapDialog::ReplaceGreeting(int menu, const std::string& greeting)
{
    const MenuInfo& info = set_->Menus()[menu];
    VoiceMenuConfig record;
    DWORD error = 0;
    if (!ReadIvrFileSilently(info.path.c_str(), &record, &error)) {
        std::string reason = error ? SystemErrorWithCode(error) : StringText(IDS_RENAME_UNREADABLE);
        ShowError(FormatText(IDS_FIX_MENU_UNREADABLE, info.name.c_str(), info.path.c_str(), reason.c_str()));
        return false;
    }
    lstrcpynA(record.greeting, greeting.c_str(), sizeof record.greeting);
    // Reports its own failure; the old file stays.
    return WriteIvrFile(info.path.c_str(), &record);
}
