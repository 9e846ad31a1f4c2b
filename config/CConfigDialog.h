// The program's main window: the modal dialog "Конфигуратор IVR" (template 101)
// that shows and edits the one voice-menu configuration of the run, with the
// file commands Open, Save and Save as and the greeting commands.
#pragma once
#include "app/CBaseDialog.h"
#include "config/FileStamp.h"
#include "config/VoiceMenuConfig.h"

#include <memory>

class CPlayerDialog;

class CConfigDialog : public CBaseDialog {
public:
    // owner: the window this dialog is modal to (OrlentaMap's map); none for Orlenta.exe.
    explicit CConfigDialog(HINSTANCE instance, CWindowObject* owner = nullptr);
    ~CConfigDialog() override;

    bool OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnInitDialog() override;
    bool OnClose() override;
    void OnNotify(NMHDR* header) override;
    void OnCommand(HWND hwnd, int id, HWND control, int code) override;

    // Shows wait time, greeting and every row of the record.
    void RefreshList(VoiceMenuConfig* record);
    // Shows a slot in the action box and the parameter field.
    void ShowSlot(const CommandSlot* slot);
    // The one place that enables and disables the controls.
    void UpdateControls();
    CommandSlot* GetRowSlot(int row);
    void SetRowSlot(int row, CommandSlot* slot);

    // File commands.
    void Open();
    // The file the dialog opens as "Открыть ..." would once its window shows,
    // without the file dialog (for OrlentaMap's "Изменить ..."). Call before Run.
    void OpenOnStart(const char* fileName);
    bool Save();
    bool SaveAs();

    // Greeting commands.
    void ChooseGreeting();
    void ClearGreeting();
    void Listen();

private:
    // One command of OnCommand; false when it keeps the dialog from ending.
    bool RunCommand(int id, int code);
    // The action box and the parameter field change the selected rows' slots.
    void OnActionChosen();
    void OnParameterChanged();
    // Before unsaved changes could be lost: entry 8 with Yes (save), No and
    // Cancel. True when the caller may go on; a failed save or Cancel answer false.
    bool ConfirmUnsavedChanges();
    // Entry 8 with Yes, No and Cancel; answers the button.
    int AskSaveChanges();
    // A greeting name the .ivr file can hold as it stands; otherwise says why.
    bool GreetingNameFits(const char* fileName);
    // Writes config_ under name; on success the file is stamped and the changes
    // count as saved, on failure they stay unsaved.
    bool WriteTo(const char* name);
    // Before Save replaces the file it last read or wrote: true when nobody has
    // changed it since, or the operator agrees to overwrite that change.
    bool ConfirmOverwriteOfChange(const char* name);
    // The common file dialog with the program's title; true when a name was chosen.
    bool AskFileName(DWORD flags, const char* filter, char* name);
    // Reads fileName as "Открыть ..." does once a name is chosen: asks first
    // about unsaved changes; a file that cannot be read changes nothing.
    void OpenFile(const char* fileName);
    // Message 379 for a file that is no configuration.
    void ShowBadConfigFile(const char* fileName);
    // Takes the wait time back from field 1011 into config_.
    void ReadWaitTime();
    // The selected list row, or -1; the next selected one after a row.
    int SelectedRow();
    int NextSelectedRow(int row);
    // Where the greeting is played from: a bare name read from a .ivr file is
    // looked for next to that file first.
    void GreetingPath(char* path);

    VoiceMenuConfig config_;
    bool ready_;     // false while the dialog itself changes its controls
    bool modified_;  // the configuration has changes that are not saved
    FileStamp fileStamp_;  // the file of field 1002 as this dialog last read or wrote it
    std::unique_ptr<CPlayerDialog> player_;  // listens to the greeting
    char openOnStart_[TEXT_SIZE];  // OpenOnStart's file; empty for none
};
