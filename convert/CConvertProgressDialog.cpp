#include "convert/CConvertProgressDialog.h"

#include <stdio.h>

#include "app/CommonServices.h"
#include "app/TextSize.h"
#include "convert/CConversionThread.h"
#include "res/resource.h"

namespace {

const int PROGRESS_RANGE = 1000;  // per mille

} // namespace

CConvertProgressDialog::CConvertProgressDialog(HINSTANCE instance, CWindowObject* owner, CConversionThread* job,
                                               const char* source)
    : CBaseDialog(instance, owner, IDD_CONVERT_PROGRESS, DLGMODE_MODAL), job_(job), source_(source), ended_(false)
{
}

bool CConvertProgressDialog::OnInitDialog()
{
    HWND hwnd = GetHwnd();
    char text[2 * TEXT_SIZE] = {};
    FormatStringId(GetResInstance(), text, sizeof text, IDS_CONVERT_PROGRESS, source_);
    SetDlgItemTextA(hwnd, IDC_CONVERT_TEXT, text);
    SendDlgItemMessageA(hwnd, IDC_CONVERT_PROGRESS, PBM_SETRANGE32, 0, PROGRESS_RANGE);
    job_->SetNotifyWindow(hwnd);
    // It may have ended before it knew of this window.
    if (job_->Ended())
        PostMessageA(hwnd, WM_CONVERSION_ENDED, 0, 0);
    return true;
}

void CConvertProgressDialog::CancelJob()
{
    job_->Cancel();
    EnableWindow(GetDlgItem(GetHwnd(), IDCANCEL), FALSE);
}

// Until the thread has ended the window stays: a close is a cancel.
bool CConvertProgressDialog::OnClose()
{
    if (!ended_) {
        CancelJob();
        return false;
    }
    return CBaseDialog::OnClose();
}

void CConvertProgressDialog::OnCommand(HWND, int id, HWND, int)
{
    if (id == IDCANCEL)
        CancelJob();
}

bool CConvertProgressDialog::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CONVERSION_PROGRESS:
        SendDlgItemMessageA(hwnd, IDC_CONVERT_PROGRESS, PBM_SETPOS, wParam, 0);
        return true;
    case WM_CONVERSION_ENDED:
        if (!ended_) {
            ended_ = true;
            job_->SetNotifyWindow(nullptr);
            Close();
        }
        return true;
    default:
        return CBaseDialog::OnMessage(hwnd, message, wParam, lParam);
    }
}
