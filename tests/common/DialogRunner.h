// Runs a modal dialog on the tests' UI thread so that a test can drive it from
// the test thread the way an operator would, while the dialog's own modal loop
// (and so the dialog manager's keyboard handling) runs unchanged.
//
// One UI thread serves every runner of the process, one dialog at a time. It
// keeps OLE initialised for its whole life: the common file dialogs initialise
// and release it themselves, and under Wine a file dialog opened just after the
// apartment of an earlier one was torn down can hang for good in RegisterDragDrop
// (its RPC listener is being stopped while the new one waits for it).
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
// waits until it has been handled and the UI thread is back in the dialog's own
// loop with no message box or file dialog on top.
#pragma once
#include <windows.h>
#include <functional>
#include <memory>
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
    DWORD ThreadId() const;
    bool Running() const;                       // body has not returned yet
    bool WaitEnded(DWORD timeoutMs = 10000);
    INT_PTR Result() const;                     // body's answer, once ended

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
    // Waits until everything posted so far has been handled and the dialog's own
    // loop runs again, with no box on top (or the dialog has ended).
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

    struct Job;

private:
    void ForceEnd();

    std::shared_ptr<Job> job_;
    HWND dialog_ = nullptr;
    LONG flushPosted_ = 0;
};
