// The dialogs of another process (a program a test started), found on screen
// as an operator sees them.
#pragma once
#include <windows.h>

// A visible dialog ("#32770") of the process pid that has a child with the id
// childId (0: any), other than except; waits for it up to timeoutMs. Null when
// none shows in time.
HWND WaitProcessDialog(DWORD pid, int childId, HWND except = nullptr, DWORD timeoutMs = 20000);
