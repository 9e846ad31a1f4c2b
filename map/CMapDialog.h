// The window of OrlentaMap.exe, "Карта IVR" (template 550): the menus of a
// folder as a tree from the entry menu, the findings of the check, the menus
// that lead to the selected one, the figures of the selected menu's greeting,
// and the commands on the selected menu.
//
// Commands: each button is one row of COMMANDS (its id, its one handler, what
// it needs to be enabled, whether it sits in the bottom row). The bottom row
// is laid out in the table's order and enabled from it, so a new command is
// an id, a PUSHBUTTON in the template (anywhere: the layout places it), a row
// here and its handler.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "app/CBaseDialog.h"
#include "app/ScopedWin.h"
#include "map/CMapTree.h"
#include "map/ScopedImageList.h"
#include "menuset/MenuFinding.h"

class CMenuSet;

class CMapDialog : public CBaseDialog {
public:
    // folder: read when the window opens; empty for none.
    CMapDialog(HINSTANCE instance, const std::string& folder);
    ~CMapDialog() override;

    bool OnInitDialog() override;
    bool OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnNotify(NMHDR* header) override;
    void OnCommand(HWND hwnd, int id, HWND control, int code) override;

    // Reads a folder and shows it; on failure says why and keeps what is shown.
    bool OpenFolder(const std::string& folder);

    // What a command needs before its button is enabled.
    enum Need {
        NEED_NOTHING,
        NEED_FOLDER,         // a folder is open
        NEED_MENU,           // a menu is selected in the tree
        NEED_READABLE_MENU,  // ... and the .ivr rules read it
        NEED_GREETING_WARNING,  // ... and its greeting earns a quality warning
    };
    struct Command {
        int id;
        void (CMapDialog::*run)();
        Need need;
        bool inRow;  // laid out in the bottom row, left to right
    };

private:
    static const Command COMMANDS[];

    // The command handlers.
    void ChooseFolder();
    void Edit();
    void Rename();
    void SaveReport();
    void Call();
    void Record();
    void Improve();

    // After "Улучшить ..." has written fixed: "Прослушать", then whether it
    // becomes the menu's greeting.
    void OfferFixedGreeting(int menu, const std::string& fixed);
    bool ReplaceGreeting(int menu, const std::string& greeting);
    bool FixedNameFits(int menu, const char* fileName);

    // Enter: a link or a row of "Кто ведёт сюда" selects the menu it names.
    void FollowSelection();
    void OnEntryChosen();
    void OnFindingSelected(int row);

    // Reads the open folder again and shows it, with the menu named selected.
    void Reload(const std::string& selectMenu);
    // Shows set_: the entry combo, the tree, the findings; selects the menu named.
    void ShowSet(const std::string& selectMenu);
    void FillEntryCombo();
    void FillFindings();
    // The one place that sets the controls' state from the folder and the
    // selection: enabled commands, the caption, "Кто ведёт сюда".
    void UpdateControls();
    void FillLeadsHere(int menu);
    void ShowGreetingFigures(int menu);
    bool CommandEnabled(Need need) const;

    int SelectedMenu() const;
    std::string SelectedMenuName() const;
    void AddColumns(int listId, const std::vector<std::pair<UINT, int>>& columns);
    void Layout(int width, int height);
    void ShowError(const std::string& text);
    // OLE for the thread, from the first system dialog until the window goes.
    void NeedOle();

    std::string startFolder_;
    std::string folder_;     // the folder shown; empty before the first
    std::string entryName_;  // the entry the operator chose; empty for the rules
    std::unique_ptr<CMenuSet> set_;
    std::vector<MenuFinding> findings_;
    CMapTree tree_;
    ScopedImageList severityIcons_;
    std::unique_ptr<ScopedOle> ole_;
    SIZE minimumSize_ = {0, 0};
    bool filling_ = false;  // notifications of the controls being filled are not the operator's
};
