#include "common/ProcessStats.h"

#include <tlhelp32.h>

#include <ctype.h>
#include <string.h>
#include <vector>

size_t CountProcessThreads()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    size_t count = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    DWORD self = GetCurrentProcessId();
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == self)
            ++count;
        entry.dwSize = sizeof entry;
    }
    CloseHandle(snapshot);
    return count;
}

namespace {

struct ThreadInfo {
    DWORD id;
    void* start;
    std::string module;
};

std::vector<ThreadInfo> ListThreads()
{
    typedef LONG(WINAPI * QueryThread)(HANDLE, int, void*, ULONG, ULONG*);
    QueryThread query = (QueryThread)(void*)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread");
    const int THREAD_START_ADDRESS = 9;  // ThreadQuerySetWin32StartAddress
    std::vector<ThreadInfo> threads;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return threads;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    DWORD self = GetCurrentProcessId();
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != self)
            continue;
        ThreadInfo info = {entry.th32ThreadID, nullptr, "?"};
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        if (thread && query)
            query(thread, THREAD_START_ADDRESS, &info.start, sizeof info.start, nullptr);
        if (thread)
            CloseHandle(thread);
        HMODULE owner = nullptr;
        char module[MAX_PATH] = {};
        if (info.start &&
            GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               (LPCSTR)info.start, &owner) &&
            GetModuleFileNameA(owner, module, sizeof module))
            info.module = module;
        threads.push_back(info);
        entry.dwSize = sizeof entry;
    }
    CloseHandle(snapshot);
    return threads;
}

bool EndsWith(const std::string& text, const char* tail)
{
    std::string lower = text;
    for (char& c : lower)
        c = (char)tolower((unsigned char)c);
    size_t n = strlen(tail);
    return lower.size() >= n && lower.compare(lower.size() - n, n, tail) == 0;
}

} // namespace

size_t CountProgramThreads()
{
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    size_t count = 0;
    for (const ThreadInfo& t : ListThreads()) {
        if (t.module == exe || EndsWith(t.module, "\\msvcrt.dll"))
            ++count;
    }
    return count;
}

std::string DescribeThreads()
{
    std::string text;
    for (const ThreadInfo& t : ListThreads()) {
        char line[64];
        wsprintfA(line, "thread %lx start %p in ", t.id, t.start);
        text += line + t.module + "\n";
    }
    return text;
}

DWORD CountProcessHandles()
{
    // Handle values are multiples of 4 and handed out from the lowest free one.
    const ULONG_PTR LAST_HANDLE_VALUE = 0x10000;
    DWORD count = 0;
    for (ULONG_PTR value = 4; value < LAST_HANDLE_VALUE; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation((HANDLE)value, &flags))
            ++count;
    }
    return count;
}

SIZE_T HeapBytesInUse()
{
    HANDLE heaps[64];
    DWORD count = GetProcessHeaps(64, heaps);
    if (count > 64)
        count = 64;
    SIZE_T total = 0;
    for (DWORD i = 0; i < count; ++i) {
        if (!HeapLock(heaps[i]))
            continue;
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                total += entry.cbData;
        }
        HeapUnlock(heaps[i]);
    }
    return total;
}
