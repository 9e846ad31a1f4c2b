// Resources of the test process, for tests that must leave nothing behind.
#pragma once
#include <windows.h>
#include <string>

// Threads of this process (Toolhelp snapshot).
size_t CountProcessThreads();
// Threads of this process that the program itself started: those whose start
// address lies in the executable or in the C runtime's thread start. Wine's
// own helper threads (winmm, mmdevapi, the sound driver) come and go as they
// please and are not counted.
size_t CountProgramThreads();
// Each thread of this process with the module its start address lies in, for
// messages of failed tests.
std::string DescribeThreads();
// Open kernel handles of this process, found by asking about every handle
// value in turn (Wine's GetProcessHandleCount answers 0).
DWORD CountProcessHandles();
// Bytes in use in the heaps of this process, by a heap walk (Wine's
// GetProcessMemoryInfo does not follow allocations).
SIZE_T HeapBytesInUse();
