// The question before a rename (template 551): the new name of one menu,
// offered as its present name without ".ivr".
#pragma once
#include <string>

#include "app/CBaseDialog.h"

class CRenameDialog : public CBaseDialog {
public:
    CRenameDialog(HINSTANCE instance, CWindowObject* parent, const std::string& menuName);

    bool OnInitDialog() override;
    void OnCommand(HWND hwnd, int id, HWND control, int code) override;

    // Runs the question; true with the name typed when the operator chose "ОК".
    bool Ask(std::string* newName);

private:
    std::string menuName_;
    std::string newName_;
    bool accepted_ = false;
};
