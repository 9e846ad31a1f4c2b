#include "common/ModalWatcher.h"

#include "app/CBaseDialog.h"
#include "common/TestUtil.h"

namespace {

const int MESSAGE_TEXT_ID = 0xFFFF;
const int MESSAGE_ICON_ID = 1088;
const int FILE_NAME_ID = 1148;
const DWORD STOP_GRACE_MS = 5000;

struct Search {
    DWORD pid;
    const std::vector<HWND>* handled;
    HWND found;
};

bool IsHandled(const std::vector<HWND>& handled, HWND hwnd)
{
    for (HWND h : handled)
        if (h == hwnd)
            return true;
    return false;
}

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM param)
{
    Search* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != search->pid || !IsWindowVisible(hwnd) || IsHandled(*search->handled, hwnd))
        return TRUE;
    char cls[32] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") != 0)
        return TRUE;
    // The program's own dialogs (their labels also carry id 0xFFFF) are not boxes to answer.
    if (reinterpret_cast<DLGPROC>(GetWindowLongPtrA(hwnd, DWLP_DLGPROC)) == CBaseDialog::DialogProc)
        return TRUE;
    if (GetDlgItem(hwnd, MESSAGE_TEXT_ID) || GetDlgItem(hwnd, FILE_NAME_ID)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

struct ButtonSearch {
    int id;
    HWND found;
    std::vector<std::string>* texts;
};

BOOL CALLBACK FindButtons(HWND hwnd, LPARAM param)
{
    ButtonSearch* search = reinterpret_cast<ButtonSearch*>(param);
    char cls[32] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpiA(cls, "Button") != 0)
        return TRUE;
    if (search->texts && IsWindowVisible(hwnd))
        search->texts->push_back(WindowText(hwnd));
    if (!search->found && GetDlgCtrlID(hwnd) == search->id)
        search->found = hwnd;
    return TRUE;
}

BOOL CALLBACK FindFileEdit(HWND hwnd, LPARAM param)
{
    char cls[32] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpiA(cls, "Edit") == 0 && GetDlgCtrlID(hwnd) == FILE_NAME_ID) {
        *reinterpret_cast<HWND*>(param) = hwnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

ModalWatcher::ModalWatcher()
{
    InitializeCriticalSection(&lock_);
    thread_ = CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr);
}

ModalWatcher::~ModalWatcher()
{
    stop_ = true;
    // The thread may be answering a box of the test thread: keep pumping. It
    // ends by itself, at the latest STOP_GRACE_MS after being told to stop.
    while (MsgWaitForMultipleObjects(1, &thread_, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
        PumpMessages();
    CloseHandle(thread_);
    DeleteCriticalSection(&lock_);
}

void ModalWatcher::Press(int buttonId)
{
    Then([buttonId](HWND dialog, const SeenDialog&) { PressButton(dialog, buttonId); });
}

void ModalWatcher::ChooseFile(const std::string& path)
{
    Then([path](HWND dialog, const SeenDialog&) {
        TypeFileName(dialog, path);
        PressButton(dialog, IDOK);
    });
}

void ModalWatcher::CancelFile()
{
    Then([](HWND dialog, const SeenDialog&) { PressButton(dialog, IDCANCEL); });
}

void ModalWatcher::Then(const Action& action)
{
    EnterCriticalSection(&lock_);
    actions_.push_back(action);
    LeaveCriticalSection(&lock_);
}

bool ModalWatcher::WaitAllAnswered(DWORD timeoutMs)
{
    return WaitFor([this] { return Pending() == 0; }, timeoutMs);
}

std::vector<SeenDialog> ModalWatcher::Seen() const
{
    EnterCriticalSection(&lock_);
    std::vector<SeenDialog> copy = seen_;
    LeaveCriticalSection(&lock_);
    return copy;
}

size_t ModalWatcher::Pending() const
{
    EnterCriticalSection(&lock_);
    size_t n = actions_.size();
    LeaveCriticalSection(&lock_);
    return n;
}

void ModalWatcher::PressButton(HWND dialog, int id)
{
    // A file dialog's toolbar also has an item 1: look for the push button.
    ButtonSearch search = {id, nullptr, nullptr};
    EnumChildWindows(dialog, FindButtons, (LPARAM)&search);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)search.found);
}

void ModalWatcher::TypeFileName(HWND dialog, const std::string& path)
{
    HWND edit = nullptr;
    EnumChildWindows(dialog, FindFileEdit, (LPARAM)&edit);
    if (!edit)
        edit = GetDlgItem(dialog, FILE_NAME_ID);
    SendMessageA(edit, WM_SETTEXT, 0, (LPARAM)path.c_str());
}

DWORD WINAPI ModalWatcher::ThreadProc(void* self)
{
    static_cast<ModalWatcher*>(self)->Run();
    return 0;
}

HWND ModalWatcher::FindNewDialog()
{
    Search search = {GetCurrentProcessId(), &handled_, nullptr};
    EnumWindows(FindDialog, (LPARAM)&search);
    return search.found;
}

void ModalWatcher::Run()
{
    DWORD stopSeen = 0;
    while (!stop_ || Pending() > 0) {
        // Actions still queued at the end get a short grace for their dialog,
        // so that one that never comes cannot hang the test.
        if (stop_ && !stopSeen)
            stopSeen = GetTickCount();
        if (stopSeen && GetTickCount() - stopSeen > STOP_GRACE_MS)
            break;
        HWND dialog = FindNewDialog();
        if (!dialog) {
            if (stop_ && Pending() == 0)
                break;
            Sleep(10);
            continue;
        }
        handled_.push_back(dialog);
        // Let the dialog finish its initialisation before reading it: a dialog
        // box shows its window only once WM_INITDIALOG has returned.
        for (int i = 0; i < 100 && !(IsWindowEnabled(dialog) && IsWindowVisible(dialog)); ++i)
            Sleep(10);

        SeenDialog seen;
        seen.kind = GetDlgItem(dialog, FILE_NAME_ID) ? SeenDialog::FileDialog : SeenDialog::MessageBox;
        seen.caption = WindowText(dialog);
        if (seen.kind == SeenDialog::MessageBox) {
            seen.text = ItemText(dialog, MESSAGE_TEXT_ID);
            seen.hasIcon = GetDlgItem(dialog, MESSAGE_ICON_ID) != nullptr;
            ButtonSearch search = {-1, nullptr, &seen.buttons};
            EnumChildWindows(dialog, FindButtons, (LPARAM)&search);
        }

        Action action;
        EnterCriticalSection(&lock_);
        if (!actions_.empty()) {
            action = actions_.front();
            actions_.pop_front();
        }
        seen.expected = static_cast<bool>(action);
        seen_.push_back(seen);
        LeaveCriticalSection(&lock_);

        if (action)
            action(dialog, seen);
        else
            PressButton(dialog, IDCANCEL);

        // Wait for the dialog to go before looking for the next one.
        for (int i = 0; i < 1000 && IsWindow(dialog) && IsWindowVisible(dialog); ++i)
            Sleep(10);
    }
}
