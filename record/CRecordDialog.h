// The recorder window "Запись приветствия" (template 700): the input device,
// a level meter that moves while the operator waits and while recording,
// "Запись"/"Стоп", "Прослушать" (the player on the take), "Ещё раз" (the take
// discarded), the quality fix's two choices and "Сохранить ..." (the save
// dialog of a greeting, then the take fixed and encoded). The recording
// itself, and the save, run on the recorder thread (CRecorderThread).
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/CBaseDialog.h"
#include "app/TextSize.h"
#include "record/LevelMeter.h"

class CPlayerDialog;
class CRecorderThread;

class CRecordDialog : public CBaseDialog {
public:
    // menuPath: the menu whose greeting is recorded; the save dialog proposes
    // <menu>.wav beside it.
    CRecordDialog(HINSTANCE instance, CWindowObject* owner, const char* menuPath);
    ~CRecordDialog() override;
    CRecordDialog(const CRecordDialog&) = delete;
    CRecordDialog& operator=(const CRecordDialog&) = delete;

    bool OnInitDialog() override;
    bool OnClose() override;
    void OnCommand(HWND hwnd, int id, HWND control, int code) override;
    bool OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    // The greeting saved, or empty when none was.
    const char* GetSavedPath() const { return savedPath_; }
    const SignalLevel& GetLevel() const { return level_; }

    // 0: record at 8000 Hz where the device offers it; else the device is
    // opened at this rate (tests take the resampling path so). Set before Run.
    DWORD deviceRate;

private:
    struct InputDevice {
        UINT id;
        std::string name;
    };

    void FillDevices();
    void OpenSelectedDevice();
    void OnStartStop();
    void OnPlay();
    void OnAgain();
    void OnSave();
    void OnRecorderEvent(WPARAM event, LPARAM code);
    void OnOpenFailed(DWORD code);
    void OnTakeEnded(DWORD reason);
    void OnDeviceLost(bool cut);
    void OnSaved(DWORD code);
    void OnLevel(LPARAM peak, LPARAM rms);
    void UpdateControls();
    void PlaceMarks();
    const char* DeviceName() const;
    void TakeDuration(char* out, int size) const;

    char menuPath_[TEXT_SIZE];
    char target_[TEXT_SIZE];
    char savedPath_[TEXT_SIZE];
    std::shared_ptr<CRecorderThread> recorder_;
    std::unique_ptr<CPlayerDialog> player_;
    std::vector<InputDevice> devices_;
    SignalLevel level_;
    bool monitoring_;  // the device is open
    bool recording_;
    bool saving_;
    bool takeSaved_;   // the take has been saved as it is
};
