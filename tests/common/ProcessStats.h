// Resources of the test process, for tests that must leave nothing behind.
#pragma once
#include <windows.h>

// Threads of this process (Toolhelp snapshot).
size_t CountProcessThreads();
// Open kernel handles of this process.
DWORD CountProcessHandles();
// Private bytes committed by this process.
SIZE_T ProcessPrivateBytes();
