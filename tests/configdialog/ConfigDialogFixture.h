// The main dialog run for real on a UI thread of its own (DialogRunner), with
// a few words for what the operator does in it.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/CommonServices.h"
#include "common/DialogRunner.h"
#include "common/ModalWatcher.h"
#include "common/TestUtil.h"
#include "config/CConfigDialog.h"
#include "res/resource.h"

class ConfigDialogFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(StartDialog()); }

    bool StartDialog()
    {
        ui.reset();
        dialog.reset(new CConfigDialog(g_hInstance));
        ui.reset(new DialogRunner);
        return ui->Start(dialog.get());
    }

    // The texts of a list row.
    std::string Command(int row) { return ui->ListText(IDC_COMMANDS, row, 0); }
    std::string Action(int row) { return ui->ListText(IDC_COMMANDS, row, 1); }
    std::string Param(int row) { return ui->ListText(IDC_COMMANDS, row, 2); }

    // The operator selects a row, then an action for it.
    void ChooseAction(int row, int action)
    {
        ui->SelectRow(IDC_COMMANDS, row);
        ui->SelectCombo(IDC_ACTION, action);
    }
    // Replaces the parameter field's text (one change notification).
    void SetParameter(const std::string& ansi)
    {
        ui->Send(IDC_PARAMETER, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ansi.c_str()));
    }
    bool SaveEnabled() { return ui->Enabled(IDC_SAVE); }

    // The name of an action as the list and the combo box show it.
    static std::string ActionName(int action)
    {
        static const char* const names[] = {"Нет", "Переход на другое голосовое меню", "Вызов оператора",
                                            "Завершение соединения"};
        return Ansi(names[action]);
    }
    static std::string SavePrompt() { return Ansi("Сохранить изменения в текущей конфигурации IVR?"); }
    static std::string BadFileMessage(const std::string& path)
    {
        return Ansi("Файл [") + path +
               Ansi("] не может быть использован, так как его формат не соответствует формату "
                    "конфигурационного файла IVR.\nПроверьте формат файла.");
    }

    // Declared after the dialog: the runner ends a dialog left open before the object goes.
    std::unique_ptr<CConfigDialog> dialog;
    std::unique_ptr<DialogRunner> ui;
};
