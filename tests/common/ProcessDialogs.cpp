#include "common/ProcessDialogs.h"

#include "common/TestUtil.h"

namespace {

struct Search {
    DWORD pid;
    int childId;
    HWND except;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM param)
{
    Search* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[32] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (pid != search->pid || hwnd == search->except || !IsWindowVisible(hwnd) || lstrcmpA(cls, "#32770") != 0)
        return TRUE;
    if (search->childId && !GetDlgItem(hwnd, search->childId))
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

} // namespace

HWND WaitProcessDialog(DWORD pid, int childId, HWND except, DWORD timeoutMs)
{
    Search search = {pid, childId, except, nullptr};
    WaitFor([&] {
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    }, timeoutMs);
    return search.found;
}
