#include "app/CommonServices.h"

#include <commdlg.h>
#include <ole2.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

#include "res/resource.h"

HINSTANCE g_hInstance = nullptr;
HWND g_hMainWnd = nullptr;

namespace {

const int kTextSize = 256;               // every path and field buffer
const int kCaptionSize = 128;
const int kMessageSize = 1024;
const int kSystemTextSize = 512;
const int kReportSize = 4096;
const int kMaxBlock = 20 * 1024 * 1024;  // 20 MiB, the largest scratch block

// The sources are UTF-8 while the A functions take Windows-1251, so the built-in
// Russian texts are spelled out in that code page.
const char kErrorLine[] = "\xCE\xF8\xE8\xE1\xEA\xE0: %d";  // "Ошибка: %d"

// The file-name part: what follows the last backslash, or the whole path.
const char* FileNamePart(const char* path)
{
    const char* slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

// Clears size bytes of out, then copies length characters of part, never more
// than out can hold with its terminator.
char* CopyPart(char* out, int size, const char* part, size_t length)
{
    if (size <= 0)
        return out;
    memset(out, 0, size);
    if (length > static_cast<size_t>(size - 1))
        length = size - 1;
    memcpy(out, part, length);
    return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\r' || c == '\n'; }

} // namespace

int ShowMessage(HINSTANCE instance, HWND owner, const char* text, UINT flags)
{
    if (owner && !IsWindow(owner))
        return IDCANCEL;
    char caption[kCaptionSize] = {};
    LoadStringA(instance, IDS_APP_TITLE, caption, sizeof caption);
    return MessageBoxA(owner, text ? text : "", caption, flags);
}

int ShowMessageId(HINSTANCE instance, HWND owner, UINT stringId, UINT flags)
{
    if (owner && !IsWindow(owner))
        return IDCANCEL;
    char text[kMessageSize] = {};
    LoadStringA(instance, stringId, text, sizeof text);
    return ShowMessage(instance, owner, text, flags);
}

DWORD ReportSystemError(DWORD code, BOOL show, const char* context)
{
    if (code == 0)
        return 0;

    char systemText[kSystemTextSize] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   systemText, sizeof systemText - 1, nullptr);

    char* report = static_cast<char*>(AllocBlock(kReportSize));
    if (!report)
        return code;
    char line[64] = {};
    snprintf(line, sizeof line, kErrorLine, static_cast<int>(code));
    if (context)
        snprintf(report, kReportSize, "%s\n%s\n%s", context, line, systemText);
    else
        snprintf(report, kReportSize, "%s\n%s", line, systemText);

    if (show)
        ShowMessage(g_hInstance, g_hMainWnd, report, MB_OK | MB_ICONERROR);
    FreeBlock(report);
    return code;
}

BOOL FileExists(const char* path)
{
    if (!path || !*path)
        return FALSE;
    _finddata_t found;
    intptr_t search = _findfirst(path, &found);
    if (search == -1)
        return FALSE;
    _findclose(search);
    return TRUE;
}

void* AllocBlock(int size)
{
    if (size < 0 || size > kMaxBlock)
        return nullptr;
    return GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size);
}

BOOL FreeBlock(void* block)
{
    if (!block)
        return FALSE;
    return GlobalFree(block) == nullptr;
}

char* GetDirPart(const char* path, char* out, int size)
{
    if (!out)
        return nullptr;
    if (!path)
        path = "";
    const char* slash = strrchr(path, '\\');
    return CopyPart(out, size, path, slash ? slash - path : 0);
}

char* GetNamePart(const char* path, char* out, int size)
{
    if (!out)
        return nullptr;
    const char* name = FileNamePart(path ? path : "");
    const char* dot = strrchr(name, '.');
    return CopyPart(out, size, name, dot ? dot - name : strlen(name));
}

char* GetExtPart(const char* path, char* out, int size)
{
    if (!out)
        return nullptr;
    const char* name = FileNamePart(path ? path : "");
    const char* dot = strrchr(name, '.');
    return dot ? CopyPart(out, size, dot + 1, strlen(dot + 1)) : CopyPart(out, size, "", 0);
}

BOOL StripBlanks(const char* text, char* out)
{
    if (!text || !out)
        return FALSE;
    char work[kTextSize] = {};
    int length = 0;
    for (const char* p = text; *p && length < kTextSize - 1; ++p)
        if (!IsBlank(*p))
            work[length++] = *p;
    if (length == 0)
        return FALSE;
    memcpy(out, work, length + 1);
    return TRUE;
}

int FormatTime(DWORD milliseconds, char* out)
{
    unsigned hours = milliseconds / 3600000u;
    unsigned minutes = milliseconds % 3600000u / 60000u;
    unsigned seconds = milliseconds % 60000u / 1000u;
    unsigned thousandths = milliseconds % 1000u;
    // At most 1193 hours: 16 characters and the terminator.
    return sprintf(out, "%02u:%02u:%02u[%03u] ", hours, minutes, seconds, thousandths);
}

namespace {

// OLE on one thread from its first file dialog until the thread ends. The file
// dialogs' drag and drop support would otherwise set OLE up and tear it down
// around every dialog, and Wine can hang in a dialog opened right after such a
// tear-down. Not at start-up: initialising OLE there delays the main window.
class OleUntilThreadEnds {
public:
    OleUntilThreadEnds() : result_(OleInitialize(nullptr)) {}
    ~OleUntilThreadEnds()
    {
        if (SUCCEEDED(result_))
            OleUninitialize();
    }
    OleUntilThreadEnds(const OleUntilThreadEnds&) = delete;
    OleUntilThreadEnds& operator=(const OleUntilThreadEnds&) = delete;

private:
    HRESULT result_;
};

} // namespace

char* ChooseFile(HWND owner, DWORD flags, const char* title, const char* filter,
                 const char* initialName, char* out)
{
    thread_local OleUntilThreadEnds ole;

    if (!out)
        return nullptr;
    memset(out, 0, kTextSize);
    if (initialName)
        lstrcpynA(out, initialName, kTextSize);

    // The one caller of the save dialog saves voice-menu configurations, so a
    // name typed without an extension becomes a .ivr file. A default extension
    // also makes the dialog itself append the pattern of the selected filter
    // ("*.ivr"), and "ivr" when "All files (*.*)" is selected.
    static const char kSaveExtension[] = "ivr";
    static const char kNoExtension[] = "";

    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = 0;  // the first pair
    dialog.lpstrFile = out;
    dialog.nMaxFile = kTextSize;
    dialog.lpstrTitle = title;
    dialog.lpstrDefExt = flags ? kNoExtension : kSaveExtension;

    BOOL chosen;
    if (flags) {
        dialog.Flags = flags | OFN_EXPLORER;
        chosen = GetOpenFileNameA(&dialog);
    } else {
        // No overwrite prompt: the caller asks its own question.
        dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
        chosen = GetSaveFileNameA(&dialog);
    }
    if (!chosen)
        return nullptr;

    char ext[kTextSize];
    if (!flags && out[0] && !GetExtPart(out, ext, sizeof ext)[0]) {
        // Completed here too, whatever the dialog did: "menu" and "menu." both
        // become menu.ivr. A name that would not fit is left as chosen.
        char dir[kTextSize];
        char name[kTextSize];
        char completed[kTextSize * 2];
        GetDirPart(out, dir, sizeof dir);
        GetNamePart(out, name, sizeof name);
        int length = dir[0] ? snprintf(completed, sizeof completed, "%s\\%s.%s", dir, name, kSaveExtension)
                            : snprintf(completed, sizeof completed, "%s.%s", name, kSaveExtension);
        if (name[0] && length < kTextSize)
            memcpy(out, completed, length + 1);
    }
    return out;
}
