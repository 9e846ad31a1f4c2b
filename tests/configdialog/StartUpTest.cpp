// The program itself: started with or without arguments, closed right away, it
// shows its main window in its start state, asks nothing and ends with exit code 0.
#include <gtest/gtest.h>

#include <string>

#include "common/ChildProcess.h"
#include "common/ProcessDialogs.h"
#include "common/DialogControls.h"
#include "common/TestUtil.h"
#include "res/resource.h"

namespace {

// What the main window shows, read by messages from outside its process.
std::string ShownState(HWND window)
{
    DialogControls shown(window);
    std::string state = "file [" + shown.Text(IDC_IVR_FILE) + "] greeting [" + shown.Text(IDC_GREETING) +
                        "] wait [" + shown.Text(IDC_WAIT_TIME) + "] parameter [" + shown.Text(IDC_PARAMETER) + "]";
    state += " rows " + std::to_string(shown.ListRows(IDC_COMMANDS)) + " selected " +
             std::to_string(shown.SelectedRow(IDC_COMMANDS)) + " action " +
             std::to_string(shown.ComboSelection(IDC_ACTION)) + " enabled";
    for (int id : {IDC_SAVE, IDC_LISTEN, IDC_CLEAR_GREETING, IDC_PARAMETER})
        state += shown.Enabled(id) ? " 1" : " 0";
    return state;
}

// The start state: no file, no greeting, wait 10, the first row's "Нет".
const char START_STATE[] =
    "file [] greeting [] wait [10] parameter [] rows 14 selected 0 action 0 enabled 0 0 0 0";

// Starts the program, closes its main window as soon as it shows; the exit code.
// state gets what the window showed then.
DWORD RunAndClose(const std::string& arguments, std::string* state = nullptr)
{
    std::string program = BuiltProgramPath("Orlenta.exe");
    ChildProcess child(program.c_str(), "\"" + program + "\"" + arguments);
    if (!child.Started()) {
        ADD_FAILURE() << "cannot start " << program << ": " << child.StartError();
        return 1234;
    }
    // The main window: the dialog with the list of commands.
    HWND main = WaitProcessDialog(child.Id(), IDC_COMMANDS);
    bool shown = main != nullptr;
    EXPECT_TRUE(shown);
    DWORD code = 1234;
    if (shown) {
        EXPECT_EQ(WindowText(main), Ansi("Конфигуратор IVR"));
        if (state)
            *state = ShownState(main);
        PostMessageA(main, WM_CLOSE, 0, 0);
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
    // A menu that would show at once if the program opened it, its folder, options.
    TempDir dir("startup-arguments");
    std::string menu = dir.File("menu.ivr");
    ASSERT_TRUE(WriteFileBytes(menu, "05   hello.wav\r\n\r\n0    dial            100\r\n"));
    for (const std::string& arguments :
         {" \"" + menu + "\"", " \"" + dir.Path() + "\"", " /open \"" + menu + "\" --help 42"}) {
        SCOPED_TRACE(arguments);
        std::string state;
        EXPECT_EQ(RunAndClose(arguments, &state), 0u);
        EXPECT_EQ(state, START_STATE);
    }
}
