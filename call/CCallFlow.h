// The call: how the IVR system treats a caller in the menus of a folder, with
// no sound and no window. Each event that reaches the call (a key, the end of
// a greeting or of a wait, the operator's answer or busy signal, the hang-up)
// answers the steps that follow from it, in order; the dialog carries them out
// and the tests read them.
#pragma once
#include <string>
#include <vector>

class CMenuSet;

enum CallStepKind {
    CALL_ENTER_MENU,     // menu; text: its greeting's path, empty when none is played
    CALL_PLAY_GREETING,  // text: the greeting's path
    CALL_STOP_GREETING,
    CALL_START_WAIT,     // seconds
    CALL_DIAL,           // text: the number
    CALL_END,            // end: why
    CALL_LOG,            // text: one line for people (ANSI), without the time
};

enum CallEnd {
    CALL_END_NONE,
    CALL_END_CONNECTED,        // the operator answered
    CALL_END_DISCONNECTED,     // "Завершение соединения"
    CALL_END_HUNG_UP,          // the caller put the receiver down
    CALL_END_TARGET_EMPTY,     // a "menu" action without a name
    CALL_END_TARGET_MISSING,   // the named menu has no file in the folder
    CALL_END_TARGET_UNREADABLE,
    CALL_END_DIAL_EMPTY,       // a "dial" action without a number
    CALL_END_SILENT_LOOP,      // menus and waits that would go round in silence for ever
};

enum CallState {
    CALL_IDLE,      // not started
    CALL_GREETING,  // a greeting plays; a key stops it
    CALL_WAITING,   // waiting for a key
    CALL_DIALLING,  // the operator's number rings: answered or busy
    CALL_ENDED,
};

struct CallStep {
    CallStepKind kind;
    int menu;       // CALL_ENTER_MENU: index into CMenuSet::Menus()
    int seconds;    // CALL_START_WAIT
    CallEnd end;    // CALL_END
    std::string text;
};

typedef std::vector<CallStep> CallSteps;

class CCallFlow {
public:
    // The set must outlive the call.
    explicit CCallFlow(const CMenuSet& set);

    // The call begins in a menu (an index into set.Menus()).
    CallSteps Start(int menu);
    // '0'-'9', '*', '#'; any other character, and a key while no greeting
    // plays and no wait runs, is ignored.
    CallSteps Key(char key);
    CallSteps GreetingEnded();
    CallSteps WaitEnded();
    CallSteps Answered();
    CallSteps Busy();
    CallSteps HangUp();

    CallState State() const { return state_; }
    int Menu() const { return menu_; }  // the menu the caller is in, or -1
    const std::string& Number() const { return number_; }  // while dialling
    const CMenuSet& MenuSet() const { return set_; }

private:
    void Enter(int menu);
    void StartWait(int seconds);
    void RunSlot(int slot);
    void RunMenuAction(const std::string& label, const std::string& target);
    void End(CallEnd why, const std::string& reason);
    void Log(const std::string& line);
    void Add(CallStepKind kind, const std::string& text = std::string());
    void HeardSomething() { silentMenus_.assign(silentMenus_.size(), false); }

    const CMenuSet& set_;
    CallState state_;
    int menu_;
    std::string number_;
    // Menus entered since the caller last heard a greeting, waited a moment,
    // pressed a key or rang an operator: entering one again means the call
    // would go round them for ever without a sound.
    std::vector<bool> silentMenus_;
    CallSteps steps_;  // the answer being built
};
