#include "app/CommonServices.h"

#include <commdlg.h>
#include <ole2.h>
#include <io.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "app/ScopedWin.h"
#include "app/TextSize.h"
#include "res/resource.h"

HINSTANCE g_hInstance = nullptr;
HWND g_hMainWnd = nullptr;

namespace {

const int CAPTION_SIZE = 128;
const int MESSAGE_SIZE = 1024;
const int SYSTEM_TEXT_SIZE = 512;
const int REPORT_SIZE = 4096;
const int MAX_BLOCK = 20 * 1024 * 1024;  // 20 MiB, the largest scratch block

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

char* FormatStringIdV(HINSTANCE instance, char* out, int size, UINT formatId, va_list args)
{
    if (size <= 0)
        return out;
    char format[MESSAGE_SIZE] = {};
    LoadStringA(instance, formatId, format, sizeof format);
    vsnprintf(out, size, format, args);
    out[size - 1] = '\0';
    return out;
}

} // namespace

bool IsBlank(char c) { return c == ' ' || c == '\r' || c == '\n'; }

bool HasBlank(const char* text)
{
    for (const char* p = text; p && *p; ++p)
        if (IsBlank(*p))
            return true;
    return false;
}

int ShowMessage(HINSTANCE instance, HWND owner, const char* text, UINT flags)
{
    if (owner && !IsWindow(owner))
        return IDCANCEL;
    char caption[CAPTION_SIZE] = {};
    LoadStringA(instance, IDS_APP_TITLE, caption, sizeof caption);
    return MessageBoxA(owner, text ? text : "", caption, flags);
}

int ShowMessageId(HINSTANCE instance, HWND owner, UINT stringId, UINT flags)
{
    if (owner && !IsWindow(owner))
        return IDCANCEL;
    char text[MESSAGE_SIZE] = {};
    LoadStringA(instance, stringId, text, sizeof text);
    return ShowMessage(instance, owner, text, flags);
}

int ShowMessageFormat(HINSTANCE instance, HWND owner, UINT flags, UINT formatId, ...)
{
    char text[MESSAGE_SIZE * 2] = {};
    va_list args;
    va_start(args, formatId);
    FormatStringIdV(instance, text, sizeof text, formatId, args);
    va_end(args);
    return ShowMessage(instance, owner, text, flags);
}

char* FormatStringId(HINSTANCE instance, char* out, int size, UINT formatId, ...)
{
    va_list args;
    va_start(args, formatId);
    FormatStringIdV(instance, out, size, formatId, args);
    va_end(args);
    return out;
}

DWORD ReportSystemError(DWORD code, BOOL show, const char* context)
{
    if (code == 0)
        return 0;

    char systemText[SYSTEM_TEXT_SIZE] = {};
    GetSystemErrorText(code, systemText, sizeof systemText);

    ScopedBlock report(AllocBlock(REPORT_SIZE));
    if (!report)
        return code;
    char lineFormat[64] = {};
    LoadStringA(g_hInstance, IDS_ERROR_LINE, lineFormat, sizeof lineFormat);
    char line[64] = {};
    snprintf(line, sizeof line, lineFormat, static_cast<int>(code));
    if (context)
        snprintf(report.As<char>(), REPORT_SIZE, "%s\n%s\n%s", context, line, systemText);
    else
        snprintf(report.As<char>(), REPORT_SIZE, "%s\n%s", line, systemText);

    if (show)
        ShowMessage(g_hInstance, g_hMainWnd, report.As<char>(), MB_OK | MB_ICONERROR);
    return code;
}

DWORD ReportSystemErrorId(DWORD code, UINT contextId)
{
    char context[TEXT_SIZE] = {};
    LoadStringA(g_hInstance, contextId, context, sizeof context);
    return ReportSystemError(code, TRUE, context);
}

char* GetSystemErrorText(DWORD code, char* out, int size)
{
    memset(out, 0, size);
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, out, size - 1,
                   nullptr);
    return out;
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
    if (size < 0 || size > MAX_BLOCK)
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
    char work[TEXT_SIZE] = {};
    int length = 0;
    for (const char* p = text; *p && length < TEXT_SIZE - 1; ++p)
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

char* ChooseFile(HWND owner, DWORD flags, const char* title, const char* filter,
                 const char* initialName, char* out)
{
    // OLE on this thread from its first file dialog until the thread ends. The
    // file dialogs' drag and drop support would otherwise set OLE up and tear it
    // down around every dialog, and Wine can hang in a dialog opened right after
    // such a tear-down. Not at start-up: initialising OLE there delays the main
    // window.
    thread_local ScopedOle ole;

    if (!out)
        return nullptr;
    memset(out, 0, TEXT_SIZE);
    if (initialName)
        lstrcpynA(out, initialName, TEXT_SIZE);

    // The one caller of the save dialog saves voice-menu configurations, so a
    // name typed without an extension becomes a .ivr file. A default extension
    // also makes the dialog itself append the pattern of the selected filter
    // ("*.ivr"), and "ivr" when "All files (*.*)" is selected.
    static const char SAVE_EXTENSION[] = "ivr";
    static const char NO_EXTENSION[] = "";

    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = 0;  // the first pair
    dialog.lpstrFile = out;
    dialog.nMaxFile = TEXT_SIZE;
    dialog.lpstrTitle = title;
    dialog.lpstrDefExt = flags ? NO_EXTENSION : SAVE_EXTENSION;

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

    char ext[TEXT_SIZE];
    if (!flags && out[0] && !GetExtPart(out, ext, sizeof ext)[0]) {
        // Completed here too, whatever the dialog did: "menu" and "menu." both
        // become menu.ivr. A name that would not fit is left as chosen.
        char dir[TEXT_SIZE];
        char name[TEXT_SIZE];
        char completed[TEXT_SIZE * 2];
        GetDirPart(out, dir, sizeof dir);
        GetNamePart(out, name, sizeof name);
        int length = dir[0] ? snprintf(completed, sizeof completed, "%s\\%s.%s", dir, name, SAVE_EXTENSION)
                            : snprintf(completed, sizeof completed, "%s.%s", name, SAVE_EXTENSION);
        if (name[0] && length < TEXT_SIZE)
            memcpy(out, completed, length + 1);
    }
    return out;
}
