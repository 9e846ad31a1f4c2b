#include "common/DialogControls.h"

#include <commctrl.h>

#include "common/TestUtil.h"

namespace {

const int ITEM_TEXT_SIZE = 512;

struct Descendant {
    int id;
    HWND found;
};

BOOL CALLBACK FindById(HWND child, LPARAM param)
{
    Descendant* wanted = reinterpret_cast<Descendant*>(param);
    if (GetDlgCtrlID(child) != wanted->id)
        return TRUE;
    wanted->found = child;
    return FALSE;
}

struct OfClass {
    const char* className;
    HWND found;
};

BOOL CALLBACK FindByClass(HWND child, LPARAM param)
{
    OfClass* wanted = reinterpret_cast<OfClass*>(param);
    char cls[64] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, wanted->className) != 0)
        return TRUE;
    wanted->found = child;
    return FALSE;
}

} // namespace

HWND FindDescendantOfClass(HWND window, const char* className)
{
    OfClass wanted = {className, nullptr};
    EnumChildWindows(window, FindByClass, reinterpret_cast<LPARAM>(&wanted));
    return wanted.found;
}

HWND FindDescendant(HWND window, int id)
{
    Descendant wanted = {id, nullptr};
    EnumChildWindows(window, FindById, reinterpret_cast<LPARAM>(&wanted));
    return wanted.found;
}

LRESULT DialogControls::Send(int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageA(Item(id), message, wParam, lParam);
}

LRESULT DialogControls::SendDialog(UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageA(dialog_, message, wParam, lParam);
}

std::string DialogControls::Text(int id) const { return ItemText(dialog_, id); }

std::string DialogControls::ListText(int id, int row, int column) const
{
    char buffer[ITEM_TEXT_SIZE] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    SendMessageA(Item(id), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return buffer;
}

int DialogControls::ListRows(int id) const
{
    return static_cast<int>(SendMessageA(Item(id), LVM_GETITEMCOUNT, 0, 0));
}

int DialogControls::SelectedRow(int id) const
{
    return static_cast<int>(SendMessageA(Item(id), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

int DialogControls::ComboSelection(int id) const
{
    return static_cast<int>(SendMessageA(Item(id), CB_GETCURSEL, 0, 0));
}

std::string DialogControls::ComboText(int id, int index) const
{
    char buffer[ITEM_TEXT_SIZE] = {};
    LRESULT length = SendMessageA(Item(id), CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR || length >= static_cast<LRESULT>(sizeof buffer))
        return std::string();
    SendMessageA(Item(id), CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}
