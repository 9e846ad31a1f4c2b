#include "common/DialogInput.h"

#include <commctrl.h>

namespace {

// lParam of a key message: repeat count 1 and the key's scan code, plus flags.
LPARAM KeyParam(UINT vk, UINT flags) { return 1 | (MapVirtualKeyA(vk, MAPVK_VK_TO_VSC) << 16) | flags; }

const UINT KEY_UP_FLAGS = 3u << 30;  // previous state down, transition up
const UINT ALT_DOWN_FLAG = 1u << 29;  // context code

} // namespace

void DialogInput::Click(int id) { Send(id, BM_CLICK); }

void DialogInput::Type(int id, const std::string& ansi)
{
    for (char c : ansi)
        Send(id, WM_CHAR, static_cast<unsigned char>(c), 1);
}

void DialogInput::Focus(int id) { SendDialog(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE); }

void DialogInput::PostKey(int id, UINT vk)
{
    PostMessageA(Item(id), WM_KEYDOWN, vk, KeyParam(vk, 0));
    PostMessageA(Item(id), WM_KEYUP, vk, KeyParam(vk, KEY_UP_FLAGS));
}

void DialogInput::PostAltF4()
{
    // The default handling asks the top-level window to close.
    PostMessageA(Hwnd(), WM_SYSKEYDOWN, VK_F4, KeyParam(VK_F4, ALT_DOWN_FLAG));
    PostMessageA(Hwnd(), WM_SYSKEYUP, VK_F4, KeyParam(VK_F4, ALT_DOWN_FLAG | KEY_UP_FLAGS));
}

void DialogInput::PostCloseBox() { PostMessageA(Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0); }

void DialogInput::SelectRow(int id, int row)
{
    LVITEMA item = {};
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    Send(id, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

void DialogInput::ClickAt(int id, int x, int y)
{
    Send(id, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    Send(id, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void DialogInput::SelectCombo(int id, int index)
{
    Send(id, CB_SETCURSEL, index);
    SendDialog(WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(id)));
}
