// What an operator does in a dialog, synthesised as the messages the controls
// and the dialog manager get: clicks and keystrokes sent to a control, keys
// posted so that the dialog manager sees them in its loop.
#pragma once
#include "common/DialogControls.h"

class DialogInput : public DialogControls {
public:
    explicit DialogInput(HWND dialog = nullptr) : DialogControls(dialog) {}

    // BM_CLICK on a button.
    void Click(int id);
    // One WM_CHAR per character of an ANSI text, as keystrokes in a control.
    void Type(int id, const std::string& ansi);
    // Keyboard focus to a control, the dialog manager's way.
    void Focus(int id);
    // A key pressed in a control, posted so that the dialog manager sees it.
    void PostKey(int id, UINT vk);
    void PostAltF4();
    // What the close box of the caption sends.
    void PostCloseBox();

    // List view: LVM_SETITEMSTATE, as a click would.
    void SelectRow(int id, int row);
    // Left click at a point of a control's client area.
    void ClickAt(int id, int x, int y);
    // Combo box: select an item and tell the dialog, as the operator's choice does.
    void SelectCombo(int id, int index);
};
