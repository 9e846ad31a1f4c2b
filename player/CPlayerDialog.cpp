#include "player/CPlayerDialog.h"

#include <commctrl.h>
#include <string.h>

#include "app/CommonServices.h"
#include "playback/PlayerStep.h"
#include "app/ScopedWin.h"
#include "app/TextSize.h"
#include "playback/CVoiceFile.h"
#include "playback/CVoicePlay.h"
#include "player/PlayerTrackBars.h"
#include "player/RejectionMessage.h"
#include "res/resource.h"

namespace {

const int TIME_TEXT_SIZE = 64;          // label texts are compared up to 63 characters
const char STOPPED_TIME[] = "00:00:00";

// Colour of the volume bar when it is disabled, and of the position bar.
const COLORREF DISABLED_VOLUME_COLOR = RGB(190, 190, 190);
const COLORREF POSITION_COLOR = RGB(120, 120, 120);

} // namespace

CPlayerDialog::CPlayerDialog(HINSTANCE instance, CWindowObject* owner)
    : CBaseDialog(instance, owner, IDD_PLAYER, DLGMODE_MODAL),
      playOnOpen(false),
      voiceFile_(nullptr),
      playing_(false),
      paused_(false),
      seekPending_(false),
      thumbDragged_(false),
      volume_(PLAYER_INITIAL_VOLUME),
      readersStarted_(0),
      readersEnded_(0)
{
    // Until a message file is given the player opens an empty name, which
    // reports the missing file.
    fileName_[0] = '\0';
    FillColorTable();
}

CPlayerDialog::~CPlayerDialog()
{
    // A window ended without OnClose would leave a playback that calls back
    // into this object: it is stopped and released first.
    ReleaseVoiceFile();
}

// The message stops its playback as it goes, waiting a moment at most: a
// playback that takes longer ends on its own and no longer reaches this object.
void CPlayerDialog::ReleaseVoiceFile()
{
    if (!voiceFile_)
        return;
    // Cleared first: the destructor handles sent messages while it waits for the reader.
    CVoiceFile* file = voiceFile_;
    voiceFile_ = nullptr;
    delete file;
}

void CPlayerDialog::FillColorTable()
{
    // Green at the bottom of the scale, yellow at 154, orange-red at the top.
    for (int i = 0; i < PLAYER_VOLUME_LEVELS; ++i) {
        TrackBarColor& color = colorTable_[i];
        double red = 1.5 * i;
        if (red < 230.0) {
            color.red = (int)red;
            color.green = 230;
        } else {
            color.red = 230;
            double green = 230.0 - 1.5 * (i - 154);
            color.green = green < 0.0 ? 0 : (int)green;
        }
        color.blue = 0;
    }
}

const TrackBarColor& CPlayerDialog::GetColor(int position) const
{
    if (position < 0)
        position = 0;
    if (position >= PLAYER_VOLUME_LEVELS)
        position = PLAYER_VOLUME_LEVELS - 1;
    return colorTable_[position];
}

bool CPlayerDialog::SetMessageFile(const char* name)
{
    if (!name || !FileExists(name))
        return false;
    lstrcpynA(fileName_, name, TEXT_SIZE);
    DWORD formatTag = 0;
    // Only the check counts here; the handle goes at once.
    ScopedHandle file(OpenWaveFile(fileName_, 0, &formatTag));
    return file.IsValid();
}

bool CPlayerDialog::OnInitDialog()
{
    HWND hwnd = GetHwnd();
    playing_ = false;
    paused_ = false;
    seekPending_ = false;
    thumbDragged_ = false;
    readersStarted_ = 0;
    readersEnded_ = 0;

    voiceFile_ = new CVoiceFile(fileName_);
    voiceFile_->SetPlayer(this);
    if (voiceFile_->GetEngine())
        voiceFile_->GetEngine()->SetNotify(this);

    HWND volumeBar = GetDlgItem(hwnd, IDC_VOLUME_BAR);
    SendMessageA(volumeBar, TBM_SETRANGE, TRUE, MAKELPARAM(0, PLAYER_VOLUME_LEVELS - 1));
    AttachVolumeBar(volumeBar, this);
    SendMessageA(volumeBar, TBM_SETPOS, TRUE, volume_);
    voiceFile_->SetVolume((DWORD)volume_ * 256);

    HWND positionBar = GetDlgItem(hwnd, IDC_POSITION_BAR);
    SendMessageA(positionBar, TBM_SETRANGE, TRUE, MAKELPARAM(0, PLAYER_POSITION_INITIAL_MAX));
    AttachPositionBar(positionBar, this);

    SetDlgItemTextA(hwnd, IDC_MESSAGE_FILE, fileName_);

    if (voiceFile_->Open()) {
        char text[TIME_TEXT_SIZE] = {};
        FormatTime(voiceFile_->GetDuration(), text);
        SetDlgItemTextA(hwnd, IDC_TOTAL_TIME, text);
        char name[TIME_TEXT_SIZE] = {};
        voiceFile_->GetFormatName(name);
        SetDlgItemTextA(hwnd, IDC_FORMAT_NAME, name);
        // The file is opened again when playing starts.
        voiceFile_->Close();
        if (playOnOpen)
            OnPlayPause();
    } else {
        char message[REJECTION_MESSAGE_SIZE];
        BuildRejectionMessage(GetResInstance(), *voiceFile_, message, sizeof message);
        ShowMessage(GetResInstance(), hwnd, message, MB_OK | MB_ICONHAND);
        Close();
    }
    UpdateButtons();
    SetIcon(ICON_BIG, MAKEINTRESOURCEA(IDI_ORLENTA));
    SetIcon(ICON_SMALL, MAKEINTRESOURCEA(IDI_ORLENTA));
    return CBaseDialog::OnInitDialog();
}

void CPlayerDialog::UpdateButtons()
{
    HWND hwnd = GetHwnd();
    char text[TEXT_SIZE] = {};
    LoadStringA(GetResInstance(), playing_ && !paused_ ? IDS_PAUSE : IDS_PLAY, text, sizeof text);
    SetDlgItemTextA(hwnd, IDC_PLAY_PAUSE, text);

    HWND stop = GetDlgItem(hwnd, IDC_STOP);
    HWND positionBar = GetDlgItem(hwnd, IDC_POSITION_BAR);
    // A control that is about to be disabled hands the keyboard focus on first.
    HWND focus = GetFocus();
    if (!playing_ && focus && (focus == stop || focus == positionBar))
        SendMessageA(hwnd, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(hwnd, IDC_PLAY_PAUSE), TRUE);
    EnableWindow(stop, playing_);
    EnableWindow(positionBar, playing_);
}

void CPlayerDialog::OnCommand(HWND hwnd, int id, HWND control, int code)
{
    if (id == IDC_PLAY_PAUSE)
        OnPlayPause();
    else if (id == IDC_STOP)
        OnStop();
    CBaseDialog::OnCommand(hwnd, id, control, code);
}

void CPlayerDialog::SetPositionRange(LONG maximum)
{
    // The 32-bit range messages: a message longer than 65,535 steps still fits.
    HWND positionBar = GetDlgItem(GetHwnd(), IDC_POSITION_BAR);
    SendMessageA(positionBar, TBM_SETRANGEMIN, FALSE, 0);
    SendMessageA(positionBar, TBM_SETRANGEMAX, TRUE, maximum);
}

void CPlayerDialog::OnPlayPause()
{
    if (!voiceFile_)
        return;
    seekPending_ = false;
    if (!playing_) {
        if (!voiceFile_->Open())
            return;
        SetPositionRange((LONG)(voiceFile_->GetDuration() / PLAYER_STEP_MS));
        // Counted before Play, which may handle messages while it starts the reader.
        ++readersStarted_;
        playing_ = true;
        paused_ = false;
        voiceFile_->Play();
    } else if (!paused_) {
        // The engine holds a pause asked for before its device is open; one
        // that it refuses is not shown.
        paused_ = voiceFile_->Pause();
    } else {
        paused_ = !voiceFile_->Play();
    }
    playing_ = true;
    UpdateButtons();
}

void CPlayerDialog::OnStop()
{
    if (!voiceFile_)
        return;
    voiceFile_->Stop();
    ShowStopped();
}

void CPlayerDialog::ShowStopped()
{
    HWND hwnd = GetHwnd();
    playing_ = false;
    paused_ = false;
    if (voiceFile_)
        voiceFile_->Close();
    SetPositionRange(0);
    SetDlgItemTextA(hwnd, IDC_ELAPSED_TIME, STOPPED_TIME);
    UpdateButtons();
}

HWND CPlayerDialog::GetStepWindow() { return GetHwnd(); }

void CPlayerDialog::SetStopped()
{
    // Called by a reader thread as its last act. It only counts itself off and
    // posts: the interface thread may be waiting for it, and a late call of an
    // older playback must not stop a newer one (see OnReaderEnded).
    ++readersEnded_;
    PostMessageA(GetHwnd(), WM_PLAYER_READER_ENDED, 0, 0);
}

void CPlayerDialog::ClearSeekPending() { seekPending_ = false; }

bool CPlayerDialog::ReadersDone() const { return readersEnded_ >= readersStarted_; }

void CPlayerDialog::OnReaderEnded()
{
    // The playback ended by itself (end of data, or a failed conversion). When a
    // newer reader is still running, the notice is an older playback's.
    if (playing_ && ReadersDone())
        ShowStopped();
}

void CPlayerDialog::OnHScroll(HWND bar, int code, int thumb)
{
    HWND hwnd = GetHwnd();
    if (bar && bar == GetDlgItem(hwnd, IDC_VOLUME_BAR))
        OnVolumeScroll(code, thumb);
    else if (bar && bar == GetDlgItem(hwnd, IDC_POSITION_BAR))
        OnPositionScroll(code);
}

bool CPlayerDialog::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PLAYER_READER_ENDED)
        OnReaderEnded();
    else if (g_uPlayerStepMsg != 0 && message == g_uPlayerStepMsg)
        OnPlayerStep();
    return CBaseDialog::OnMessage(hwnd, message, wParam, lParam);
}

void CPlayerDialog::OnVolumeScroll(int code, int thumb)
{
    HWND volumeBar = GetDlgItem(GetHwnd(), IDC_VOLUME_BAR);
    // Every notification repaints, so the colour follows the thumb.
    InvalidateRect(volumeBar, nullptr, FALSE);
    if (code != TB_THUMBTRACK || !voiceFile_)
        return;
    if (thumb < 0)
        thumb = 0;
    if (thumb > PLAYER_VOLUME_LEVELS - 1)
        thumb = PLAYER_VOLUME_LEVELS - 1;
    volume_ = (int)voiceFile_->SetVolume((DWORD)thumb * 256);
    SendMessageA(volumeBar, TBM_SETPOS, TRUE, volume_);
}

void CPlayerDialog::OnPositionScroll(int code)
{
    HWND positionBar = GetDlgItem(GetHwnd(), IDC_POSITION_BAR);
    switch (code) {
    case TB_LINEUP:
    case TB_LINEDOWN:
    case TB_PAGEUP:
    case TB_PAGEDOWN:
    case TB_THUMBPOSITION: {
        thumbDragged_ = false;
        if (!playing_ || !voiceFile_)
            return;
        seekPending_ = true;
        LONG position = (LONG)SendMessageA(positionBar, TBM_GETPOS, 0, 0);
        if (position < 0)
            position = 0;
        if (paused_) {
            // The reader leaves the pause when it performs the seek.
            paused_ = false;
            UpdateButtons();
        }
        voiceFile_->Seek((DWORD)position / PLAYER_STEPS_PER_SECOND);
        break;
    }
    case TB_THUMBTRACK:
        thumbDragged_ = true;
        ShowElapsed((LONG)SendMessageA(positionBar, TBM_GETPOS, 0, 0));
        break;
    case TB_ENDTRACK:
        thumbDragged_ = false;
        break;
    default:
        break;
    }
}

void CPlayerDialog::OnPlayerStep()
{
    // Steps before the reader has reached a sought position, late steps of a
    // playback that has already stopped, and steps while the operator drags
    // the thumb (the label shows where it is dragged; the release seeks) do
    // not move the thumb.
    if (seekPending_ || !playing_ || thumbDragged_)
        return;
    HWND positionBar = GetDlgItem(GetHwnd(), IDC_POSITION_BAR);
    LONG position = (LONG)SendMessageA(positionBar, TBM_GETPOS, 0, 0);
    SendMessageA(positionBar, TBM_SETPOS, TRUE, position + 1);
    ShowElapsed(position);
}

void CPlayerDialog::ShowElapsed(LONG position)
{
    if (position < 0)
        position = 0;
    char text[TIME_TEXT_SIZE] = {};
    FormatTime((DWORD)position * PLAYER_STEP_MS, text);
    char current[TIME_TEXT_SIZE] = {};
    GetDlgItemTextA(GetHwnd(), IDC_ELAPSED_TIME, current, TIME_TEXT_SIZE);
    if (lstrcmpA(text, current) != 0)
        SetDlgItemTextA(GetHwnd(), IDC_ELAPSED_TIME, text);
}

bool CPlayerDialog::OnClose()
{
    if (voiceFile_) {
        ReleaseVoiceFile();  // stops the playback
        ShowStopped();
    }
    return CBaseDialog::OnClose();
}

void CPlayerDialog::PaintVolumeBar(PAINTSTRUCT& paint)
{
    HWND bar = GetDlgItem(GetHwnd(), IDC_VOLUME_BAR);
    bool enabled = IsWindowEnabled(bar) != FALSE;
    COLORREF fill = DISABLED_VOLUME_COLOR;
    if (enabled) {
        const TrackBarColor& color = GetColor((int)SendMessageA(bar, TBM_GETPOS, 0, 0));
        fill = RGB(color.red, color.green, color.blue);
    }
    PaintTrackBar(bar, paint.hdc, fill, enabled);
}

void CPlayerDialog::PaintPositionBar(PAINTSTRUCT& paint)
{
    HWND bar = GetDlgItem(GetHwnd(), IDC_POSITION_BAR);
    PaintTrackBar(bar, paint.hdc, POSITION_COLOR, IsWindowEnabled(bar) != FALSE);
}
