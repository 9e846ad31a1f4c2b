// Catches the message boxes and common file dialogs that the code under test
// opens, the way a user would meet them: a watcher thread finds each new
// "#32770" window of this process that is a message box (it has the text static
// 0xFFFF) or a file dialog (it has the file-name box 1148), records what it
// shows and answers it with the next queued action.
//
//     ModalWatcher watcher;
//     watcher.Press(IDNO);                       // next message box: "Нет"
//     watcher.ChooseFile(path);                  // next file dialog: type and OK
//     SendMessage(button, BM_CLICK, 0, 0);       // returns once both are answered
//     EXPECT_EQ(watcher.Seen()[0].text, Ansi("..."));
//
// A dialog for which no action is queued is recorded and cancelled, so a test
// never hangs on a box it did not expect; ExpectNoneLeft() reports it.
#pragma once
#include <windows.h>
#include <atomic>
#include <deque>
#include <functional>
#include <string>
#include <vector>

struct SeenDialog {
    enum Kind { MessageBox, FileDialog } kind = MessageBox;
    std::string caption;             // ANSI, as the window shows it
    std::string text;                // message text; for file dialogs empty
    std::vector<std::string> buttons;
    bool hasIcon = false;            // message box icon (static 1088)
    bool expected = true;            // an action was queued for it
};

class ModalWatcher {
public:
    using Action = std::function<void(HWND dialog, const SeenDialog& seen)>;

    ModalWatcher();
    ~ModalWatcher();
    ModalWatcher(const ModalWatcher&) = delete;
    ModalWatcher& operator=(const ModalWatcher&) = delete;

    // The next message box is answered with the button of this id (IDYES, IDOK...).
    void Press(int buttonId);
    // The next file dialog gets this name typed into its file-name box, then OK.
    void ChooseFile(const std::string& path);
    // The next file dialog is cancelled.
    void CancelFile();
    // Any other answer.
    void Then(const Action& action);

    // Waits until every queued action has run; false at the deadline.
    bool WaitAllAnswered(DWORD timeoutMs = 15000);
    // Everything seen so far, in order (a copy: the watcher thread appends).
    std::vector<SeenDialog> Seen() const;
    size_t Pending() const;

    // Helpers usable inside actions, on the watcher thread.
    static void PressButton(HWND dialog, int id);
    static void TypeFileName(HWND dialog, const std::string& path);

private:
    static DWORD WINAPI ThreadProc(void* self);
    void Run();
    HWND FindNewDialog();

    mutable CRITICAL_SECTION lock_;
    std::deque<Action> actions_;
    std::vector<SeenDialog> seen_;
    std::vector<HWND> handled_;
    HANDLE thread_ = nullptr;
    std::atomic<bool> stop_{false};  // written by the destructor only
};
