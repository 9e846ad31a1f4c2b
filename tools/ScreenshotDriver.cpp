// Drives the real Orlenta.exe (or, with --map, OrlentaMap.exe on a folder) as
// an operator would and saves what the screen shows, for the README:
//   ScreenshotDriver ORLENTA.EXE OUT_FOLDER
//   ScreenshotDriver --map ORLENTAMAP.EXE FOLDER OUT_FOLDER
// The files (C:\IVR\hello.wav, C:\IVR\stereo.wav, the menus of the map) are
// made by scripts/screenshots, which also turns the .bmp files written here into .png.
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>

#include <functional>
#include <string>

#include "res/resource.h"

namespace {

const DWORD STEP_LIMIT_MS = 15000;
DWORD g_pid = 0;

// Waits for a condition with a deadline, keeping this thread's queue served.
bool WaitUntil(const std::function<bool()>& condition, DWORD limitMs = STEP_LIMIT_MS)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > limitMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    return true;
}

struct Search {
    HWND owner;
    int childId;  // a dialog with this child id (1148: file dialog, 0xFFFF: message box)
    HWND found;
};

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[32] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (pid != g_pid || strcmp(cls, "#32770") != 0 || !IsWindowVisible(hwnd) || hwnd == search->owner)
        return TRUE;
    if (search->childId && !GetDlgItem(hwnd, search->childId))
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

// A visible dialog of Orlenta other than `except` that has the given child.
HWND WaitDialog(HWND except, int childId)
{
    Search search = {except, childId, nullptr};
    WaitUntil([&] {
        search.found = nullptr;
        EnumWindows(FindDialog, (LPARAM)&search);
        return search.found != nullptr;
    });
    return search.found;
}

struct ButtonSearch {
    int id;
    HWND found;
};

BOOL CALLBACK FindButton(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<ButtonSearch*>(param);
    char cls[16] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (GetDlgCtrlID(hwnd) == search->id && _stricmp(cls, "Button") == 0) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A click as the button itself sends it (a file dialog's toolbar also has an id 1).
void Click(HWND dialog, int id)
{
    ButtonSearch search = {id, nullptr};
    EnumChildWindows(dialog, FindButton, (LPARAM)&search);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)search.found);
}

// Types a name into a file dialog's name box and presses OK.
void AnswerFileDialog(HWND dialog, const char* path)
{
    HWND edit = GetDlgItem(dialog, 1148);
    HWND inner = FindWindowExA(edit, nullptr, "ComboBox", nullptr);
    if (inner)
        edit = FindWindowExA(inner, nullptr, "Edit", nullptr);
    SendMessageA(edit, WM_SETTEXT, 0, (LPARAM)path);
    Click(dialog, IDOK);
}

// Answers the file dialog that the command `id` of the main window opens.
bool ChooseThroughDialog(HWND main, int id, const char* path)
{
    Click(main, id);
    HWND dialog = WaitDialog(main, 1148);
    if (!dialog)
        return false;
    AnswerFileDialog(dialog, path);
    return WaitUntil([&] { return !IsWindow(dialog); });
}

// One action for one row of the command list: selected with the keyboard, as
// an operator would, then the action and its parameter.
void SetRow(HWND main, int row, int action, const char* parameter)
{
    HWND list = GetDlgItem(main, IDC_COMMANDS);
    PostMessageW(list, WM_KEYDOWN, VK_HOME, 0);
    for (int i = 0; i < row; ++i)
        PostMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
    WaitUntil([&] { return SendMessageW(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED) == row; });
    HWND combo = GetDlgItem(main, IDC_ACTION);
    SendMessageW(combo, CB_SETCURSEL, action, 0);
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(IDC_ACTION, CBN_SELCHANGE), (LPARAM)combo);
    SendMessageA(GetDlgItem(main, IDC_PARAMETER), WM_SETTEXT, 0, (LPARAM)parameter);
}

// Saves the window's part of the screen as a 24-bit BMP.
bool Shoot(HWND hwnd, const std::string& file)
{
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    WaitUntil([] { return false; }, 300);  // let the window's own painting finish
    RECT r;
    GetWindowRect(hwnd, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    DWORD stride = ((DWORD)w * 3 + 3) & ~3u, size = stride * (DWORD)h;
    BITMAPFILEHEADER header = {0x4D42, (DWORD)(sizeof header + sizeof info.bmiHeader + size), 0, 0,
                               (DWORD)(sizeof header + sizeof info.bmiHeader)};
    FILE* out = fopen(file.c_str(), "wb");
    bool ok = out && fwrite(&header, sizeof header, 1, out) == 1 &&
              fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 && fwrite(bits, size, 1, out) == 1;
    if (out)
        fclose(out);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    printf("%s %s\n", ok ? "saved" : "FAILED", file.c_str());
    return ok;
}

// Starts a program with its arguments; its process id goes to g_pid.
bool Start(const char* program, const std::string& arguments, PROCESS_INFORMATION* process)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = std::string("\"") + program + "\"" + arguments;
    if (!CreateProcessA(program, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, process))
        return false;
    g_pid = process->dwProcessId;
    return true;
}

// Closes the main window and waits for the program to end.
void Finish(HWND main, PROCESS_INFORMATION* process)
{
    if (main)
        PostMessageW(main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process->hProcess, STEP_LIMIT_MS) != WAIT_OBJECT_0)
        TerminateProcess(process->hProcess, 1);
    CloseHandle(process->hThread);
    CloseHandle(process->hProcess);
}

// A call from the entry menu: key 1 pressed during its greeting leads to the
// sales menu, whose greeting is a second under way in the picture.
bool ShootCall(HWND map, const std::string& out)
{
    HWND tree = GetDlgItem(map, IDC_MAP_TREE);
    PostMessageW(tree, WM_KEYDOWN, VK_HOME, 0);
    if (!WaitUntil([&] { return TreeView_GetSelection(tree) == TreeView_GetRoot(tree); }))
        return false;
    Click(map, IDC_MAP_CALL);
    HWND call = WaitDialog(map, IDC_CALL_LOG);
    if (!call)
        return false;
    auto text = [&](int id) {
        char buffer[256] = {};
        GetDlgItemTextA(call, id, buffer, sizeof buffer);
        return std::string(buffer);
    };
    std::string first = text(IDC_CALL_MENU);
    bool ok = WaitUntil([&] { return text(IDC_CALL_POSITION).rfind("00:00:00", 0) == 0; });
    Click(call, IDC_CALL_KEY_FIRST + 1);
    ok = ok && WaitUntil([&] { return text(IDC_CALL_MENU) != first; }) &&
         WaitUntil([&] { return text(IDC_CALL_POSITION).rfind("00:00:01", 0) == 0; }) &&
         Shoot(call, out + "call.bmp");
    Click(call, IDC_CALL_HANG_UP);
    PostMessageW(call, WM_CLOSE, 0, 0);
    return WaitUntil([&] { return !IsWindow(call); }) && ok;
}

// The recorder on the entry menu, two seconds into a take of what the
// screenshot script plays into the recording source; the take is discarded.
bool ShootRecorder(HWND map, const std::string& out)
{
    Click(map, IDC_MAP_RECORD);
    HWND recorder = WaitDialog(map, IDC_RECORD_METER);
    if (!recorder)
        return false;
    auto text = [&](int id) {
        char buffer[256] = {};
        GetDlgItemTextA(recorder, id, buffer, sizeof buffer);
        return std::string(buffer);
    };
    std::string idle = text(IDC_RECORD_STATUS);
    Click(recorder, IDC_RECORD_START);
    bool ok = WaitUntil([&] { return text(IDC_RECORD_STATUS) != idle; });
    std::string first = text(IDC_RECORD_STATUS);
    // The status counts the take's seconds.
    ok = ok && WaitUntil([&] { return text(IDC_RECORD_STATUS) != first; }) &&
         WaitUntil([&] { return text(IDC_RECORD_STATUS).find("00:00:02") != std::string::npos; }, 5000) &&
         Shoot(recorder, out + "recorder.bmp");
    Click(recorder, IDC_RECORD_START);
    Click(recorder, IDC_RECORD_AGAIN);
    PostMessageW(recorder, WM_CLOSE, 0, 0);
    return WaitUntil([&] { return !IsWindow(recorder); }) && ok;
}

// The map of a folder as it opens (the entry menu selected), then with the
// first finding selected from the keyboard, its place selected in the tree.
int ShootMap(const char* program, const char* folder, const std::string& out)
{
    PROCESS_INFORMATION process = {};
    if (!Start(program, std::string(" \"") + folder + "\"", &process))
        return 1;
    HWND map = WaitDialog(nullptr, IDC_MAP_TREE);
    bool ok = map != nullptr;
    if (ok) {
        // A size that shows the tree whole, at any DPI.
        HDC screen = GetDC(nullptr);
        int dpi = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
        SetWindowPos(map, nullptr, 0, 0, MulDiv(860, dpi, 96), MulDiv(640, dpi, 96), SWP_NOMOVE | SWP_NOZORDER);
        ok = Shoot(map, out + "map.bmp");
    }
    if (ok) {
        HWND findings = GetDlgItem(map, IDC_MAP_FINDINGS);
        PostMessageW(findings, WM_KEYDOWN, VK_HOME, 0);
        ok = WaitUntil([&] { return SendMessageW(findings, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED) == 0; }) &&
             Shoot(map, out + "map-finding.bmp");
    }
    if (ok)
        ok = ShootCall(map, out);
    if (ok)
        ok = ShootRecorder(map, out);
    Finish(map, &process);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && strcmp(argv[1], "--map") == 0)
        return ShootMap(argv[2], argv[3], std::string(argv[4]) + "\\");
    if (argc != 3) {
        fprintf(stderr, "usage: ScreenshotDriver ORLENTA.EXE OUT_FOLDER\n"
                        "       ScreenshotDriver --map ORLENTAMAP.EXE FOLDER OUT_FOLDER\n");
        return 2;
    }
    std::string out = std::string(argv[2]) + "\\";
    PROCESS_INFORMATION process = {};
    if (!Start(argv[1], "", &process))
        return 1;
    HWND main = WaitDialog(nullptr, IDC_COMMANDS);
    bool ok = main != nullptr && Shoot(main, out + "main-window.bmp");

    ok = ok && ChooseThroughDialog(main, IDC_CHOOSE_GREETING, "C:\\IVR\\hello.wav");
    if (ok) {
        SetRow(main, 0, 2, "100");    // "0": call an operator
        SetRow(main, 5, 1, "sales");  // "5": another voice menu
    }
    ok = ok && ChooseThroughDialog(main, IDC_SAVE_AS, "C:\\IVR\\menu.ivr") &&
         Shoot(main, out + "main-with-greeting.bmp");

    if (ok) {
        Click(main, IDC_LISTEN);
        HWND player = WaitDialog(main, IDC_VOLUME_BAR);
        ok = player != nullptr;
        if (ok) {
            Click(player, IDC_PLAY_PAUSE);
            HWND position = GetDlgItem(player, IDC_POSITION_BAR);
            // Two seconds into the message.
            ok = WaitUntil([&] { return SendMessageW(position, TBM_GETPOS, 0, 0) >= 100; }) &&
                 Shoot(player, out + "player.bmp");
            Click(player, IDOK);
            WaitUntil([&] { return !IsWindow(player); });
        }
    }

    if (ok) {
        Click(main, IDC_CHOOSE_GREETING);
        HWND dialog = WaitDialog(main, 1148);
        ok = dialog != nullptr;
        if (ok) {
            AnswerFileDialog(dialog, "C:\\IVR\\stereo.wav");
            HWND box = WaitDialog(main, 0xFFFF);
            ok = box && Shoot(box, out + "format-rejected.bmp");
            if (box)
                Click(box, IDOK);
            // A file Orlenta can convert is offered for conversion next; "Нет"
            // brings the open dialog back, which is cancelled.
            ok = ok && WaitUntil([&] { return !IsWindow(box); });
            HWND question = ok ? WaitDialog(main, 0xFFFF) : nullptr;
            ok = question && Shoot(question, out + "convert-question.bmp");
            if (question)
                Click(question, IDNO);
            HWND again = ok ? WaitDialog(main, 1148) : nullptr;
            if (again)
                Click(again, IDCANCEL);
        }
    }
    Finish(main, &process);
    return ok ? 0 : 1;
}
