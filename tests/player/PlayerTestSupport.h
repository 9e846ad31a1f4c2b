// What the player tests share: message files, the texts the player shows, the
// geometry of a custom-drawn track bar and its pixels as painted on screen.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

#include "app/CBaseDialog.h"
#include "common/DialogRunner.h"
#include "app/CommonServices.h"
#include "player/CPlayerDialog.h"

// A fmt chunk body with the given fields.
std::string FmtBody(WORD tag, WORD channels, DWORD rate, DWORD byteRate, WORD blockAlign, WORD bits);
// 16-bit mono PCM at 8000 Hz: a 440 Hz tone of the given length in bytes.
std::string PcmTone(DWORD bytes);
// A playable PCM message of that many data bytes.
std::string PcmMessage(DWORD dataBytes);

// FormatTime of milliseconds, as the labels show it.
std::string TimeText(DWORD milliseconds);

// The rejection messages, built from the texts of the strings 372 and 377.
std::string FormatMessageText(const std::string& file, const char* compression, const char* rate,
                              const char* byteRate, const char* sound);
std::string OpenErrorText(const std::string& file, DWORD code);

// The parent a player needs for its child registration: a window object that
// is no dialog, as the main dialog's object is before its window exists.
class StubParent : public CBaseDialog {
public:
    StubParent() : CBaseDialog(g_hInstance, nullptr, 0, 0) {}
    bool Holds(CWindowObject* child)
    {
        int index = -1;
        return FindChild(child, &index);
    }
};

// Rectangles of a track bar as the paint code derives them from the control.
struct BarGeometry {
    RECT frame;   // sunken bar
    RECT thumb;   // raised thumb (when enabled)
    RECT well;    // sunken well of the thumb
};
BarGeometry MeasureBar(HWND bar);
// Paints what is invalid now and reads one pixel of the bar's client area.
COLORREF BarPixel(HWND bar, int x, int y);
COLORREF Rgb(const TrackBarColor& color);
// Every pixel of the bar's inside that the thumb does not cover has this colour.
bool BarFilledWith(HWND bar, COLORREF color, std::string* why);

std::string ColorText(COLORREF color);

// Runs the player like DialogRunner, and at the end closes a player that a
// test left open the way the user does (IDCANCEL), so that its playback is
// stopped and its file closed before the next test.
class PlayerRunner : public DialogRunner {
public:
    // The screen's pointer is parked away from the dialog first: the system
    // turns pointer events into mouse moves, which during a drag would move
    // the thumb to wherever the pointer really is.
    bool Start(CBaseDialog* dialog)
    {
        SetCursorPos(0, 0);
        return DialogRunner::Start(dialog);
    }

    ~PlayerRunner()
    {
        if (Running() && IsWindow(Hwnd())) {
            PostMessageA(Hwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            WaitEnded(15000);
        }
    }
};

// A key pressed and released on a control, through the dialog's own loop;
// returns once it has been handled.
void PressKey(DialogRunner& ui, int id, UINT virtualKey);

// Drags a track bar's thumb with the mouse from its centre to the client x
// coordinates given, one move each, then releases it; afterMove(i) runs after
// move i.
void DragThumb(DialogRunner& ui, int id, const int* xs, int count, const std::function<void(int)>& afterMove);
