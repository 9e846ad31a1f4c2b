// Entry point of every test executable: the program's start-up steps that the
// code under test relies on, then GoogleTest.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "app/CommonServices.h"

int main(int argc, char** argv)
{
    g_hInstance = GetModuleHandleA(nullptr);
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
