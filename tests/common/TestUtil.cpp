#include "common/TestUtil.h"

#include <gtest/gtest.h>
#include <string.h>

#include <vector>

namespace {

std::string Convert(const std::string& text, UINT from, UINT to)
{
    if (text.empty())
        return text;
    int wide = MultiByteToWideChar(from, 0, text.data(), (int)text.size(), nullptr, 0);
    std::wstring w(wide, L'\0');
    MultiByteToWideChar(from, 0, text.data(), (int)text.size(), &w[0], wide);
    int narrow = WideCharToMultiByte(to, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(narrow, '\0');
    WideCharToMultiByte(to, 0, w.data(), wide, &out[0], narrow, nullptr, nullptr);
    return out;
}

void RemoveTree(const std::string& dir)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = dir + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    RemoveDirectoryA(dir.c_str());
}

} // namespace

std::string Ansi(const char* utf8) { return Convert(utf8, CP_UTF8, CP_ACP); }
std::string Utf8(const std::string& ansi) { return Convert(ansi, CP_ACP, CP_UTF8); }

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        PumpMessages();
        if (condition())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

std::string WindowText(HWND hwnd)
{
    if (!hwnd)
        return std::string();
    LRESULT length = SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::vector<char> buffer(length + 2, '\0');
    SendMessageA(hwnd, WM_GETTEXT, buffer.size(), (LPARAM)buffer.data());
    return std::string(buffer.data());
}

std::string ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

std::string EnvPath(const char* name)
{
    char value[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return (n > 0 && n < sizeof value) ? std::string(value) : std::string();
}

TempDir::TempDir(const char* name)
{
    std::string base = EnvPath("ORLENTA_TMP");
    if (base.empty()) {
        char tmp[MAX_PATH];
        GetTempPathA(sizeof tmp, tmp);
        base = tmp;
        if (!base.empty() && base.back() == '\\')
            base.pop_back();
    }
    path_ = base + "\\" + name + "-" + std::to_string(GetCurrentProcessId());
    RemoveTree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
}

TempDir::~TempDir() { RemoveTree(path_); }

std::string SystemErrorText(DWORD code)
{
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                   sizeof text - 1, nullptr);
    return text;
}

std::string FixturePath(const char* name) { return EnvPath("ORLENTA_FIXTURES") + "\\" + name; }

std::string FixtureBytes(const char* name)
{
    std::string bytes = ReadFileBytes(FixturePath(name));
    EXPECT_FALSE(bytes.empty()) << "fixture " << name << " is missing";
    return bytes;
}

std::string BuiltProgramPath(const char* name)
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string path = self;
    return path.substr(0, path.find_last_of('\\') + 1) + name;
}

void WatchFor(DWORD ms)
{
    DWORD start = GetTickCount();
    WaitFor([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}

bool ThreadRuns(DWORD id)
{
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id);
    if (!thread)
        return false;
    bool runs = WaitForSingleObject(thread, 0) == WAIT_TIMEOUT;
    CloseHandle(thread);
    return runs;
}

bool ReturnsWithin(DWORD ms, const std::function<void()>& call)
{
    DWORD start = GetTickCount();
    call();
    return GetTickCount() - start <= ms;
}
