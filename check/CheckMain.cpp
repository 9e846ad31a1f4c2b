// OrlentaCheck.exe: the console check of a folder of menus, for operators'
// and administrators' scripts.
#include <windows.h>

#include <string>
#include <vector>

#include "app/CommonServices.h"
#include "check/CCheckCommand.h"

int main(int argc, char** argv)
{
    // The string table lives in this program's own resources.
    g_hInstance = GetModuleHandleA(nullptr);
    std::vector<std::string> args(argv + 1, argv + argc);
    return CCheckCommand().Run(args);
}
