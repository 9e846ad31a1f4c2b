// The program itself: started with or without arguments, closed right away, it
// shows its main window, asks nothing and ends with exit code 0.
#include <gtest/gtest.h>

#include <string>

#include "common/ChildProcess.h"
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

// Starts the program, closes its main window as soon as it shows; the exit code.
DWORD RunAndClose(const std::string& arguments)
{
    std::string program = BuiltProgramPath("Orlenta.exe");
    ChildProcess child(program.c_str(), "\"" + program + "\"" + arguments);
    if (!child.Started()) {
        ADD_FAILURE() << "cannot start " << program << ": " << child.StartError();
        return 1234;
    }
    Search search = {child.Id(), nullptr};
    bool shown = WaitFor([&] {
        EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    }, 20000);
    EXPECT_TRUE(shown);
    DWORD code = 1234;
    if (shown) {
        PostMessageA(search.found, WM_CLOSE, 0, 0);
        EXPECT_TRUE(child.Wait(20000, &code)) << "the program did not end after its window was closed";
    }
    return code;
}

} // namespace

TEST(StartUp, ClosingRightAfterStartEndsWithExitCodeZero)
{
    ASSERT_NE(GetFileAttributesA(BuiltProgramPath("Orlenta.exe").c_str()), INVALID_FILE_ATTRIBUTES) << "build the Orlenta target";
    EXPECT_EQ(RunAndClose(""), 0u);
}

TEST(StartUp, ArgumentsChangeNothing)
{
    ASSERT_NE(GetFileAttributesA(BuiltProgramPath("Orlenta.exe").c_str()), INVALID_FILE_ATTRIBUTES) << "build the Orlenta target";
    EXPECT_EQ(RunAndClose(" /open menu.ivr --help 42"), 0u);
}
