// The small window "Преобразование сообщения" (template 390) shown while a
// greeting conversion takes longer than a moment: a progress bar and
// "Отмена". It ends when the conversion thread has ended, cancelled or not.
#pragma once
#include "app/CBaseDialog.h"

class CConversionThread;

class CConvertProgressDialog : public CBaseDialog {
public:
    CConvertProgressDialog(HINSTANCE instance, CWindowObject* owner, CConversionThread* job, const char* source);

    bool OnInitDialog() override;
    bool OnClose() override;
    void OnCommand(HWND hwnd, int id, HWND control, int code) override;
    bool OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void CancelJob();

    CConversionThread* job_;
    const char* source_;
    bool ended_;  // the thread has ended: the window may go
};
