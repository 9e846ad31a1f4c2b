#include "app/CBaseDialog.h"

#include "app/TextSize.h"

CBaseDialog::CBaseDialog(HINSTANCE instance, CWindowObject* parent, int templateId, int mode)
    : mode_(mode),
      window_(nullptr),
      instance_(instance),
      resInstance_(instance),
      parent_(parent),
      userValue_(0),
      templateId_(templateId),
      captionId_(0),
      bigIconName_(nullptr),
      smallIconName_(nullptr),
      initialised_(false)
{
    if (parent_)
        parent_->AddChild(this);
}

CBaseDialog::~CBaseDialog()
{
    // A window that outlives its object must not reach it any more.
    if (window_ && IsWindow(window_) &&
        GetWindowLongPtrA(window_, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this))
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
}

int CBaseDialog::GetMode() { return mode_; }
HWND CBaseDialog::GetHwnd() { return window_; }
HINSTANCE CBaseDialog::GetInstance() { return instance_; }
HINSTANCE CBaseDialog::GetResInstance() { return resInstance_; }
CWindowObject* CBaseDialog::GetParent() { return parent_; }
int CBaseDialog::GetUserValue() { return userValue_; }

int CBaseDialog::SetUserValue(int value)
{
    int previous = userValue_;
    userValue_ = value;
    return previous;
}

bool CBaseDialog::FindChild(CWindowObject* child, int* index)
{
    for (size_t i = 0; i < children_.size(); ++i) {
        if (children_[i] == child) {
            if (index)
                *index = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

void CBaseDialog::AddChild(CWindowObject* child)
{
    int free = 0;
    if (FindChild(nullptr, &free))
        children_[free] = child;
    else
        children_.push_back(child);
}

void CBaseDialog::RemoveChild(CWindowObject* child)
{
    int index = 0;
    if (FindChild(child, &index))
        children_[index] = nullptr;
}

void CBaseDialog::CloseChild(CWindowObject* child)
{
    if (!child)
        return;
    int index = 0;
    if (IsDialogMode(child->GetMode())) {
        // Close runs the child's OnClose, which normally unregisters it.
        if (CBaseDialog* dialog = dynamic_cast<CBaseDialog*>(child))
            dialog->Close();
        if (!child->GetParent()) {
            if (FindChild(child, &index))
                children_[index] = nullptr;
            return;
        }
    }
    // A child still registered here is ours to delete.
    if (!FindChild(child, &index))
        return;
    children_[index] = nullptr;
    delete child;
}

void CBaseDialog::CloseChildren()
{
    // The table may change under a child's OnClose: read it afresh each time.
    for (size_t i = 0; i < children_.size(); ++i) {
        CWindowObject* child = children_[i];
        if (!child)
            continue;
        CloseChild(child);
        RemoveChild(children_[i]);
    }
}

bool CBaseDialog::RouteToChildren(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // By index: a child's handler may register another child.
    for (size_t i = 0; i < children_.size(); ++i) {
        CWindowObject* child = children_[i];
        if (!child || IsDialogMode(child->GetMode()) || !IsWindow(child->GetHwnd()))
            continue;
        if (child->OnMessage(hwnd, message, wParam, lParam))
            break;
    }
    return false;
}

bool CBaseDialog::OnMessage(HWND, UINT, WPARAM, LPARAM) { return false; }

void CBaseDialog::SetResInstance(HINSTANCE instance)
{
    resInstance_ = instance;
    SetIcon(ICON_BIG, bigIconName_);
    SetIcon(ICON_SMALL, smallIconName_);
    SetCaption(captionId_);
    for (CWindowObject* child : children_)
        if (child)
            child->SetResInstance(instance);
}

bool CBaseDialog::OnInitDialog() { return true; }

bool CBaseDialog::OnClose()
{
    CloseChildren();
    if (parent_)
        parent_->RemoveChild(this);
    return true;
}

void CBaseDialog::OnNotify(NMHDR*) {}

void CBaseDialog::OnCommand(HWND, int id, HWND, int)
{
    if (id == IDOK || id == IDCANCEL) {
        OnClose();
        Close();
    }
}

void CBaseDialog::OnHScroll(HWND, int, int) {}

bool CBaseDialog::Run()
{
    HWND owner = parent_ ? parent_->GetHwnd() : nullptr;
    LPCSTR name = MAKEINTRESOURCEA(templateId_ & 0xFFFF);
    bool opened = false;
    switch (mode_) {
    case DLGMODE_MODAL:
        // Its answer cannot tell a failure apart (-1 for a missing template or a
        // control that cannot be made, 0 for an owner that is no window): a run
        // that opened a window has passed WM_INITDIALOG.
        initialised_ = false;
        DialogBoxParamA(resInstance_, name, owner, DialogProc, reinterpret_cast<LPARAM>(this));
        opened = initialised_;
        break;
    case DLGMODE_MODELESS:
    case DLGMODE_OWNED:
        window_ = CreateDialogParamA(resInstance_, name, owner, DialogProc, reinterpret_cast<LPARAM>(this));
        opened = window_ != nullptr;
        if (opened)
            ShowWindow(window_, SW_SHOW);
        break;
    default:
        return false;
    }
    // Without a window no OnClose will unregister this object, and the parent
    // would go on offering its messages to it after it has gone.
    if (!opened && parent_)
        parent_->RemoveChild(this);
    return opened;
}

bool CBaseDialog::Close()
{
    switch (mode_) {
    case DLGMODE_MODAL:
        EndDialog(window_, 0);
        break;
    case DLGMODE_MODELESS:
    case DLGMODE_OWNED:
        DestroyWindow(window_);
        break;
    default:
        break;
    }
    OnClose();
    return true;
}

bool CBaseDialog::SetIcon(int which, const char* name)
{
    if (which != ICON_BIG && which != ICON_SMALL)
        return false;
    if (which == ICON_BIG)
        bigIconName_ = name;
    else
        smallIconName_ = name;
    // Each at its own size: a big icon shrunk for the caption looks blurred.
    int size = GetSystemMetrics(which == ICON_BIG ? SM_CXICON : SM_CXSMICON);
    HICON icon = static_cast<HICON>(LoadImageA(resInstance_, name, IMAGE_ICON, size, size, LR_SHARED));
    if (!icon)
        return false;
    SendMessageA(window_, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
    return true;
}

bool CBaseDialog::SetCaption(int stringId)
{
    char text[TEXT_SIZE] = {};
    if (LoadStringA(resInstance_, stringId, text, sizeof text) == 0)
        return false;
    captionId_ = stringId;
    SendMessageA(window_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    return true;
}

INT_PTR CBaseDialog::RouteMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    RouteToChildren(hwnd, message, wParam, lParam);
    return OnMessage(hwnd, message, wParam, lParam) ? 1 : 0;
}

INT_PTR CALLBACK CBaseDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Null until WM_INITDIALOG: earlier messages get the dialog manager's defaults.
    CBaseDialog* self = reinterpret_cast<CBaseDialog*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));

    switch (message) {
    case WM_INITDIALOG:
        self = reinterpret_cast<CBaseDialog*>(lParam);
        if (!self)
            return 0;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, lParam);
        self->window_ = hwnd;
        self->initialised_ = true;
        self->OnInitDialog();
        break;
    case WM_COMMAND:
        if (!self)
            return 0;
        self->OnCommand(hwnd, LOWORD(wParam), reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        break;
    case WM_NOTIFY:
        if (self)
            self->OnNotify(reinterpret_cast<NMHDR*>(lParam));
        break;
    case WM_HSCROLL:
        if (self)
            self->OnHScroll(reinterpret_cast<HWND>(lParam), LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
        break;
    case WM_CLOSE:
        if (!self)
            return 0;
        if (!self->OnClose())
            return -1;  // refused: the window stays
        self->Close();  // ends the window and runs OnClose once more
        break;
    default:
        break;
    }
    if (!self)
        return 0;
    INT_PTR answer = self->RouteMessage(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY)
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);  // the window is gone; so is the link
    return answer;
}
