// The two system dialogs of the map: the folder of menus to open, and the
// name of the HTML report to save. Both run inside an OLE scope that the
// caller holds for the thread (ScopedOle): Wine can hang in a dialog opened
// just after an earlier one tore its own scope down.
#pragma once
#include <windows.h>

#include <string>

// The system's folder dialog (IFileOpenDialog with FOS_PICKFOLDERS). True
// with the folder chosen; false when cancelled, or with *error set when the
// dialog could not be opened at all.
bool AskFolder(HWND owner, const std::string& title, std::string* folder, HRESULT* error);

// The save dialog for an .html file: a name typed without an extension gets
// ".html"; an existing file is replaced only after the dialog's own question.
// filter has '|' between its parts (a string-table text); the dialog starts
// in folder. True with the name.
bool AskReportFile(HWND owner, const std::string& title, const std::string& filter,
                   const std::string& initialName, const std::string& folder, std::string* path);
