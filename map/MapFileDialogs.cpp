#include "map/MapFileDialogs.h"

#include <commdlg.h>
#include <shobjidl.h>

#include <algorithm>
#include <vector>

#include "app/TextSize.h"

namespace {

// A COM interface pointer released when it goes.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr()
    {
        if (p_)
            p_->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* operator->() const { return p_; }
    T** Out() { return &p_; }
    void** OutVoid() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};

// A block the shell allocated with the COM allocator.
class CoTaskText {
public:
    ~CoTaskText() { CoTaskMemFree(text_); }
    wchar_t** Out() { return &text_; }
    const wchar_t* Get() const { return text_; }

private:
    wchar_t* text_ = nullptr;
};

std::wstring Wide(const std::string& ansi)
{
    int length = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? length : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, &wide[0], length);
    wide.resize(wcslen(wide.c_str()));
    return wide;
}

// The path in the ANSI code page the program's files use; false when a
// character of it has no form there (such a folder could not be opened).
bool Ansi(const wchar_t* wide, std::string* ansi)
{
    BOOL lost = FALSE;
    int length = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, &lost);
    if (length <= 0 || lost)
        return false;
    std::vector<char> text(length);
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text.data(), length, nullptr, nullptr);
    ansi->assign(text.data());
    return true;
}

} // namespace

bool AskFolder(HWND owner, const std::string& title, std::string* folder, HRESULT* error)
{
    *error = S_OK;
    ComPtr<IFileOpenDialog> dialog;
    HRESULT result = CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                      dialog.OutVoid());
    if (FAILED(result)) {
        *error = result;
        return false;
    }
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    dialog->SetTitle(Wide(title).c_str());
    result = dialog->Show(owner);
    if (result == HRESULT_FROM_WIN32(ERROR_CANCELLED))
        return false;
    if (FAILED(result)) {
        *error = result;
        return false;
    }
    ComPtr<IShellItem> item;
    CoTaskText path;
    result = dialog->GetResult(item.Out());
    if (SUCCEEDED(result))
        result = item->GetDisplayName(SIGDN_FILESYSPATH, path.Out());
    if (FAILED(result)) {
        *error = result;
        return false;
    }
    if (!Ansi(path.Get(), folder)) {
        *error = HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
        return false;
    }
    return true;
}

bool AskReportFile(HWND owner, const std::string& title, const std::string& filter,
                   const std::string& initialName, const std::string& folder, std::string* path)
{
    std::string pairs = filter;
    std::replace(pairs.begin(), pairs.end(), '|', '\0');
    pairs.push_back('\0');
    char name[TEXT_SIZE] = {};
    lstrcpynA(name, initialName.c_str(), sizeof name);

    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = pairs.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name;
    dialog.nMaxFile = sizeof name;
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrDefExt = "html";
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameA(&dialog))
        return false;
    path->assign(name);
    return true;
}
