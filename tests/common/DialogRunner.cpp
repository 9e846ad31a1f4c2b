#include "common/DialogRunner.h"

#include <atomic>
#include <vector>

#include "app/CBaseDialog.h"
#include "app/ScopedWin.h"
#include "common/TestUtil.h"

// The state of one dialog run, shared by its runner and the UI thread (which
// keeps it alive while the run lasts, even if a failed test dropped the runner).
struct DialogRunner::Job {
    std::function<INT_PTR()> body;
    INT_PTR result = 0;
    std::atomic<bool> started{false};    // written by the UI thread
    std::atomic<bool> ended{false};      // written by the UI thread
    std::atomic<LONG> flushSeen{0};      // written by the UI thread: the last marker its dialog loop took
    std::atomic<HWND> dialog{nullptr};   // written by the test thread once the dialog shows
};

namespace {

UINT RegisteredMessage(const char* name) { return RegisterWindowMessageA(name); }

UINT RunJobMessage()
{
    static UINT message = RegisteredMessage("OrlentaDialogRunnerJob");
    return message;
}

UINT FlushMessage()
{
    static UINT message = RegisteredMessage("OrlentaDialogRunnerFlush");
    return message;
}

UINT EndAllMessage()
{
    static UINT message = RegisteredMessage("OrlentaDialogRunnerEndAll");
    return message;
}

DWORD g_uiThreadId = 0;
HHOOK g_hook = nullptr;
DialogRunner::Job* g_current = nullptr;  // written and read on the UI thread only

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

// Sees every message the UI thread takes, in whatever modal loop it runs.
LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam == PM_REMOVE && g_current) {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        // A flush marker counts only when the dialog's own loop takes it:
        // under a message box or file dialog the dialog is disabled.
        if (msg->message == FlushMessage() && g_current->dialog && IsWindowEnabled(g_current->dialog.load()))
            g_current->flushSeen = static_cast<LONG>(msg->wParam);
        if (msg->message == EndAllMessage()) {
            std::vector<HWND> dialogs = VisibleDialogs(GetCurrentThreadId());
            for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it)
                EndDialog(*it, IDCANCEL);
        }
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

DWORD WINAPI UiThreadProc(void* ready)
{
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    // Held for the thread's whole life (see the header).
    ScopedOle ole;
    g_hook = SetWindowsHookExA(WH_GETMESSAGE, GetMessageHook, nullptr, GetCurrentThreadId());
    SetEvent(static_cast<HANDLE>(ready));

    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!msg.hwnd && msg.message == RunJobMessage()) {
            auto* held = reinterpret_cast<std::shared_ptr<DialogRunner::Job>*>(msg.lParam);
            DialogRunner::Job* job = held->get();
            g_current = job;
            job->started = true;
            job->result = job->body();
            g_current = nullptr;
            job->ended = true;
            delete held;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

DWORD UiThread()
{
    if (!g_uiThreadId) {
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        HANDLE thread = CreateThread(nullptr, 0, UiThreadProc, ready, 0, &g_uiThreadId);
        WaitForSingleObject(ready, 10000);
        CloseHandle(ready);
        CloseHandle(thread);
    }
    return g_uiThreadId;
}

} // namespace

DialogRunner::DialogRunner() {}

DialogRunner::~DialogRunner()
{
    if (job_)
        ForceEnd();
}

void DialogRunner::ForceEnd()
{
    // The UI thread ends its own dialogs (boxes on top first); new ones are
    // met on the next round.
    DWORD start = GetTickCount();
    while (Running() && GetTickCount() - start < 10000) {
        PostThreadMessageA(UiThread(), EndAllMessage(), 0, 0);
        WaitFor([this] { return !Running(); }, 100);
    }
}

DWORD DialogRunner::ThreadId() const { return UiThread(); }

INT_PTR DialogRunner::Result() const { return job_ ? job_->result : 0; }

bool DialogRunner::Start(const std::function<INT_PTR()>& body, DWORD timeoutMs)
{
    FlushMessage();
    EndAllMessage();
    job_ = std::make_shared<Job>();
    job_->body = body;
    auto* held = new std::shared_ptr<Job>(job_);
    if (!PostThreadMessageA(UiThread(), RunJobMessage(), 0, reinterpret_cast<LPARAM>(held))) {
        delete held;
        job_.reset();
        return false;
    }
    bool shown = WaitFor(
        [this] {
            if (!job_->started)
                return false;
            if (job_->ended)
                return true;
            std::vector<HWND> dialogs = VisibleDialogs(UiThread());
            if (dialogs.empty())
                return false;
            SetHwnd(dialogs.front());
            job_->dialog = Hwnd();
            return true;
        },
        timeoutMs);
    return shown && Hwnd() != nullptr;
}

bool DialogRunner::Start(CBaseDialog* dialog, DWORD timeoutMs)
{
    return Start([dialog]() -> INT_PTR { return dialog->Run() ? 1 : 0; }, timeoutMs);
}

bool DialogRunner::Running() const { return job_ && !job_->ended; }

bool DialogRunner::WaitEnded(DWORD timeoutMs)
{
    return WaitFor([this] { return !Running(); }, timeoutMs);
}

bool DialogRunner::Flush(DWORD timeoutMs)
{
    // A marker that a box on top takes does not count: post more until one
    // reaches the dialog's own loop.
    if (!job_)
        return true;
    LONG first = flushPosted_ + 1;
    DWORD start = GetTickCount();
    for (;;) {
        LONG seq = ++flushPosted_;
        if (!PostThreadMessageA(UiThread(), FlushMessage(), seq, 0))
            return !Running();
        if (WaitFor([this, first] { return job_->flushSeen >= first || !Running(); }, 100))
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
    }
}
