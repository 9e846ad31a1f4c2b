// A window object whose window is a dialog built from a template. One dialog
// procedure serves every such dialog and turns the window messages into calls
// of the object's operations; derived dialogs override operations only.
#pragma once
#include "app/CWindowObject.h"
#include <commctrl.h>

#include <vector>

class CBaseDialog : public CWindowObject {
public:
    CBaseDialog(HINSTANCE instance, CWindowObject* parent, int templateId, int mode);
    ~CBaseDialog() override;
    CBaseDialog(const CBaseDialog&) = delete;
    CBaseDialog& operator=(const CBaseDialog&) = delete;

    int GetMode() override;
    HWND GetHwnd() override;
    HINSTANCE GetInstance() override;
    HINSTANCE GetResInstance() override;
    CWindowObject* GetParent() override;
    int GetUserValue() override;
    int SetUserValue(int value) override;
    void AddChild(CWindowObject* child) override;
    void RemoveChild(CWindowObject* child) override;
    bool OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    void SetResInstance(HINSTANCE instance) override;

    virtual bool OnInitDialog();
    virtual bool OnClose();                  // false refuses the close
    virtual void OnNotify(NMHDR* header);
    virtual void OnCommand(HWND hwnd, int id, HWND control, int code);
    // WM_HSCROLL from a track bar or scroll bar: code and thumb position come
    // unpacked (thumb as a signed 16-bit value). Called before OnMessage.
    virtual void OnHScroll(HWND control, int code, int thumb);

    // False, and no longer registered with the parent, when no window could be
    // made (a missing template, a control that cannot be created, an owner that
    // has gone) or the mode is not a dialog mode.
    bool Run();
    bool Close();
    bool SetIcon(int which, const char* name);
    bool SetCaption(int stringId);

    bool FindChild(CWindowObject* child, int* index);
    void CloseChild(CWindowObject* child);
    void CloseChildren();
    bool RouteToChildren(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Entries of the child table, cleared ones included; never decreases.
    int GetChildCount() const { return static_cast<int>(children_.size()); }

    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    // The tail every message reaches: children first, then OnMessage.
    INT_PTR RouteMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    int mode_;
    HWND window_;
    HINSTANCE instance_;
    HINSTANCE resInstance_;
    CWindowObject* parent_;
    int userValue_;
    int templateId_;
    int captionId_;
    const char* bigIconName_;
    const char* smallIconName_;
    bool initialised_;  // WM_INITDIALOG has reached this object since Run began
    // Registered children; a removed child leaves an empty entry for the next.
    std::vector<CWindowObject*> children_;
};
