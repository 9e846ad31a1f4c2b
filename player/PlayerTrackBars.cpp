#include "player/PlayerTrackBars.h"

#include <commctrl.h>

#include "app/ScopedWin.h"
#include "player/CPlayerDialog.h"

namespace {

// The sunken frame around the channel: one pixel wider on each side, reaching
// up over the thumb's height and stopping just above the channel's bottom.
const int FRAME_SIDE_OUTSET = 1;
const int FRAME_ABOVE_CHANNEL = 14;
const int FRAME_BOTTOM_INSET = 4;
// The pushed-in well drawn inside the thumb, filled with the bar's colour.
const int WELL_SIDE_INSET = 5;
const int WELL_TOP_INSET = 3;
const int WELL_BOTTOM_INSET = 4;

// The controls' own procedures. The process has one player dialog, so one
// saved procedure per bar is enough; each run attaches its new controls again.
WNDPROC g_pfnVolumeBarDefault = nullptr;
WNDPROC g_pfnPositionBarDefault = nullptr;

void Attach(HWND bar, CPlayerDialog* dialog, WNDPROC proc, WNDPROC* saved)
{
    if (!bar)
        return;
    LONG_PTR style = GetWindowLongPtrA(bar, GWL_STYLE);
    SetWindowLongPtrA(bar, GWL_STYLE, style | TBS_FIXEDLENGTH);
    SendMessageA(bar, TBM_SETTHUMBLENGTH, TRACKBAR_THUMB_LENGTH, 0);
    // Some controls lay out their channel and thumb for a new length only when
    // they paint themselves, which these bars never do: lay them out now.
    RECT client;
    GetClientRect(bar, &client);
    SendMessageA(bar, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    SetWindowLongPtrA(bar, GWLP_USERDATA, (LONG_PTR)dialog);
    WNDPROC current = (WNDPROC)GetWindowLongPtrA(bar, GWLP_WNDPROC);
    // Attaching a bar twice must not save our own procedure as the control's.
    if (current == proc)
        return;
    *saved = current;
    SetWindowLongPtrA(bar, GWLP_WNDPROC, (LONG_PTR)proc);
}

CPlayerDialog* DialogOf(HWND bar)
{
    return reinterpret_cast<CPlayerDialog*>(GetWindowLongPtrA(bar, GWLP_USERDATA));
}

LRESULT BarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, WNDPROC saved,
                void (CPlayerDialog::*paint)(PAINTSTRUCT&))
{
    CPlayerDialog* dialog = DialogOf(hwnd);
    if (message == WM_PAINT && dialog) {
        ScopedPaintDC dc(hwnd);
        (dialog->*paint)(dc.Paint());
        return 0;
    }
    LRESULT answer = saved ? CallWindowProcA(saved, hwnd, message, wParam, lParam)
                           : DefWindowProcA(hwnd, message, wParam, lParam);
    // The control repaints only its thumb when enabled or disabled, but the
    // whole bar changes: its fill colour and the thumb.
    if (message == WM_ENABLE)
        InvalidateRect(hwnd, nullptr, FALSE);
    return answer;
}

} // namespace

void AttachVolumeBar(HWND bar, CPlayerDialog* dialog)
{
    Attach(bar, dialog, VolumeBarProc, &g_pfnVolumeBarDefault);
}

void AttachPositionBar(HWND bar, CPlayerDialog* dialog)
{
    Attach(bar, dialog, PositionBarProc, &g_pfnPositionBarDefault);
}

LRESULT CALLBACK VolumeBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return BarProc(hwnd, message, wParam, lParam, g_pfnVolumeBarDefault, &CPlayerDialog::PaintVolumeBar);
}

LRESULT CALLBACK PositionBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return BarProc(hwnd, message, wParam, lParam, g_pfnPositionBarDefault, &CPlayerDialog::PaintPositionBar);
}

void PaintTrackBar(HWND bar, HDC dc, COLORREF fill, bool enabled)
{
    if (!bar || !dc)
        return;
    RECT channel = {};
    SendMessageA(bar, TBM_GETCHANNELRECT, 0, (LPARAM)&channel);

    // The sunken bar reaches from well above the channel to just above its bottom.
    RECT frame = {channel.left - FRAME_SIDE_OUTSET, channel.top - FRAME_ABOVE_CHANNEL,
                  channel.right + FRAME_SIDE_OUTSET, channel.bottom - FRAME_BOTTOM_INSET};
    DrawFrameControl(dc, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_PUSHED);

    ScopedGdiObj<HBRUSH> brush(CreateSolidBrush(fill));
    RECT inside = frame;
    InflateRect(&inside, -1, -1);
    FillRect(dc, &inside, brush.Get());

    // A disabled bar has no thumb.
    if (!enabled)
        return;
    RECT thumb = {};
    SendMessageA(bar, TBM_GETTHUMBRECT, 0, (LPARAM)&thumb);
    thumb.top = frame.top + 1;
    thumb.bottom = frame.bottom - 1;
    DrawFrameControl(dc, &thumb, DFC_BUTTON, DFCS_BUTTONPUSH);

    RECT well = {thumb.left + WELL_SIDE_INSET, thumb.top + WELL_TOP_INSET, thumb.right - WELL_SIDE_INSET,
                 thumb.bottom - WELL_BOTTOM_INSET};
    DrawFrameControl(dc, &well, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_PUSHED);
    InflateRect(&well, -1, -1);
    FillRect(dc, &well, brush.Get());
}
