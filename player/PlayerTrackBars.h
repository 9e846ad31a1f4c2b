// Custom drawing of the player's two track bars: a sunken bar filled with one
// colour and a raised thumb carrying a small sunken well of the same colour.
// Only painting is replaced; input and the track bar messages stay the
// platform control's own.
#pragma once
#include <windows.h>

class CPlayerDialog;

// Fixed thumb length of both bars, in pixels.
const int TRACKBAR_THUMB_LENGTH = 40;

// Makes the bar's thumb fixed-length, keeps the dialog in the bar's user data
// and replaces its window procedure by VolumeBarProc or PositionBarProc.
void AttachVolumeBar(HWND bar, CPlayerDialog* dialog);
void AttachPositionBar(HWND bar, CPlayerDialog* dialog);

// WM_PAINT is painted by the dialog found in the bar's user data; every other
// message goes to the control's saved procedure.
LRESULT CALLBACK VolumeBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK PositionBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Paints a bar into dc: the sunken frame around its channel filled with fill,
// and, when enabled, the raised thumb with its well.
void PaintTrackBar(HWND bar, HDC dc, COLORREF fill, bool enabled);
