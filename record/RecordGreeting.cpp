#include "record/RecordGreeting.h"

#include <windows.h>

#include <string.h>

#include "app/CBaseDialog.h"
#include "app/CommonServices.h"
#include "config/IvrFile.h"
#include "record/CRecordDialog.h"

bool RecordGreeting(CBaseDialog* owner, const char* menuPath, char* savedWavPath)
{
    savedWavPath[0] = '\0';
    CRecordDialog dialog(owner ? owner->GetResInstance() : g_hInstance, owner, menuPath);
    dialog.Run();
    if (owner)
        owner->RemoveChild(&dialog);
    if (!dialog.GetSavedPath()[0])
        return false;
    lstrcpynA(savedWavPath, dialog.GetSavedPath(), TEXT_SIZE);
    return true;
}

bool SetMenuGreeting(const char* menuPath, const char* greetingPath)
{
    VoiceMenuConfig config;
    if (!ReadIvrFile(menuPath, &config))
        return false;
    char menuFolder[TEXT_SIZE] = {};
    char greetingFolder[TEXT_SIZE] = {};
    GetDirPart(menuPath, menuFolder, sizeof menuFolder);
    GetDirPart(greetingPath, greetingFolder, sizeof greetingFolder);
    const char* slash = strrchr(greetingPath, '\\');
    if (slash && lstrcmpiA(menuFolder, greetingFolder) == 0)
        lstrcpynA(config.greeting, slash + 1, sizeof config.greeting);
    else
        lstrcpynA(config.greeting, greetingPath, sizeof config.greeting);
    return WriteIvrFile(menuPath, &config);
}
