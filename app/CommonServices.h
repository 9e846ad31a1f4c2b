// Small services every part of Orlenta uses: message boxes with the program's
// caption, system error reports, memory blocks, path splitting, blank
// stripping, the player's time text and the common file dialogs.
#pragma once
#include <windows.h>

extern HINSTANCE g_hInstance;   // set first thing in WinMain
extern HWND g_hMainWnd;         // the main dialog's window, owner of error reports

// Message boxes; the caption is string 1 of the instance. An owner that is no
// longer a window gets IDCANCEL and no box.
int ShowMessage(HINSTANCE instance, HWND owner, const char* text, UINT flags);
int ShowMessageId(HINSTANCE instance, HWND owner, UINT stringId, UINT flags);
// The string-table text formatId, filled in as printf fills a format, in a box.
int ShowMessageFormat(HINSTANCE instance, HWND owner, UINT flags, UINT formatId, ...);
// The same text into out (size bytes, always terminated); answers out.
char* FormatStringId(HINSTANCE instance, char* out, int size, UINT formatId, ...);

// Shows (when show is true) "[context\n]Ошибка: code\nsystem text"; answers code.
DWORD ReportSystemError(DWORD code, BOOL show, const char* context);
// The same report, shown, with the context line taken from the string table.
DWORD ReportSystemErrorId(DWORD code, UINT contextId);
// The system's own text for an error code, in size bytes of out (cleared first).
char* GetSystemErrorText(DWORD code, char* out, int size);

BOOL FileExists(const char* path);

// Zero-filled global-heap block of 0 .. 20 MiB; null outside that range.
void* AllocBlock(int size);
BOOL FreeBlock(void* block);

// Path parts; only the backslash separates folders. Each clears size bytes of out.
char* GetDirPart(const char* path, char* out, int size);
char* GetNamePart(const char* path, char* out, int size);
char* GetExtPart(const char* path, char* out, int size);

// Copies text without spaces, CR and LF into out (256 bytes); false, and out
// untouched, when nothing is left.
BOOL StripBlanks(const char* text, char* out);
// The blanks that StripBlanks removes: space, CR and LF.
bool IsBlank(char c);
bool HasBlank(const char* text);

// "%02d:%02d:%02d[%03d] " of a time in milliseconds; answers the length.
int FormatTime(DWORD milliseconds, char* out);

// Common file dialog: flags 0 is the save dialog, anything else the open dialog
// with those option bits. out is a 256-byte buffer; null when cancelled. The
// save dialog completes a name chosen without an extension with ".ivr".
char* ChooseFile(HWND owner, DWORD flags, const char* title, const char* filter,
                 const char* initialName, char* out);
