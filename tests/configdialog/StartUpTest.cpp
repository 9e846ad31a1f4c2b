// The program itself: started with or without arguments, closed right away, it
// shows its main window, asks nothing and ends with exit code 0.
#include <gtest/gtest.h>

#include <string>

#include "common/TestUtil.h"

namespace {

struct Search {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindMainWindow(HWND hwnd, LPARAM param)
{
    Search* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == search->pid && IsWindowVisible(hwnd) && WindowText(hwnd) == Ansi("Конфигуратор IVR")) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

std::string ProgramPath()
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string path = self;
    return path.substr(0, path.find_last_of('\\') + 1) + "Orlenta.exe";
}

// Starts the program, closes its main window as soon as it shows; the exit code.
DWORD RunAndClose(const std::string& arguments)
{
    std::string program = ProgramPath();
    std::string commandLine = "\"" + program + "\"" + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        ADD_FAILURE() << "cannot start " << program << ": " << GetLastError();
        return 1234;
    }
    Search search = {process.dwProcessId, nullptr};
    bool shown = WaitFor([&] {
        EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    }, 20000);
    EXPECT_TRUE(shown);
    DWORD code = 1234;
    if (shown) {
        PostMessageA(search.found, WM_CLOSE, 0, 0);
        bool ended = WaitFor([&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; }, 20000);
        EXPECT_TRUE(ended) << "the program did not end after its window was closed";
        if (ended)
            GetExitCodeProcess(process.hProcess, &code);
    }
    if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

} // namespace

TEST(StartUp, ClosingRightAfterStartEndsWithExitCodeZero)
{
    ASSERT_NE(GetFileAttributesA(ProgramPath().c_str()), INVALID_FILE_ATTRIBUTES) << "build the Orlenta target";
    EXPECT_EQ(RunAndClose(""), 0u);
}

TEST(StartUp, ArgumentsChangeNothing)
{
    ASSERT_NE(GetFileAttributesA(ProgramPath().c_str()), INVALID_FILE_ATTRIBUTES) << "build the Orlenta target";
    EXPECT_EQ(RunAndClose(" /open menu.ivr --help 42"), 0u);
}
