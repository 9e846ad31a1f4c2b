#include "call/CCallDialog.h"

#include <string.h>

#include "app/CommonServices.h"
#include "app/ScopedWin.h"
#include "app/TextSize.h"
#include "call/CCallSound.h"
#include "menuset/CMenuSet.h"
#include "menuset/MenuTexts.h"
#include "playback/PlayerStep.h"
#include "res/resource.h"
#include "config/VoiceMenuConfig.h"
#include "wave/VoiceFileCheck.h"

namespace {

const UINT_PTR WAIT_TIMER = 1;
const DWORD STEP_MS = 20;  // of sound per IVR_PLAYER_STEP
const int TIME_TEXT_SIZE = 32;

// The call dialog of this thread whose keys the message filter takes: one at
// a time, as the dialog is modal.
thread_local CCallDialog* t_keyDialog = nullptr;

bool IsKeypadChar(WPARAM c) { return (c >= '0' && c <= '9') || c == '*' || c == '#'; }

// The caller's key of a typed message, or 0. The numeric keypad's digits are
// taken as they go down (with Num Lock on they are VK_NUMPAD0-9 whatever the
// keyboard layout makes of them); its '*' comes as a character like any other.
char CallerKey(const MSG& msg)
{
    if (msg.message == WM_CHAR && IsKeypadChar(msg.wParam))
        return static_cast<char>(msg.wParam);
    if (msg.message == WM_KEYDOWN && msg.wParam >= VK_NUMPAD0 && msg.wParam <= VK_NUMPAD9)
        return static_cast<char>('0' + (msg.wParam - VK_NUMPAD0));
    return 0;
}

int KeyButton(char key) { return IDC_CALL_KEY_FIRST + SlotOfKey(key); }

// The clipboard, open for one scope.
class ScopedClipboard {
public:
    explicit ScopedClipboard(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
    ~ScopedClipboard()
    {
        if (open_)
            CloseClipboard();
    }
    ScopedClipboard(const ScopedClipboard&) = delete;
    ScopedClipboard& operator=(const ScopedClipboard&) = delete;
    bool IsOpen() const { return open_; }

private:
    bool open_;
};

// A window's device context for one scope.
class ScopedWindowDC {
public:
    explicit ScopedWindowDC(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~ScopedWindowDC()
    {
        if (dc_)
            ReleaseDC(hwnd_, dc_);
    }
    ScopedWindowDC(const ScopedWindowDC&) = delete;
    ScopedWindowDC& operator=(const ScopedWindowDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// The width of a line in a list box's font, in pixels, with a margin.
int LineWidth(HWND list, const std::string& line)
{
    ScopedWindowDC dc(list);
    if (!dc.Get())
        return 0;
    HGDIOBJ old = SelectObject(dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageA(list, WM_GETFONT, 0, 0)));
    SIZE size = {};
    GetTextExtentPoint32A(dc.Get(), line.c_str(), static_cast<int>(line.size()), &size);
    SelectObject(dc.Get(), old);
    return size.cx + GetSystemMetrics(SM_CXVSCROLL);
}

std::string WhyNotPlayed(DWORD error)
{
    return error == VOICE_ERROR_FORMAT ? StringText(IDS_CALL_GREETING_FORMAT) : SystemErrorWithCode(error);
}

} // namespace

CCallDialog::CCallDialog(HINSTANCE instance, CWindowObject* owner, const CMenuSet& set, int startMenu)
    : CBaseDialog(instance, owner, IDD_CALL, DLGMODE_MODAL),
      flow_(set),
      startMenu_(startMenu),
      callStart_(0),
      greetingToken_(0),
      lastToken_(0),
      greetingStarted_(false),
      greetingSteps_(0),
      soundFinished_(true),
      closing_(false),
      keyFilter_(nullptr)
{
}

CCallDialog::~CCallDialog() { RemoveKeyFilter(); }

bool CCallDialog::OnInitDialog()
{
    HWND hwnd = GetHwnd();
    callStart_ = GetTickCount();
    sound_.reset(new CCallSound(hwnd));
    soundFinished_ = !sound_->Start();
    InstallKeyFilter();
    SetIcon(ICON_BIG, MAKEINTRESOURCEA(IDI_ORLENTA));
    SetIcon(ICON_SMALL, MAKEINTRESOURCEA(IDI_ORLENTA));
    Carry(flow_.Start(startMenu_));
    return CBaseDialog::OnInitDialog();
}

bool CCallDialog::OnClose()
{
    if (soundFinished_) {
        KillTimer(GetHwnd(), WAIT_TIMER);
        RemoveKeyFilter();
        return CBaseDialog::OnClose();
    }
    // Closing hangs up; the window waits for the sound thread's word that the
    // device is closed, never for the thread itself.
    Carry(flow_.HangUp());
    if (!closing_) {
        closing_ = true;
        sound_->Finish();
        UpdateControls();
    }
    return false;
}

void CCallDialog::OnCommand(HWND, int id, HWND, int code)
{
    if (id >= IDC_CALL_KEY_FIRST && id <= IDC_CALL_KEY_LAST) {
        if (code == BN_CLICKED)
            PressKey(SlotKey(id - IDC_CALL_KEY_FIRST));
    } else if (id == IDC_CALL_ANSWERED) {
        Carry(flow_.Answered());
    } else if (id == IDC_CALL_BUSY) {
        Carry(flow_.Busy());
    } else if (id == IDC_CALL_HANG_UP) {
        Carry(flow_.HangUp());
    } else if (id == IDC_CALL_COPY) {
        CopyLog();
    } else if (id == IDCANCEL) {
        if (OnClose())
            Close();
    }
    // IDOK (Enter) ends nothing: a call ends by its own buttons.
}

bool CCallDialog::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && wParam == WAIT_TIMER) {
        KillTimer(hwnd, WAIT_TIMER);
        Carry(flow_.WaitEnded());
    } else if (message == WM_CALL_GREETING_STARTED) {
        if (wParam == greetingToken_) {
            greetingStarted_ = true;
            greetingSteps_ = 0;
            ShowPosition();
        }
    } else if (message == WM_CALL_GREETING_ENDED) {
        OnGreetingEnded(wParam, static_cast<DWORD>(lParam));
    } else if (message == WM_CALL_SOUND_FINISHED) {
        OnSoundFinished();
    } else if (message == WM_CALL_NO_DEVICE) {
        AddLogLine(StringText(IDS_CALL_NO_DEVICE));
    } else if (g_uPlayerStepMsg != 0 && message == g_uPlayerStepMsg) {
        // Steps of a greeting already stopped come before its successor's start.
        if (greetingStarted_) {
            ++greetingSteps_;
            ShowPosition();
        }
    }
    return CBaseDialog::OnMessage(hwnd, message, wParam, lParam);
}

void CCallDialog::PressKey(char key)
{
    CallState state = flow_.State();
    if (closing_ || (state != CALL_GREETING && state != CALL_WAITING))
        return;
    // The tone goes before whatever the key starts: the caller hears it first.
    sound_->PlayTone(key);
    Carry(flow_.Key(key));
}

std::string CCallDialog::LogText() const
{
    std::string text;
    for (const std::string& line : log_)
        text += line + "\r\n";
    return text;
}

void CCallDialog::Carry(const CallSteps& steps)
{
    for (const CallStep& step : steps)
        CarryStep(step);
    if (flow_.State() != CALL_WAITING)
        KillTimer(GetHwnd(), WAIT_TIMER);
    ShowState();
    UpdateControls();
}

void CCallDialog::CarryStep(const CallStep& step)
{
    HWND hwnd = GetHwnd();
    switch (step.kind) {
    case CALL_ENTER_MENU: {
        const MenuInfo& menu = flow_.MenuSet().Menus()[step.menu];
        greetingName_ = menu.record ? menu.record->greeting : "";
        SetDlgItemTextA(hwnd, IDC_CALL_MENU, FormatText(IDS_CALL_MENU, menu.name.c_str()).c_str());
        break;
    }
    case CALL_PLAY_GREETING:
        greetingToken_ = ++lastToken_;
        greetingStarted_ = false;
        sound_->PlayGreeting(step.text, greetingToken_);
        break;
    case CALL_STOP_GREETING:
        sound_->StopGreeting();
        greetingToken_ = 0;
        greetingStarted_ = false;
        break;
    case CALL_START_WAIT:
        // A wait of 0 s ends at the next turn of the message loop.
        SetTimer(hwnd, WAIT_TIMER, static_cast<UINT>(step.seconds) * 1000u, nullptr);
        break;
    case CALL_END:
        sound_->StopGreeting();
        greetingToken_ = 0;
        greetingStarted_ = false;
        break;
    case CALL_LOG:
        AddLogLine(step.text);
        break;
    case CALL_DIAL:
        break;  // the state line shows the number
    }
    ShowPosition();
}

void CCallDialog::AddLogLine(const std::string& line)
{
    char time[TIME_TEXT_SIZE] = {};
    FormatTime(GetTickCount() - callStart_, time);
    log_.push_back(time + line);
    HWND list = GetDlgItem(GetHwnd(), IDC_CALL_LOG);
    LRESULT row = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(log_.back().c_str()));
    if (row >= 0)
        SendMessageA(list, LB_SETTOPINDEX, static_cast<WPARAM>(row), 0);
    // The horizontal scroll bar reaches the longest line.
    int width = LineWidth(list, log_.back());
    if (width > SendMessageA(list, LB_GETHORIZONTALEXTENT, 0, 0))
        SendMessageA(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(width), 0);
}

void CCallDialog::ShowState()
{
    std::string text;
    switch (flow_.State()) {
    case CALL_GREETING:
        text = FormatText(IDS_CALL_STATE_GREETING, greetingName_.c_str());
        break;
    case CALL_WAITING:
        text = StringText(IDS_CALL_STATE_WAITING);
        break;
    case CALL_DIALLING:
        text = FormatText(IDS_CALL_STATE_DIALLING, flow_.Number().c_str());
        break;
    case CALL_ENDED:
        text = StringText(IDS_CALL_STATE_ENDED);
        break;
    case CALL_IDLE:
        break;
    }
    SetDlgItemTextA(GetHwnd(), IDC_CALL_STATE, text.c_str());
}

void CCallDialog::UpdateControls()
{
    HWND hwnd = GetHwnd();
    CallState state = flow_.State();
    bool on = !closing_ && state != CALL_ENDED && state != CALL_IDLE;
    bool keys = on && (state == CALL_GREETING || state == CALL_WAITING);
    bool dialling = on && state == CALL_DIALLING;
    // A control about to be disabled hands the keyboard focus on first.
    HWND focus = GetFocus();
    auto enable = [&](int id, bool enabled) {
        HWND control = GetDlgItem(hwnd, id);
        if (!enabled && focus == control)
            SendMessageA(hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(hwnd, IDCANCEL)), TRUE);
        EnableWindow(control, enabled);
    };
    for (int id = IDC_CALL_KEY_FIRST; id <= IDC_CALL_KEY_LAST; ++id)
        enable(id, keys);
    enable(IDC_CALL_ANSWERED, dialling);
    enable(IDC_CALL_BUSY, dialling);
    enable(IDC_CALL_HANG_UP, on);
}

void CCallDialog::ShowPosition()
{
    char text[TIME_TEXT_SIZE] = {};
    if (greetingStarted_)
        FormatTime(static_cast<DWORD>(greetingSteps_) * STEP_MS, text);
    SetDlgItemTextA(GetHwnd(), IDC_CALL_POSITION, text);
}

void CCallDialog::CopyLog()
{
    std::wstring text = WideOfAnsi(LogText());
    SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    ScopedBlock block(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!block)
        return;
    void* memory = GlobalLock(block.Get());
    if (!memory)
        return;
    memcpy(memory, text.c_str(), bytes);
    GlobalUnlock(block.Get());
    ScopedClipboard clipboard(GetHwnd());
    if (!clipboard.IsOpen() || !EmptyClipboard())
        return;
    // The clipboard owns the block once it has taken it.
    if (SetClipboardData(CF_UNICODETEXT, block.Get()))
        block.Detach();
}

void CCallDialog::OnGreetingEnded(WPARAM token, DWORD error)
{
    if (token != greetingToken_ || token == 0)
        return;  // a greeting stopped since
    greetingToken_ = 0;
    greetingStarted_ = false;
    if (error != 0)
        AddLogLine(FormatText(IDS_CALL_GREETING_FAILED, greetingName_.c_str(), WhyNotPlayed(error).c_str()));
    Carry(flow_.GreetingEnded());
}

void CCallDialog::OnSoundFinished()
{
    soundFinished_ = true;
    if (closing_)
        Close();
}

void CCallDialog::InstallKeyFilter()
{
    if (keyFilter_)
        return;
    t_keyDialog = this;
    keyFilter_ = SetWindowsHookExA(WH_MSGFILTER, KeyFilter, nullptr, GetCurrentThreadId());
}

void CCallDialog::RemoveKeyFilter()
{
    if (keyFilter_)
        UnhookWindowsHookEx(keyFilter_);
    keyFilter_ = nullptr;
    if (t_keyDialog == this)
        t_keyDialog = nullptr;
}

// The dialog's modal loop offers each message here before the dialog manager:
// a key typed in any control of the call (the log included, which would take
// it for a search) is the caller's key.
LRESULT CALLBACK CCallDialog::KeyFilter(int code, WPARAM wParam, LPARAM lParam)
{
    MSG* msg = reinterpret_cast<MSG*>(lParam);
    CCallDialog* dialog = t_keyDialog;
    char key = code >= 0 && dialog && msg ? CallerKey(*msg) : 0;
    if (key) {
        HWND hwnd = dialog->GetHwnd();
        if (msg->hwnd == hwnd || IsChild(hwnd, msg->hwnd)) {
            if (IsWindowEnabled(GetDlgItem(hwnd, KeyButton(key))))
                dialog->PressKey(key);
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void RunCall(CBaseDialog* owner, const CMenuSet& set, int startMenu)
{
    CCallDialog dialog(owner ? owner->GetResInstance() : g_hInstance, owner, set, startMenu);
    dialog.Run();
}
