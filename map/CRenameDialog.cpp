#include "map/CRenameDialog.h"

#include "app/TextSize.h"
#include "menuset/MenuNames.h"
#include "menuset/MenuTexts.h"
#include "res/resource.h"

CRenameDialog::CRenameDialog(HINSTANCE instance, CWindowObject* parent, const std::string& menuName)
    : CBaseDialog(instance, parent, IDD_MAP_RENAME, DLGMODE_MODAL), menuName_(menuName)
{
}

bool CRenameDialog::OnInitDialog()
{
    HWND hwnd = GetHwnd();
    SetDlgItemTextA(hwnd, IDC_MAP_RENAME_PROMPT, FormatText(IDS_MAP_RENAME_PROMPT, menuName_.c_str()).c_str());
    std::string stem = menuName_;
    if (HasIvrExtension(stem))
        stem.resize(stem.size() - 4);
    SetDlgItemTextA(hwnd, IDC_MAP_RENAME_NAME, stem.c_str());
    SendDlgItemMessageA(hwnd, IDC_MAP_RENAME_NAME, EM_SETSEL, 0, -1);
    SetFocus(GetDlgItem(hwnd, IDC_MAP_RENAME_NAME));
    SetIcon(ICON_SMALL, MAKEINTRESOURCEA(IDI_ORLENTA));
    CBaseDialog::OnInitDialog();
    return false;  // the focus is set
}

void CRenameDialog::OnCommand(HWND hwnd, int id, HWND control, int code)
{
    if (id == IDOK) {
        char text[TEXT_SIZE] = {};
        GetDlgItemTextA(hwnd, IDC_MAP_RENAME_NAME, text, sizeof text);
        newName_ = text;
        accepted_ = true;
    }
    CBaseDialog::OnCommand(hwnd, id, control, code);
}

bool CRenameDialog::Ask(std::string* newName)
{
    accepted_ = false;
    if (!Run() || !accepted_)
        return false;
    *newName = newName_;
    return true;
}
