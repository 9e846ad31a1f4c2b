// The dialog "Звонок" (template 800): a call into the menus of a folder as a
// caller makes it. A keypad laid out as on a telephone (and the same keys
// typed), the menu and what happens in it, the position of the greeting
// playing, "Ответил"/"Занято" while an operator is dialled, "Положить трубку",
// and a log of every step with the time since the call began, which
// "Копировать" puts on the clipboard. The call's rules are CCallFlow's; the
// sound is CCallSound's, on its own thread; this window only waits for
// messages and timers.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/CBaseDialog.h"
#include "call/CCallFlow.h"

class CCallSound;
class CMenuSet;

class CCallDialog : public CBaseDialog {
public:
    // Registers itself in the owner's child table (owner may be null); the
    // set must outlive the dialog.
    CCallDialog(HINSTANCE instance, CWindowObject* owner, const CMenuSet& set, int startMenu);
    ~CCallDialog() override;

    bool OnInitDialog() override;
    // Hangs up; the window goes once the sound has stopped.
    bool OnClose() override;
    void OnCommand(HWND hwnd, int id, HWND control, int code) override;
    bool OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    // A key of the keypad, typed or clicked.
    void PressKey(char key);
    const CCallFlow& Flow() const { return flow_; }
    // The log as "Копировать" copies it: one line per step, CR LF between.
    std::string LogText() const;

private:
    void Carry(const CallSteps& steps);
    void CarryStep(const CallStep& step);
    void AddLogLine(const std::string& line);
    void ShowState();
    // The one place that enables and disables the controls.
    void UpdateControls();
    void ShowPosition();
    void CopyLog();
    void OnGreetingEnded(WPARAM token, DWORD error);
    void OnSoundFinished();
    void InstallKeyFilter();
    void RemoveKeyFilter();
    static LRESULT CALLBACK KeyFilter(int code, WPARAM wParam, LPARAM lParam);

    CCallFlow flow_;
    int startMenu_;
    std::unique_ptr<CCallSound> sound_;
    DWORD callStart_;           // GetTickCount at the start of the call
    std::vector<std::string> log_;
    WPARAM greetingToken_;      // of the greeting the call is playing, 0 when none
    WPARAM lastToken_;          // the last token given to a greeting
    std::string greetingName_;  // as the menu names it
    bool greetingStarted_;      // its playback has begun: its steps count
    LONG greetingSteps_;        // 20 ms steps of sound handed to the device
    bool soundFinished_;        // the sound thread has stopped everything
    bool closing_;              // the window goes when the sound has finished
    HHOOK keyFilter_;
};

// Runs the call modally over owner (may be null), beginning in startMenu (an
// index into set.Menus()).
void RunCall(CBaseDialog* owner, const CMenuSet& set, int startMenu);
