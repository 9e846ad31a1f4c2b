// Runs a modal dialog on a UI thread of its own so that a test can drive it
// from the test thread the way an operator would, while the dialog's own modal
// loop (and so the dialog manager's keyboard handling) runs unchanged.
//
//     auto dialog = std::make_unique<CConfigDialog>(g_hInstance);
//     DialogRunner ui;
//     ASSERT_TRUE(ui.Start(dialog.get()));
//     ModalWatcher watcher;
//     watcher.Press(IDNO);
//     ui.PostKey(IDC_COMMANDS, VK_ESCAPE);        // through IsDialogMessage
//     ASSERT_TRUE(ui.WaitEnded());
//
// Messages sent from the test thread (Send, Click, Type, SelectRow...) run on
// the UI thread and return when handled there; a click that opens a message
// box or file dialog returns once a ModalWatcher has answered it. Posted input
// (PostKey, PostAltF4, PostCloseBox) goes through the UI thread's loop; Flush()
// waits until that loop has taken everything posted before it.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

class CBaseDialog;

class DialogRunner {
public:
    DialogRunner();
    // Ends a dialog that a failed test left open (and any box on top of it).
    ~DialogRunner();
    DialogRunner(const DialogRunner&) = delete;
    DialogRunner& operator=(const DialogRunner&) = delete;

    // Runs body on the UI thread; true once a visible dialog of that thread exists.
    bool Start(const std::function<INT_PTR()>& body, DWORD timeoutMs = 10000);
    // Runs dialog->Run() on the UI thread.
    bool Start(CBaseDialog* dialog, DWORD timeoutMs = 10000);

    HWND Hwnd() const { return dialog_; }
    HWND Item(int id) const { return GetDlgItem(dialog_, id); }
    DWORD ThreadId() const { return threadId_; }
    bool Running() const;                       // body has not returned yet
    bool WaitEnded(DWORD timeoutMs = 10000);
    INT_PTR Result() const { return result_; }  // body's answer, once ended

    LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT SendDialog(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // BM_CLICK on a button.
    void Click(int id);
    // One WM_CHAR per character of an ANSI text, as keystrokes in a control.
    void Type(int id, const std::string& ansi);
    // Keyboard focus to a control, the dialog manager's way.
    void Focus(int id);
    // A key pressed in a control, posted so that the dialog manager sees it.
    void PostKey(int id, UINT vk);
    void PostAltF4();
    // What the close box of the caption sends.
    void PostCloseBox();
    // Waits until the UI thread has taken every message posted so far (or has ended).
    bool Flush(DWORD timeoutMs = 10000);

    std::string Text(int id) const;
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }

    // List view helpers.
    std::string ListText(int id, int row, int column) const;
    int ListRows(int id) const;
    int SelectedRow(int id) const;
    void SelectRow(int id, int row);            // LVM_SETITEMSTATE, as a click would
    // Left click at a point of a control's client area.
    void ClickAt(int id, int x, int y);

    // Combo box: select an item and tell the dialog, as the operator's choice does.
    void SelectCombo(int id, int index);
    int ComboSelection(int id) const;
    std::string ComboText(int id, int index) const;

private:
    static DWORD WINAPI ThreadProc(void* self);
    static LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam);
    void ForceEnd();

    std::function<INT_PTR()> body_;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HWND dialog_ = nullptr;
    INT_PTR result_ = 0;
    volatile LONG ended_ = 0;
    volatile LONG flushPosted_ = 0;
    volatile LONG flushSeen_ = 0;
};
