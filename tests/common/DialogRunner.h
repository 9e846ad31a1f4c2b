// Runs a modal dialog on the tests' UI thread so that a test can drive it from
// the test thread the way an operator would, while the dialog's own modal loop
// (and so the dialog manager's keyboard handling) runs unchanged. The operator's
// input comes from DialogInput, reading the controls from DialogControls.
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

#include "common/DialogInput.h"

class CBaseDialog;

class DialogRunner : public DialogInput {
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

    DWORD ThreadId() const;
    bool Running() const;                       // body has not returned yet
    bool WaitEnded(DWORD timeoutMs = 10000);
    INT_PTR Result() const;                     // body's answer, once ended

    // Waits until everything posted so far has been handled and the dialog's own
    // loop runs again, with no box on top (or the dialog has ended).
    bool Flush(DWORD timeoutMs = 10000);

    struct Job;

private:
    void ForceEnd();

    std::shared_ptr<Job> job_;
    LONG flushPosted_ = 0;
};
