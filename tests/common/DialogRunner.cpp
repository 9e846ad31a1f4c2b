#include "common/DialogRunner.h"

#include <commctrl.h>

#include <vector>

#include "app/CBaseDialog.h"
#include "common/TestUtil.h"

namespace {

thread_local DialogRunner* t_runner = nullptr;
thread_local HHOOK t_hook = nullptr;

UINT FlushMessage()
{
    static UINT message = RegisterWindowMessageA("OrlentaDialogRunnerFlush");
    return message;
}

struct ThreadDialogs {
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectDialog(HWND hwnd, LPARAM param)
{
    char cls[32] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(hwnd))
        reinterpret_cast<ThreadDialogs*>(param)->windows.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> VisibleDialogs(DWORD threadId)
{
    ThreadDialogs found;
    EnumThreadWindows(threadId, CollectDialog, reinterpret_cast<LPARAM>(&found));
    return found.windows;
}

} // namespace

DialogRunner::DialogRunner() {}

DialogRunner::~DialogRunner()
{
    if (!thread_)
        return;
    ForceEnd();
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
}

void DialogRunner::ForceEnd()
{
    DWORD start = GetTickCount();
    while (Running() && GetTickCount() - start < 10000) {
        // Boxes on top first, then the dialog itself; new ones are met on the next round.
        std::vector<HWND> dialogs = VisibleDialogs(threadId_);
        for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it)
            EndDialog(*it, IDCANCEL);
        WaitFor([this] { return !Running(); }, 100);
    }
}

DWORD WINAPI DialogRunner::ThreadProc(void* self)
{
    DialogRunner* runner = static_cast<DialogRunner*>(self);
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue exists before anyone posts
    t_runner = runner;
    t_hook = SetWindowsHookExA(WH_GETMESSAGE, GetMessageHook, nullptr, GetCurrentThreadId());
    runner->result_ = runner->body_();
    if (t_hook)
        UnhookWindowsHookEx(t_hook);
    InterlockedExchange(&runner->ended_, 1);
    return 0;
}

LRESULT CALLBACK DialogRunner::GetMessageHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam == PM_REMOVE && t_runner) {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg->message == FlushMessage())
            InterlockedExchange(&t_runner->flushSeen_, static_cast<LONG>(msg->wParam));
    }
    return CallNextHookEx(t_hook, code, wParam, lParam);
}

bool DialogRunner::Start(const std::function<INT_PTR()>& body, DWORD timeoutMs)
{
    body_ = body;
    FlushMessage();
    thread_ = CreateThread(nullptr, 0, ThreadProc, this, 0, &threadId_);
    if (!thread_)
        return false;
    bool shown = WaitFor(
        [this] {
            if (!Running())
                return true;
            std::vector<HWND> dialogs = VisibleDialogs(threadId_);
            if (dialogs.empty())
                return false;
            dialog_ = dialogs.front();
            return true;
        },
        timeoutMs);
    return shown && dialog_ != nullptr;
}

bool DialogRunner::Start(CBaseDialog* dialog, DWORD timeoutMs)
{
    return Start([dialog]() -> INT_PTR { return dialog->Run() ? 1 : 0; }, timeoutMs);
}

bool DialogRunner::Running() const { return thread_ && !ended_; }

bool DialogRunner::WaitEnded(DWORD timeoutMs)
{
    return WaitFor([this] { return !Running(); }, timeoutMs);
}

LRESULT DialogRunner::Send(int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageA(Item(id), message, wParam, lParam);
}

LRESULT DialogRunner::SendDialog(UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageA(dialog_, message, wParam, lParam);
}

void DialogRunner::Click(int id) { Send(id, BM_CLICK); }

void DialogRunner::Type(int id, const std::string& ansi)
{
    for (char c : ansi)
        Send(id, WM_CHAR, static_cast<unsigned char>(c), 1);
}

void DialogRunner::Focus(int id) { SendDialog(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE); }

void DialogRunner::PostKey(int id, UINT vk)
{
    UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    PostMessageA(Item(id), WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageA(Item(id), WM_KEYUP, vk, 1 | (scan << 16) | (3u << 30));
}

void DialogRunner::PostAltF4()
{
    // Context code (bit 29): Alt is down. The default handling asks the
    // top-level window to close.
    UINT scan = MapVirtualKeyA(VK_F4, MAPVK_VK_TO_VSC);
    PostMessageA(dialog_, WM_SYSKEYDOWN, VK_F4, 1 | (scan << 16) | (1u << 29));
    PostMessageA(dialog_, WM_SYSKEYUP, VK_F4, 1 | (scan << 16) | (1u << 29) | (3u << 30));
}

void DialogRunner::PostCloseBox() { PostMessageA(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0); }

bool DialogRunner::Flush(DWORD timeoutMs)
{
    LONG seq = InterlockedIncrement(&flushPosted_);
    if (!PostThreadMessageA(threadId_, FlushMessage(), seq, 0))
        return !Running();
    return WaitFor([this, seq] { return flushSeen_ >= seq || !Running(); }, timeoutMs);
}

std::string DialogRunner::Text(int id) const { return ItemText(dialog_, id); }

std::string DialogRunner::ListText(int id, int row, int column) const
{
    char buffer[512] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    SendMessageA(Item(id), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return buffer;
}

int DialogRunner::ListRows(int id) const
{
    return static_cast<int>(SendMessageA(Item(id), LVM_GETITEMCOUNT, 0, 0));
}

int DialogRunner::SelectedRow(int id) const
{
    return static_cast<int>(SendMessageA(Item(id), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void DialogRunner::SelectRow(int id, int row)
{
    LVITEMA item = {};
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(Item(id), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

void DialogRunner::ClickAt(int id, int x, int y)
{
    Send(id, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    Send(id, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void DialogRunner::SelectCombo(int id, int index)
{
    Send(id, CB_SETCURSEL, index);
    SendDialog(WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(id)));
}

int DialogRunner::ComboSelection(int id) const
{
    return static_cast<int>(SendMessageA(Item(id), CB_GETCURSEL, 0, 0));
}

std::string DialogRunner::ComboText(int id, int index) const
{
    char buffer[512] = {};
    LRESULT length = SendMessageA(Item(id), CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR || length >= static_cast<LRESULT>(sizeof buffer))
        return std::string();
    SendMessageA(Item(id), CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}
