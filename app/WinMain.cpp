// Start-up: the whole interactive life of Orlenta is one modal run of the main
// configuration dialog. IVR_PLAYER_STEP has been registered before this runs.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <new>

#include "app/CommonServices.h"
#include "app/ScopedWin.h"
#include "config/CConfigDialog.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    g_hInstance = instance;
    // OLE is initialised by the first file dialog (ChooseFile), not here: most of
    // its cost would fall on the start-up.

    // List view and up-down of the main dialog, track bars of the player.
    InitCommonControls();
    INITCOMMONCONTROLSEX classes = {};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_BAR_CLASSES | ICC_DATE_CLASSES | ICC_COOL_CLASSES | ICC_INTERNET_CLASSES;
    InitCommonControlsEx(&classes);

    std::unique_ptr<CConfigDialog> dialog(new (std::nothrow) CConfigDialog(instance));
    if (dialog)
        dialog->Run();
    // The command line and the show state play no part; the exit code is always 0.
    return 0;
}
