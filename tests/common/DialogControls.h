// Reads and sets the controls of a dialog window by messages, from any thread:
// a message sent to a window of the tests' UI thread runs there and returns
// when handled. Works on any dialog, run by a DialogRunner or found on screen.
#pragma once
#include <windows.h>
#include <string>

// The control of that id anywhere below window: in a dialog's child dialog
// too, such as a template of the program's own inside a common file dialog.
HWND FindDescendant(HWND window, int id);
// The first control of that window class anywhere below window (a file
// dialog's name field: "Edit").
HWND FindDescendantOfClass(HWND window, const char* className);

class DialogControls {
public:
    explicit DialogControls(HWND dialog = nullptr) : dialog_(dialog) {}

    HWND Hwnd() const { return dialog_; }
    HWND Item(int id) const { return GetDlgItem(dialog_, id); }

    LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT SendDialog(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    std::string Text(int id) const;
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }

    // List view.
    std::string ListText(int id, int row, int column) const;
    int ListRows(int id) const;
    int SelectedRow(int id) const;

    // Combo box.
    int ComboSelection(int id) const;
    std::string ComboText(int id, int index) const;

protected:
    void SetHwnd(HWND dialog) { dialog_ = dialog; }

private:
    HWND dialog_;
};
