#include "record/CRecordDialog.h"

#include <mmsystem.h>
#include <stdio.h>

#include "app/CommonServices.h"
#include "config/IvrFile.h"
#include "convert/CConversionOffer.h"
#include "convert/CGreetingConverter.h"
#include "player/CPlayerDialog.h"
#include "record/CRecorderThread.h"
#include "res/resource.h"
#include "wave/GreetingVerdict.h"
#include "wave/VoiceFormats.h"

#ifndef DRVM_MAPPER_PREFERRED_GET
#define DRVM_MAPPER_PREFERRED_GET (0x2000 + 21)
#endif

namespace {

// The recorder thread is given this long to end when the window closes; a
// driver that keeps it longer keeps only the thread's own object alive.
const DWORD SHUTDOWN_TIMEOUT_MS = 5000;
// The widest wait time: a greeting name that fits with it fits with any.
const int WIDEST_WAIT_SECONDS = 999;
const char GREETING_EXTENSION[] = ".wav";

// "<menu>.wav" with blanks made underscores: a greeting's name holds none.
void DefaultGreetingName(const char* menuPath, char* out)
{
    char name[TEXT_SIZE] = {};
    GetNamePart(menuPath, name, sizeof name);
    char* dot = strrchr(name, '.');
    if (dot && dot != name)
        *dot = '\0';
    for (char* c = name; *c; ++c) {
        if (*c == ' ')
            *c = '_';
    }
    name[TEXT_SIZE - sizeof GREETING_EXTENSION] = '\0';
    snprintf(out, TEXT_SIZE, "%s%s", name, GREETING_EXTENSION);
}

void FormatDuration(DWORD samples, char* out, int size)
{
    DWORD seconds = samples / VOICE_SAMPLES_PER_SEC;
    snprintf(out, size, "%02lu:%02lu:%02lu", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

} // namespace

CRecordDialog::CRecordDialog(HINSTANCE instance, CWindowObject* owner, const char* menuPath)
    : CBaseDialog(instance, owner, IDD_RECORD, DLGMODE_MODAL),
      deviceRate(0),
      monitoring_(false),
      recording_(false),
      saving_(false),
      takeSaved_(false)
{
    lstrcpynA(menuPath_, menuPath ? menuPath : "", sizeof menuPath_);
    target_[0] = '\0';
    savedPath_[0] = '\0';
    level_.peakDb = METER_FLOOR_DB;
    level_.rmsDb = METER_FLOOR_DB;
    // Registers itself as this dialog's child.
    player_.reset(new (std::nothrow) CPlayerDialog(GetResInstance(), this));
}

CRecordDialog::~CRecordDialog()
{
    if (recorder_)
        recorder_->Shutdown(SHUTDOWN_TIMEOUT_MS);
    if (player_) {
        RemoveChild(player_.get());
        player_->Close();
        player_.reset();
    }
}

bool CRecordDialog::OnInitDialog()
{
    HWND hwnd = GetHwnd();
    CheckDlgButton(hwnd, IDC_RECORD_FIX_LEVEL, BST_CHECKED);
    CheckDlgButton(hwnd, IDC_RECORD_FIX_TRIM, BST_CHECKED);
    SetIcon(ICON_BIG, MAKEINTRESOURCEA(IDI_ORLENTA));
    SetIcon(ICON_SMALL, MAKEINTRESOURCEA(IDI_ORLENTA));
    PlaceMarks();
    recorder_ = CRecorderThread::Start(hwnd, deviceRate);
    FillDevices();
    UpdateControls();
    if (!recorder_ || devices_.empty())
        ShowMessageId(GetResInstance(), hwnd, IDS_RECORD_NO_DEVICE, MB_OK | MB_ICONHAND);
    else
        OpenSelectedDevice();
    return CBaseDialog::OnInitDialog();
}

// The system's input devices, its preferred one first.
void CRecordDialog::FillDevices()
{
    devices_.clear();
    const UINT count = waveInGetNumDevs();
    DWORD preferred = 0;
    DWORD flags = 0;
    if (waveInMessage((HWAVEIN)(UINT_PTR)WAVE_MAPPER, DRVM_MAPPER_PREFERRED_GET, (DWORD_PTR)&preferred,
                      (DWORD_PTR)&flags) != MMSYSERR_NOERROR || preferred >= count)
        preferred = 0;
    for (UINT n = 0; n < count; ++n) {
        UINT id = n == 0 ? preferred : (n <= preferred ? n - 1 : n);
        WAVEINCAPSA caps = {};
        if (waveInGetDevCapsA(id, &caps, sizeof caps) != MMSYSERR_NOERROR)
            continue;
        devices_.push_back(InputDevice{id, caps.szPname});
    }
    HWND combo = GetDlgItem(GetHwnd(), IDC_RECORD_DEVICE);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (size_t i = 0; i < devices_.size(); ++i) {
        char text[TEXT_SIZE] = {};
        if (devices_[i].id == preferred)
            FormatStringId(GetResInstance(), text, sizeof text, IDS_RECORD_DEFAULT_DEVICE, devices_[i].name.c_str());
        else
            lstrcpynA(text, devices_[i].name.c_str(), sizeof text);
        SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)text);
    }
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
}

void CRecordDialog::OpenSelectedDevice()
{
    int index = (int)SendDlgItemMessageA(GetHwnd(), IDC_RECORD_DEVICE, CB_GETCURSEL, 0, 0);
    if (!recorder_ || index < 0 || index >= (int)devices_.size())
        return;
    monitoring_ = false;
    recorder_->Open(devices_[index].id);
    UpdateControls();
}

const char* CRecordDialog::DeviceName() const
{
    int index = (int)SendDlgItemMessageA(const_cast<CRecordDialog*>(this)->GetHwnd(), IDC_RECORD_DEVICE,
                                         CB_GETCURSEL, 0, 0);
    return index >= 0 && index < (int)devices_.size() ? devices_[index].name.c_str() : "";
}

void CRecordDialog::TakeDuration(char* out, int size) const
{
    FormatDuration(recorder_ ? recorder_->TakeSamples() : 0, out, size);
}

// The marks' labels under their places on the meter.
void CRecordDialog::PlaceMarks()
{
    HWND hwnd = GetHwnd();
    RECT meter;
    GetWindowRect(GetDlgItem(hwnd, IDC_RECORD_METER), &meter);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&meter), 2);
    HWND label = GetDlgItem(hwnd, IDC_RECORD_MARK_TARGET);
    RECT box;
    GetWindowRect(label, &box);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&box), 2);
    const int x = meter.left + MeterX(GREETING_TARGET_LEVEL_DB, meter.right - meter.left);
    const int width = box.right - box.left;
    SetWindowPos(label, nullptr, x - width / 2, box.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CRecordDialog::OnCommand(HWND, int id, HWND, int code)
{
    switch (id) {
    case IDC_RECORD_DEVICE:
        if (code == CBN_SELCHANGE)
            OpenSelectedDevice();
        break;
    case IDC_RECORD_START:
        OnStartStop();
        break;
    case IDC_RECORD_PLAY:
        OnPlay();
        break;
    case IDC_RECORD_AGAIN:
        OnAgain();
        break;
    case IDC_RECORD_SAVE:
        OnSave();
        break;
    case IDCANCEL:
        Close();
        break;
    default:
        break;
    }
}

void CRecordDialog::OnStartStop()
{
    if (!recorder_)
        return;
    if (recording_) {
        recorder_->Stop();
    } else if (monitoring_) {
        takeSaved_ = false;
        recorder_->Record();
    }
}

void CRecordDialog::OnPlay()
{
    if (!player_ || !recorder_ || recording_ || recorder_->TakeSamples() == 0)
        return;
    player_->playOnOpen = true;
    player_->SetMessageFile(recorder_->TakePath());
    player_->Run();
}

void CRecordDialog::OnAgain()
{
    if (!recorder_ || recording_ || saving_)
        return;
    recorder_->Discard();
    takeSaved_ = false;
}

void CRecordDialog::OnSave()
{
    if (!recorder_ || recording_ || saving_ || recorder_->TakeSamples() == 0)
        return;
    char folder[TEXT_SIZE] = {};
    GetDirPart(menuPath_, folder, sizeof folder);
    DefaultGreetingName(menuPath_, target_);
    WORD tag = WAVE_FORMAT_PCM;
    auto fits = [this](const char* name) { return GreetingNameFits(GetHwnd(), name, WIDEST_WAIT_SECONDS, name); };
    if (!CConversionOffer::ChooseGreetingTarget(this, IDS_RECORD_SAVE_TITLE, folder, target_, &tag, nullptr, fits))
        return;
    GreetingFixChoice choice;
    choice.level = IsDlgButtonChecked(GetHwnd(), IDC_RECORD_FIX_LEVEL) == BST_CHECKED;
    choice.trim = IsDlgButtonChecked(GetHwnd(), IDC_RECORD_FIX_TRIM) == BST_CHECKED;
    saving_ = true;
    monitoring_ = false;
    recorder_->Save(target_, tag, choice);
    UpdateControls();
}

bool CRecordDialog::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_RECORDER_LEVEL:
        OnLevel((LPARAM)(int)wParam, lParam);
        return true;
    case WM_RECORDER_EVENT:
        OnRecorderEvent(wParam, lParam);
        return true;
    case WM_DRAWITEM:
        if (wParam == IDC_RECORD_METER) {
            const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            PaintLevelMeter(item->hDC, item->rcItem, level_, GREETING_TARGET_LEVEL_DB);
            SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, TRUE);
            return true;
        }
        break;
    default:
        break;
    }
    return CBaseDialog::OnMessage(hwnd, message, wParam, lParam);
}

void CRecordDialog::OnLevel(LPARAM peak, LPARAM rms)
{
    level_.peakDb = (int)peak / 100.0;
    level_.rmsDb = (int)rms / 100.0;
    char text[TEXT_SIZE] = {};
    FormatStringId(GetResInstance(), text, sizeof text, IDS_RECORD_LEVEL, level_.peakDb, level_.rmsDb);
    SetDlgItemTextA(GetHwnd(), IDC_RECORD_LEVEL, text);
    InvalidateRect(GetDlgItem(GetHwnd(), IDC_RECORD_METER), nullptr, FALSE);
    if (recording_)
        UpdateControls();  // the take's length in the status line
}

void CRecordDialog::OnRecorderEvent(WPARAM event, LPARAM code)
{
    switch (event) {
    case RECORDER_MONITORING:
        monitoring_ = true;
        break;
    case RECORDER_OPEN_FAILED:
        OnOpenFailed((DWORD)code);
        break;
    case RECORDER_RECORDING:
        recording_ = true;
        break;
    case RECORDER_TAKE_ENDED:
        OnTakeEnded((DWORD)code);
        break;
    case RECORDER_DEVICE_LOST:
        OnDeviceLost(code != 0);
        break;
    case RECORDER_SAVED:
        OnSaved((DWORD)code);
        return;
    default:
        break;
    }
    UpdateControls();
}

void CRecordDialog::OnOpenFailed(DWORD code)
{
    monitoring_ = false;
    saving_ = false;
    UpdateControls();
    HINSTANCE instance = GetResInstance();
    HWND hwnd = GetHwnd();
    if (code == MMSYSERR_ALLOCATED) {
        ShowMessageFormat(instance, hwnd, MB_OK | MB_ICONHAND, IDS_RECORD_DEVICE_BUSY, DeviceName());
    } else if (code == CONVERT_ERROR_NO_RESAMPLER) {
        ShowMessageFormat(instance, hwnd, MB_OK | MB_ICONHAND, IDS_RECORD_NO_RESAMPLER, DeviceName());
    } else if (code == MMSYSERR_BADDEVICEID || code == MMSYSERR_NODRIVER) {
        ShowMessageId(instance, hwnd, IDS_RECORD_NO_DEVICE, MB_OK | MB_ICONHAND);
    } else {
        char reason[TEXT_SIZE] = {};
        waveInGetErrorTextA(code, reason, sizeof reason);
        ShowMessageFormat(instance, hwnd, MB_OK | MB_ICONHAND, IDS_RECORD_DEVICE_ERROR, DeviceName(), reason);
    }
}

void CRecordDialog::OnTakeEnded(DWORD reason)
{
    recording_ = false;
    UpdateControls();
    if (reason == TAKE_END_LIMIT)
        ShowMessageId(GetResInstance(), GetHwnd(), IDS_RECORD_LIMIT, MB_OK | MB_ICONINFORMATION);
    else if (reason != TAKE_END_ASKED) {
        char context[2 * TEXT_SIZE] = {};
        FormatStringId(GetResInstance(), context, sizeof context, IDS_RECORD_TAKE_ERROR, recorder_->TakePath());
        ReportSystemError(reason, TRUE, context);
    }
}

void CRecordDialog::OnDeviceLost(bool cut)
{
    monitoring_ = false;
    recording_ = false;
    UpdateControls();
    if (cut) {
        char duration[32] = {};
        TakeDuration(duration, sizeof duration);
        ShowMessageFormat(GetResInstance(), GetHwnd(), MB_OK | MB_ICONHAND, IDS_RECORD_DEVICE_LOST, DeviceName(),
                          duration);
    } else {
        ShowMessageFormat(GetResInstance(), GetHwnd(), MB_OK | MB_ICONHAND, IDS_RECORD_DEVICE_GONE, DeviceName());
    }
}

void CRecordDialog::OnSaved(DWORD code)
{
    saving_ = false;
    UpdateControls();
    if (code == 0) {
        lstrcpynA(savedPath_, target_, sizeof savedPath_);
        takeSaved_ = true;
        Close();
        return;
    }
    char context[2 * TEXT_SIZE] = {};
    FormatStringId(GetResInstance(), context, sizeof context, IDS_RECORD_SAVE_ERROR, target_);
    ReportSystemError(code, TRUE, context);
}

// The one place that sets the controls' state from the recorder's.
void CRecordDialog::UpdateControls()
{
    HWND hwnd = GetHwnd();
    HINSTANCE instance = GetResInstance();
    const bool hasTake = recorder_ && recorder_->TakeSamples() > 0;
    const bool idle = !recording_ && !saving_;
    char text[2 * TEXT_SIZE] = {};
    LoadStringA(instance, recording_ ? IDS_RECORD_STOP : IDS_RECORD_START, text, sizeof text);
    SetDlgItemTextA(hwnd, IDC_RECORD_START, text);
    EnableWindow(GetDlgItem(hwnd, IDC_RECORD_START), recording_ || (monitoring_ && !saving_));
    EnableWindow(GetDlgItem(hwnd, IDC_RECORD_PLAY), idle && hasTake);
    EnableWindow(GetDlgItem(hwnd, IDC_RECORD_AGAIN), idle && hasTake);
    EnableWindow(GetDlgItem(hwnd, IDC_RECORD_SAVE), idle && hasTake);
    EnableWindow(GetDlgItem(hwnd, IDC_RECORD_DEVICE), idle && !devices_.empty());
    EnableWindow(GetDlgItem(hwnd, IDC_RECORD_FIX_LEVEL), !saving_);
    EnableWindow(GetDlgItem(hwnd, IDC_RECORD_FIX_TRIM), !saving_);
    EnableWindow(GetDlgItem(hwnd, IDCANCEL), !saving_);

    char duration[32] = {};
    TakeDuration(duration, sizeof duration);
    if (saving_)
        LoadStringA(instance, IDS_RECORD_SAVING, text, sizeof text);
    else if (recording_)
        FormatStringId(instance, text, sizeof text, IDS_RECORD_RECORDING, duration);
    else if (hasTake)
        FormatStringId(instance, text, sizeof text, IDS_RECORD_TAKE, duration);
    else
        LoadStringA(instance, IDS_RECORD_NO_TAKE, text, sizeof text);
    SetDlgItemTextA(hwnd, IDC_RECORD_STATUS, text);
}

bool CRecordDialog::OnClose()
{
    if (saving_)
        return false;
    if (recorder_ && recorder_->TakeSamples() > 0 && !takeSaved_ &&
        ShowMessageId(GetResInstance(), GetHwnd(), IDS_RECORD_CLOSE_QUESTION, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;
    if (recorder_) {
        recorder_->Shutdown(SHUTDOWN_TIMEOUT_MS);
        recorder_.reset();
    }
    return CBaseDialog::OnClose();
}
