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
#include "res/resource.h"

namespace {

const int FORMAT_STRING_SIZE = 1024;    // strings 372 and 377: at most 1023 characters
const int SYSTEM_TEXT_SIZE = 512;       // the system's error text: at most 511 characters
const int TIME_TEXT_SIZE = 64;          // label texts are compared up to 63 characters
const char STOPPED_TIME[] = "00:00:00";

// Sample rates that the format message names as numbers.
const DWORD KNOWN_RATES[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

// Colour of the volume bar when it is disabled, and of the position bar.
const COLORREF DISABLED_VOLUME_COLOR = RGB(190, 190, 190);
const COLORREF POSITION_COLOR = RGB(120, 120, 120);

// Copies format into out, replacing each "%s" by the next argument. Only %s is
// understood, so a string-table text can never read arguments it was not given.
void FillFormat(const char* format, const char* const* args, int count, char* out, int size)
{
    int length = 0;
    int next = 0;
    for (const char* p = format; *p && length < size - 1; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            const char* arg = next < count ? args[next] : "";
            ++next;
            while (*arg && length < size - 1)
                out[length++] = *arg++;
            ++p;
            continue;
        }
        out[length++] = *p;
    }
    out[length] = '\0';
}

void LoadText(HINSTANCE instance, UINT id, char* out, int size)
{
    out[0] = '\0';
    LoadStringA(instance, id, out, size);
}

bool IsKnownRate(DWORD rate)
{
    for (DWORD known : KNOWN_RATES) {
        if (known == rate)
            return true;
    }
    return false;
}

} // namespace

CPlayerDialog::CPlayerDialog(HINSTANCE instance, CWindowObject* owner)
    : CBaseDialog(instance, owner, IDD_PLAYER, DLGMODE_MODAL),
      playOnOpen(false),
      voiceFile(nullptr),
      playing(false),
      paused(false),
      seekPending(false),
      volume(PLAYER_INITIAL_VOLUME),
      readersStarted(0),
      readersEnded(0)
{
    // Until a message file is given the player opens an empty name, which
    // reports the missing file.
    fileName[0] = '\0';
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
    if (!voiceFile)
        return;
    // Cleared first: the destructor handles sent messages while it waits for the reader.
    CVoiceFile* file = voiceFile;
    voiceFile = nullptr;
    delete file;
}

void CPlayerDialog::FillColorTable()
{
    // Green at the bottom of the scale, yellow at 154, orange-red at the top.
    for (int i = 0; i < PLAYER_VOLUME_LEVELS; ++i) {
        TrackBarColor& color = colorTable[i];
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
    return colorTable[position];
}

bool CPlayerDialog::SetMessageFile(const char* name)
{
    if (!name || !FileExists(name))
        return false;
    lstrcpynA(fileName, name, TEXT_SIZE);
    DWORD formatTag = 0;
    // Only the check counts here; the handle goes at once.
    ScopedHandle file(OpenWaveFile(fileName, 0, &formatTag));
    return file.IsValid();
}

bool CPlayerDialog::BuildRejectionMessage(HINSTANCE instance, CVoiceFile& file, char* out, int size)
{
    if (!out || size <= 0)
        return false;
    if (size > REJECTION_MESSAGE_SIZE)
        size = REJECTION_MESSAGE_SIZE;
    out[0] = '\0';

    char format[FORMAT_STRING_SIZE];
    DWORD code = file.GetLastErrorCode();
    if (code == VOICE_ERROR_FORMAT) {
        const WaveHeader& header = file.GetHeader();
        char bad[TEXT_SIZE];
        LoadText(instance, IDS_BAD_VALUE, bad, sizeof bad);

        char compression[TEXT_SIZE] = {};
        file.GetFormatName(compression);
        if (!compression[0])
            lstrcpynA(compression, bad, sizeof compression);

        char rate[TEXT_SIZE];
        char byteRate[TEXT_SIZE];
        if (IsKnownRate(header.samplesPerSec)) {
            wsprintfA(rate, "%lu", (unsigned long)header.samplesPerSec);
            wsprintfA(byteRate, "%lu", (unsigned long)header.avgBytesPerSec);
        } else {
            lstrcpynA(rate, bad, sizeof rate);
            lstrcpynA(byteRate, bad, sizeof byteRate);
        }

        char sound[TEXT_SIZE];
        if (header.channels == 1)
            LoadText(instance, IDS_MONO, sound, sizeof sound);
        else if (header.channels == 2)
            LoadText(instance, IDS_STEREO, sound, sizeof sound);
        else
            lstrcpynA(sound, bad, sizeof sound);

        LoadText(instance, IDS_WAV_BAD_FORMAT, format, sizeof format);
        const char* args[] = {file.GetFileName(), compression, rate, byteRate, sound};
        FillFormat(format, args, ARRAYSIZE(args), out, size);
        return true;
    }

    // Code 2 (missing file) included: the system's own words for the error.
    char system[SYSTEM_TEXT_SIZE];
    GetSystemErrorText(code, system, sizeof system);
    LoadText(instance, IDS_WAV_OPEN_ERROR, format, sizeof format);
    const char* args[] = {file.GetFileName(), system};
    FillFormat(format, args, ARRAYSIZE(args), out, size);
    return true;
}

bool CPlayerDialog::OnInitDialog()
{
    HWND hwnd = GetHwnd();
    playing = false;
    paused = false;
    seekPending = false;
    readersStarted = 0;
    readersEnded = 0;

    voiceFile = new CVoiceFile(fileName);
    voiceFile->SetPlayer(this);
    if (voiceFile->GetEngine())
        voiceFile->GetEngine()->SetNotify(this);

    HWND volumeBar = GetDlgItem(hwnd, IDC_VOLUME_BAR);
    SendMessageA(volumeBar, TBM_SETRANGE, TRUE, MAKELPARAM(0, PLAYER_VOLUME_LEVELS - 1));
    AttachVolumeBar(volumeBar, this);
    SendMessageA(volumeBar, TBM_SETPOS, TRUE, volume);
    voiceFile->SetVolume((DWORD)volume * 256);

    HWND positionBar = GetDlgItem(hwnd, IDC_POSITION_BAR);
    SendMessageA(positionBar, TBM_SETRANGE, TRUE, MAKELPARAM(0, PLAYER_VOLUME_LEVELS - 1));
    AttachPositionBar(positionBar, this);

    SetDlgItemTextA(hwnd, IDC_MESSAGE_FILE, fileName);

    if (voiceFile->Open()) {
        char text[TIME_TEXT_SIZE] = {};
        FormatTime(voiceFile->GetDuration(), text);
        SetDlgItemTextA(hwnd, IDC_TOTAL_TIME, text);
        char name[TIME_TEXT_SIZE] = {};
        voiceFile->GetFormatName(name);
        SetDlgItemTextA(hwnd, IDC_FORMAT_NAME, name);
        // The file is opened again when playing starts.
        voiceFile->Close();
        if (playOnOpen)
            OnPlayPause();
    } else {
        char message[REJECTION_MESSAGE_SIZE];
        BuildRejectionMessage(GetResInstance(), *voiceFile, message, sizeof message);
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
    char text[TEXT_SIZE];
    LoadText(GetResInstance(), playing && !paused ? IDS_PAUSE : IDS_PLAY, text, sizeof text);
    SetDlgItemTextA(hwnd, IDC_PLAY_PAUSE, text);

    HWND stop = GetDlgItem(hwnd, IDC_STOP);
    HWND positionBar = GetDlgItem(hwnd, IDC_POSITION_BAR);
    // A control that is about to be disabled hands the keyboard focus on first.
    HWND focus = GetFocus();
    if (!playing && focus && (focus == stop || focus == positionBar))
        SendMessageA(hwnd, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(hwnd, IDC_PLAY_PAUSE), TRUE);
    EnableWindow(stop, playing);
    EnableWindow(positionBar, playing);
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
    if (!voiceFile)
        return;
    seekPending = false;
    if (!playing) {
        if (!voiceFile->Open())
            return;
        SetPositionRange((LONG)(voiceFile->GetDuration() / PLAYER_STEP_MS));
        // Counted before Play, which may handle messages while it starts the reader.
        ++readersStarted;
        playing = true;
        paused = false;
        voiceFile->Play();
    } else if (!paused) {
        // The engine holds a pause asked for before its device is open; one
        // that it refuses is not shown.
        paused = voiceFile->Pause();
    } else {
        paused = !voiceFile->Play();
    }
    playing = true;
    UpdateButtons();
}

void CPlayerDialog::OnStop()
{
    if (!voiceFile)
        return;
    voiceFile->Stop();
    ShowStopped();
}

void CPlayerDialog::ShowStopped()
{
    HWND hwnd = GetHwnd();
    playing = false;
    paused = false;
    if (voiceFile)
        voiceFile->Close();
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
    ++readersEnded;
    PostMessageA(GetHwnd(), WM_PLAYER_READER_ENDED, 0, 0);
}

void CPlayerDialog::ClearSeekPending() { seekPending = false; }

bool CPlayerDialog::ReadersDone() const { return readersEnded >= readersStarted; }

void CPlayerDialog::OnReaderEnded()
{
    // The playback ended by itself (end of data, or a failed conversion). When a
    // newer reader is still running, the notice is an older playback's.
    if (playing && ReadersDone())
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
    if (code != TB_THUMBTRACK || !voiceFile)
        return;
    if (thumb < 0)
        thumb = 0;
    if (thumb > PLAYER_VOLUME_LEVELS - 1)
        thumb = PLAYER_VOLUME_LEVELS - 1;
    volume = (int)voiceFile->SetVolume((DWORD)thumb * 256);
    SendMessageA(volumeBar, TBM_SETPOS, TRUE, volume);
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
        if (!playing || !voiceFile)
            return;
        seekPending = true;
        LONG position = (LONG)SendMessageA(positionBar, TBM_GETPOS, 0, 0);
        if (position < 0)
            position = 0;
        if (paused) {
            // The reader leaves the pause when it performs the seek.
            paused = false;
            UpdateButtons();
        }
        voiceFile->Seek((DWORD)position / PLAYER_STEPS_PER_SECOND);
        break;
    }
    case TB_THUMBTRACK:
        ShowElapsed((LONG)SendMessageA(positionBar, TBM_GETPOS, 0, 0));
        break;
    default:
        break;
    }
}

void CPlayerDialog::OnPlayerStep()
{
    // Steps before the reader has reached a sought position, and late steps of
    // a playback that has already stopped, do not move the thumb.
    if (seekPending || !playing)
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
    if (voiceFile) {
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
