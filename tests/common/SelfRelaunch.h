// This test program started again to run one of its tests in a process of its
// own, for what only a separate process shows: a Windows component switched
// off when it starts, or an end that nobody asked for. The child is told apart
// by an environment variable (the marker), which it inherits with the others.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "common/ChildProcess.h"

const DWORD RELAUNCH_FAILED = (DWORD)-1;

// True in a process started below with this marker.
bool IsRelaunched(const char* marker);

// A Windows child running the tests that filter names: it can be waited for
// and ended (ChildProcess).
std::unique_ptr<ChildProcess> StartSelf(const char* marker, const char* filter);

// Runs the tests that filter names in a child that Wine starts with
// dllOverrides ("mfplat=d") added to its DLL overrides. Wine reads them only
// from the Unix environment a process starts with, not from a CreateProcess
// environment block, so the child is started by the Unix shell. Waits up to
// timeoutMs and prints the child's output; its exit code, or RELAUNCH_FAILED.
DWORD RunSelfWithDllOverrides(const char* marker, const char* filter, const char* dllOverrides,
                              DWORD timeoutMs);
