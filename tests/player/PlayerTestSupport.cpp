#include "player/PlayerTestSupport.h"

#include <commctrl.h>
#include <math.h>
#include <stdio.h>

#include "common/TestUtil.h"
#include "bytes/WavBytes.h"

std::string FmtBody(WORD tag, WORD channels, DWORD rate, DWORD byteRate, WORD blockAlign, WORD bits)
{
    return Le16(tag) + Le16(channels) + Le32(rate) + Le32(byteRate) + Le16(blockAlign) + Le16(bits);
}

std::string PcmTone(DWORD bytes)
{
    std::string data(bytes, '\0');
    for (DWORD i = 0; i + 1 < bytes; i += 2) {
        short sample = (short)(8000.0 * sin(2.0 * 3.14159265358979 * 440.0 * (i / 2) / 8000.0));
        PutLe16(&data, i, (WORD)sample);
    }
    return data;
}

std::string PcmMessage(DWORD dataBytes) { return Wav(PcmFmt(), Chunk("data", PcmTone(dataBytes))); }

std::string TimeText(DWORD milliseconds)
{
    char text[64] = {};
    FormatTime(milliseconds, text);
    return text;
}

std::string FormatMessageText(const std::string& file, const char* compression, const char* rate,
                              const char* byteRate, const char* sound)
{
    return Ansi("Файл [") + file +
           Ansi("], соответствующий данному сообщению не может быть использован, так как его формат не "
                "соответствует требованиям системы.\n\nФормат текущего файла:\nКомпрессия: ") +
           Ansi(compression) + Ansi("\nЧастота дискретизации, Гц: ") + Ansi(rate) + Ansi("\nБайт/сек: ") +
           Ansi(byteRate) + Ansi("\nЗвук: ") + Ansi(sound) +
           Ansi("\n\nТребуемый формат:\n Компрессия: PCM, G.711a, G.711m, MS GSM 0610\nЧастота "
                "дискретизации, Гц: 8000\nБайт/сек: 16000 для PCM, 8000 для G.711, 1625 для MS GSM "
                "0610\nЗвук: моно.\n\nПроверьте формат файла.");
}

std::string OpenErrorText(const std::string& file, DWORD code)
{
    return Ansi("Файл [") + file +
           Ansi("], соответствующий данному сообщению не может быть использован, так как при его "
                "использовании возникла ошибка (см. ниже).\n") +
           SystemErrorText(code);
}

BarGeometry MeasureBar(HWND bar)
{
    BarGeometry g = {};
    RECT channel = {};
    SendMessageA(bar, TBM_GETCHANNELRECT, 0, (LPARAM)&channel);
    g.frame = {channel.left - 1, channel.top - 14, channel.right + 1, channel.bottom - 4};
    SendMessageA(bar, TBM_GETTHUMBRECT, 0, (LPARAM)&g.thumb);
    g.thumb.top = g.frame.top + 1;
    g.thumb.bottom = g.frame.bottom - 1;
    g.well = {g.thumb.left + 5, g.thumb.top + 3, g.thumb.right - 5, g.thumb.bottom - 4};
    return g;
}

COLORREF BarPixel(HWND bar, int x, int y)
{
    UpdateWindow(bar);
    HDC dc = GetDC(bar);
    COLORREF color = GetPixel(dc, x, y);
    ReleaseDC(bar, dc);
    return color;
}

COLORREF Rgb(const TrackBarColor& color) { return RGB(color.red, color.green, color.blue); }

bool BarFilledWith(HWND bar, COLORREF color, std::string* why)
{
    UpdateWindow(bar);
    BarGeometry g = MeasureBar(bar);
    bool thumb = IsWindowEnabled(bar) != FALSE;
    RECT client;
    GetClientRect(bar, &client);
    HDC dc = GetDC(bar);
    bool ok = true;
    // The frame may reach beyond the control: only what shows is compared.
    int top = g.frame.top + 1 > client.top ? g.frame.top + 1 : client.top;
    int bottom = g.frame.bottom - 1 < client.bottom ? g.frame.bottom - 1 : client.bottom;
    for (int y = top; ok && y < bottom; ++y) {
        for (int x = g.frame.left + 1; x < g.frame.right - 1; ++x) {
            if (thumb && x >= g.thumb.left && x < g.thumb.right)
                continue;
            COLORREF seen = GetPixel(dc, x, y);
            if (seen != color) {
                if (why)
                    *why = "pixel " + std::to_string(x) + "," + std::to_string(y) + " is " + ColorText(seen);
                ok = false;
                break;
            }
        }
    }
    ReleaseDC(bar, dc);
    return ok;
}

std::string ColorText(COLORREF color)
{
    char text[32];
    snprintf(text, sizeof text, "(%d, %d, %d)", GetRValue(color), GetGValue(color), GetBValue(color));
    return text;
}

void PressKey(DialogRunner& ui, int id, UINT virtualKey)
{
    ui.PostKey(id, virtualKey);
    ui.Flush();
}

void DragThumb(DialogRunner& ui, int id, const int* xs, int count, const std::function<void(int)>& afterMove)
{
    HWND bar = ui.Item(id);
    RECT thumb = {};
    SendMessageA(bar, TBM_GETTHUMBRECT, 0, (LPARAM)&thumb);
    int x = (thumb.left + thumb.right) / 2;
    int y = (thumb.top + thumb.bottom) / 2;
    ui.Send(id, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    for (int i = 0; i < count; ++i) {
        x = xs[i];
        ui.Send(id, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
        afterMove(i);
    }
    ui.Send(id, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}
