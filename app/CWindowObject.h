// The interface every window object of Orlenta offers.
#pragma once
#include <windows.h>

// Dialog modes; any other code marks a window object that is not a dialog.
const int DLGMODE_MODAL = 60418;     // DialogBoxParam; Run returns when it has ended
const int DLGMODE_MODELESS = 60419;  // CreateDialogParam + SW_SHOW; Run returns at once
const int DLGMODE_OWNED = 60420;     // as modeless, owned by the parent's window

inline bool IsDialogMode(int mode)
{
    return mode == DLGMODE_MODAL || mode == DLGMODE_MODELESS || mode == DLGMODE_OWNED;
}

class CWindowObject {
public:
    virtual ~CWindowObject() {}
    virtual int GetMode() = 0;
    virtual HWND GetHwnd() = 0;
    virtual HINSTANCE GetInstance() = 0;
    virtual HINSTANCE GetResInstance() = 0;
    virtual CWindowObject* GetParent() = 0;
    virtual int GetUserValue() = 0;
    virtual int SetUserValue(int value) = 0;         // answers the previous value
    virtual void AddChild(CWindowObject* child) = 0;
    virtual void RemoveChild(CWindowObject* child) = 0;
    virtual bool OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual void SetResInstance(HINSTANCE instance) = 0;
};
