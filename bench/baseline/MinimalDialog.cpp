// The start-up benchmark's baseline: the least a dialog program does to show a
// window from a template (same toolchain, static runtime and manifest as Orlenta).
#include <windows.h>

namespace {

INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(hwnd, 0);
        return TRUE;
    }
    if (message == WM_CLOSE) {
        EndDialog(hwnd, 0);
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    DialogBoxParamA(instance, MAKEINTRESOURCEA(1), nullptr, Proc, 0);
    return 0;
}
