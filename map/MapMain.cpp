// OrlentaMap.exe [FOLDER]: "Карта IVR", the map of the menus of a folder and
// their check. The whole life of the program is one modal run of its window.
#include <windows.h>
#include <commctrl.h>
#include <stdlib.h>

#include <memory>
#include <new>
#include <string>

#include "app/CommonServices.h"
#include "map/CMapDialog.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    g_hInstance = instance;
    // OLE starts with the first system dialog (CMapDialog::NeedOle), not here.
    INITCOMMONCONTROLSEX classes = {};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS |
                     ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&classes);

    // The one argument is the folder to open; the runtime has split the
    // command line (quotes included) in the ANSI code page.
    std::string folder = __argc > 1 ? __argv[1] : "";
    std::unique_ptr<CMapDialog> dialog(new (std::nothrow) CMapDialog(instance, folder));
    if (dialog)
        dialog->Run();
    return 0;
}
