// A window object whose window is a dialog built from a template. One dialog
// procedure serves every such dialog and turns the window messages into calls
// of the object's operations; derived dialogs override operations only.
#pragma once
#include "app/CWindowObject.h"

class CBaseDialog : public CWindowObject {
public:
    CBaseDialog(HINSTANCE instance, CWindowObject* parent, int templateId, int mode);
    ~CBaseDialog() override;

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

    bool Run();
    bool Close();
    bool SetIcon(int which, const char* name);
    bool SetCaption(int stringId);

    bool FindChild(CWindowObject* child, int* index);
    void CloseChild(CWindowObject* child);
    void CloseChildren();
    bool RouteToChildren(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
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
    CWindowObject** children_;
    int childCount_;
};
