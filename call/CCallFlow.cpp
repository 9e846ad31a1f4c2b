#include "call/CCallFlow.h"

#include "config/VoiceMenuConfig.h"
#include "menuset/CMenuSet.h"
#include "menuset/MenuFinding.h"
#include "menuset/MenuNames.h"
#include "menuset/MenuTexts.h"
#include "res/resource.h"

namespace {

const char* ParamOf(const CommandSlot& slot) { return slot.paramText[slot.action]; }

std::string Seconds(int seconds) { return std::to_string(seconds); }

} // namespace

CCallFlow::CCallFlow(const CMenuSet& set)
    : set_(set), state_(CALL_IDLE), menu_(-1), silentMenus_(set.Menus().size(), false)
{
}

CallSteps CCallFlow::Start(int menu)
{
    steps_.clear();
    if (state_ != CALL_IDLE || menu < 0 || menu >= static_cast<int>(set_.Menus().size()))
        return steps_;
    const MenuInfo& info = set_.Menus()[menu];
    if (!info.readable)
        End(CALL_END_TARGET_UNREADABLE, FormatText(IDS_CALL_END_UNREADABLE, info.name.c_str(),
                                                   info.unreadableReason.c_str()));
    else
        Enter(menu);
    return steps_;
}

CallSteps CCallFlow::Key(char key)
{
    steps_.clear();
    int slot = SlotOfKey(key);
    if (slot < 0 || slot > SLOT_HASH || (state_ != CALL_GREETING && state_ != CALL_WAITING))
        return steps_;
    if (state_ == CALL_GREETING) {
        Add(CALL_STOP_GREETING);
        state_ = CALL_WAITING;  // no greeting plays any more
    }
    HeardSomething();
    Log(FormatText(IDS_CALL_KEY, std::string(1, key).c_str()));
    RunSlot(slot);
    return steps_;
}

CallSteps CCallFlow::GreetingEnded()
{
    steps_.clear();
    if (state_ == CALL_GREETING)
        StartWait(set_.Menus()[menu_].record->waitSeconds);
    return steps_;
}

CallSteps CCallFlow::WaitEnded()
{
    steps_.clear();
    if (state_ != CALL_WAITING)
        return steps_;
    Log(FormatText(IDS_CALL_TIMEOUT, Seconds(set_.Menus()[menu_].record->waitSeconds).c_str()));
    RunSlot(SLOT_DEFAULT);
    return steps_;
}

CallSteps CCallFlow::Answered()
{
    steps_.clear();
    if (state_ == CALL_DIALLING)
        End(CALL_END_CONNECTED, FormatText(IDS_CALL_END_CONNECTED, number_.c_str()));
    return steps_;
}

CallSteps CCallFlow::Busy()
{
    steps_.clear();
    if (state_ != CALL_DIALLING)
        return steps_;
    Log(StringText(IDS_CALL_BUSY));
    RunSlot(SLOT_BUSY);
    return steps_;
}

CallSteps CCallFlow::HangUp()
{
    steps_.clear();
    if (state_ == CALL_IDLE || state_ == CALL_ENDED)
        return steps_;
    End(CALL_END_HUNG_UP, StringText(IDS_CALL_END_HUNG_UP));
    return steps_;
}

void CCallFlow::Enter(int menu)
{
    const MenuInfo& info = set_.Menus()[menu];
    if (silentMenus_[menu]) {
        End(CALL_END_SILENT_LOOP, FormatText(IDS_CALL_END_SILENT_LOOP, info.name.c_str()));
        return;
    }
    silentMenus_[menu] = true;
    menu_ = menu;
    bool playable = info.greeting == GREETING_PLAYABLE;
    CallStep enter = {CALL_ENTER_MENU, menu, 0, CALL_END_NONE, playable ? info.greetingPath : std::string()};
    steps_.push_back(enter);
    const char* greeting = info.record->greeting;
    if (info.greeting == GREETING_NONE)
        Log(FormatText(IDS_CALL_ENTER_SILENT, info.name.c_str()));
    else
        Log(FormatText(IDS_CALL_ENTER, info.name.c_str(), greeting));
    if (info.greeting == GREETING_MISSING)
        Log(FormatText(IDS_CALL_GREETING_MISSING, greeting));
    else if (info.greeting == GREETING_REFUSED)
        Log(FormatText(IDS_CALL_GREETING_REFUSED, info.greetingReason.c_str()));
    if (!playable) {
        StartWait(info.record->waitSeconds);
        return;
    }
    HeardSomething();
    state_ = CALL_GREETING;
    Add(CALL_PLAY_GREETING, info.greetingPath);
}

void CCallFlow::StartWait(int seconds)
{
    if (seconds > 0)
        HeardSomething();
    state_ = CALL_WAITING;
    Log(FormatText(IDS_CALL_WAIT, Seconds(seconds).c_str()));
    CallStep wait = {CALL_START_WAIT, menu_, seconds, CALL_END_NONE, std::string()};
    steps_.push_back(wait);
}

void CCallFlow::RunSlot(int slot)
{
    const VoiceMenuConfig& record = *set_.Menus()[menu_].record;
    const CommandSlot& command = record.slots[slot];
    std::string label = ItemLabel(slot);
    switch (command.action) {
    case ACTION_MENU:
        RunMenuAction(label, ParamOf(command));
        break;
    case ACTION_DIAL:
        if (!ParamOf(command)[0]) {
            End(CALL_END_DIAL_EMPTY, FormatText(IDS_CALL_END_DIAL_EMPTY, label.c_str()));
            break;
        }
        number_ = ParamOf(command);
        HeardSomething();
        Log(FormatText(IDS_CALL_DIAL, label.c_str(), number_.c_str()));
        state_ = CALL_DIALLING;
        Add(CALL_DIAL, number_);
        break;
    case ACTION_DISCONNECT:
        Log(FormatText(IDS_CALL_DISCONNECT, label.c_str()));
        End(CALL_END_DISCONNECTED, StringText(IDS_CALL_END_DISCONNECTED));
        break;
    default:
        if (slot != SLOT_DEFAULT) {
            Log(FormatText(IDS_CALL_NONE_TO_DEFAULT, label.c_str()));
            RunSlot(SLOT_DEFAULT);
            break;
        }
        // The caller is left waiting in the same menu, as the IVR system leaves
        // him; without a wait time that silence would have no end.
        if (record.waitSeconds <= 0) {
            End(CALL_END_SILENT_LOOP, FormatText(IDS_CALL_END_SILENT_LOOP, set_.Menus()[menu_].name.c_str()));
            break;
        }
        Log(StringText(IDS_CALL_DEFAULT_NONE));
        StartWait(record.waitSeconds);
        break;
    }
}

void CCallFlow::RunMenuAction(const std::string& label, const std::string& target)
{
    if (target.empty()) {
        End(CALL_END_TARGET_EMPTY, FormatText(IDS_CALL_END_TARGET_EMPTY, label.c_str()));
        return;
    }
    int next = set_.FindMenu(target);
    if (next < 0) {
        End(CALL_END_TARGET_MISSING,
            FormatText(IDS_CALL_END_TARGET_MISSING, target.c_str(), MenuFileOfTarget(target).c_str()));
        return;
    }
    const MenuInfo& info = set_.Menus()[next];
    Log(FormatText(IDS_CALL_GO_MENU, label.c_str(), info.name.c_str()));
    if (!info.readable) {
        End(CALL_END_TARGET_UNREADABLE,
            FormatText(IDS_CALL_END_UNREADABLE, info.name.c_str(), info.unreadableReason.c_str()));
        return;
    }
    Enter(next);
}

void CCallFlow::End(CallEnd why, const std::string& reason)
{
    if (state_ == CALL_GREETING)
        Add(CALL_STOP_GREETING);
    state_ = CALL_ENDED;
    Log(FormatText(IDS_CALL_ENDED, reason.c_str()));
    CallStep end = {CALL_END, menu_, 0, why, reason};
    steps_.push_back(end);
}

void CCallFlow::Log(const std::string& line) { Add(CALL_LOG, line); }

void CCallFlow::Add(CallStepKind kind, const std::string& text)
{
    CallStep step = {kind, menu_, 0, CALL_END_NONE, text};
    steps_.push_back(step);
}
