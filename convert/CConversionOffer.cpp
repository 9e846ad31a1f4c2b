#include "convert/CConversionOffer.h"

#include <commdlg.h>
#include <stdio.h>
#include <string.h>

#include "app/CBaseDialog.h"
#include "app/CommonServices.h"
#include "app/TextSize.h"
#include "convert/CConversionThread.h"
#include "convert/CConvertProgressDialog.h"
#include "convert/CGreetingConverter.h"
#include "res/resource.h"
#include "wave/VoiceFileCheck.h"
#include "wave/VoiceFormats.h"

namespace {

// A conversion that ends sooner than this shows no progress window.
const DWORD PROGRESS_DELAY_MS = 500;
const char TARGET_SUFFIX[] = "_8k";
const char FIXED_SUFFIX[] = "_fix";
const char TARGET_EXTENSION[] = "wav";
const int MESSAGE_SIZE = 2 * TEXT_SIZE + 1024;

// The save dialog's file types, in the order of the filter string.
const WORD FILTER_TAGS[] = {WAVE_FORMAT_PCM, WAVE_FORMAT_ALAW, WAVE_FORMAT_MULAW, WAVE_FORMAT_GSM610};

// A greeting's name may hold no blank: the default name has none.
void DefaultTargetName(const char* source, const char* suffix, char* name)
{
    char base[TEXT_SIZE] = {};
    GetNamePart(source, base, sizeof base);
    for (char* c = base; *c; ++c) {
        if (*c == ' ')
            *c = '_';
    }
    // Room for the suffix and the extension within a text buffer.
    base[TEXT_SIZE - strlen(suffix) - sizeof TARGET_EXTENSION - 2] = '\0';
    snprintf(name, TEXT_SIZE, "%s%s.%s", base, suffix, TARGET_EXTENSION);
}

// The save dialog's file type of a format; the first (PCM) for another.
DWORD FilterIndex(WORD tag)
{
    for (DWORD i = 0; i < sizeof FILTER_TAGS / sizeof FILTER_TAGS[0]; ++i)
        if (FILTER_TAGS[i] == tag)
            return i + 1;
    return 1;
}

bool SamePath(const char* a, const char* b)
{
    char fullA[MAX_PATH] = {};
    char fullB[MAX_PATH] = {};
    if (!GetFullPathNameA(a, MAX_PATH, fullA, nullptr) || !GetFullPathNameA(b, MAX_PATH, fullB, nullptr))
        return lstrcmpiA(a, b) == 0;
    return lstrcmpiA(fullA, fullB) == 0;
}

} // namespace

CConversionOffer::CConversionOffer(CBaseDialog* owner, const std::function<bool(const char*)>& nameFits)
    : owner_(owner), nameFits_(nameFits)
{
}

CConversionOffer::~CConversionOffer() {}

void CConversionOffer::ShowText(UINT stringId, const char* name, UINT flags)
{
    ShowMessageFormat(owner_->GetResInstance(), owner_->GetHwnd(), flags, stringId, name);
}

bool CConversionOffer::Offer(const char* source, DWORD refusal, char* fileName)
{
    if (refusal != VOICE_ERROR_FORMAT)
        return false;
    DWORD probe = CGreetingConverter::Probe(source);
    if (probe == ERROR_FILE_TOO_LARGE)
        ShowText(IDS_CONVERT_TOO_LARGE, source, MB_OK | MB_ICONHAND);
    // A file nothing decodes gets no question: the format message said it all.
    if (probe != 0 || !Ask(source))
        return false;

    Target target = {IDS_CONVERT_SAVE_TITLE, TARGET_SUFFIX, WAVE_FORMAT_PCM, GreetingFixChoice(), {}};
    return ChooseAndWrite(source, &target, fileName);
}

bool CConversionOffer::Improve(const char* source, char* fileName)
{
    ScopedHandle file;
    RawHeader header = {};
    DWORD dataOffset = 0, dataSize = 0;
    WORD tag = CheckVoiceFile(source, &file, &header, &dataOffset, &dataSize) == VOICE_ERROR_NONE ? header.formatTag
                                                                                                 : WAVE_FORMAT_PCM;
    Target target = {IDS_FIX_SAVE_TITLE, FIXED_SUFFIX, tag, GreetingFixChoice(), {}};
    return ChooseAndWrite(source, &target, fileName);
}

bool CConversionOffer::ChooseAndWrite(const char* source, Target* target, char* fileName)
{
    if (!ChooseTarget(source, target) || !Write(source, *target))
        return false;
    lstrcpynA(fileName, target->name, TEXT_SIZE);
    return true;
}

// Converts into the chosen target and reports what went wrong; true when the
// target holds a file to keep.
bool CConversionOffer::Write(const char* source, const Target& chosen)
{
    const char* target = chosen.name;
    DWORD code = Convert(source, chosen);
    if (code == ERROR_CANCELLED)
        return false;
    if (code == CONVERT_ERROR_NO_RESAMPLER || code == ERROR_FILE_TOO_LARGE) {
        ShowText(code == CONVERT_ERROR_NO_RESAMPLER ? IDS_CONVERT_NO_RESAMPLER : IDS_CONVERT_RESULT_TOO_LARGE, source,
                 MB_OK | MB_ICONHAND);
        return false;
    }
    DWORD lostMs = 0;
    if (CGreetingConverter::SoundWasLost(code, &lostMs)) {
        if (!KeepDamaged(source, target, lostMs))
            return false;
        code = 0;
    }
    if (code != 0) {
        char context[MESSAGE_SIZE] = {};
        ReportSystemError(code, TRUE, FormatStringId(owner_->GetResInstance(), context, sizeof context,
                                                     IDS_CONVERT_ERROR, source));
        return false;
    }
    return true;
}

bool CConversionOffer::Ask(const char* source)
{
    return ShowMessageFormat(owner_->GetResInstance(), owner_->GetHwnd(), MB_YESNO | MB_ICONQUESTION,
                             IDS_CONVERT_QUESTION, source) == IDYES;
}

// A target written with part of the sound lost: the operator hears how much
// and decides; "Нет" deletes it, and the greeting stays as it was.
bool CConversionOffer::KeepDamaged(const char* source, const char* target, DWORD lostMs)
{
    ScopedHandle file;
    RawHeader header = {};
    DWORD dataOffset = 0, dataSize = 0;
    DWORD totalMs = 0;
    // As the player tells it: in whole 40 ms.
    if (CheckVoiceFile(target, &file, &header, &dataOffset, &dataSize) == VOICE_ERROR_NONE)
        totalMs = dataSize / FindVoiceFormat(header.formatTag)->BytesPer40ms() * 40;
    file.Close();
    if (totalMs < lostMs)
        totalMs = lostMs;
    char lost[32] = {};
    char total[32] = {};
    snprintf(lost, sizeof lost, "%lu,%02lu", lostMs / 1000, lostMs % 1000 / 10);
    snprintf(total, sizeof total, "%lu,%02lu", totalMs / 1000, totalMs % 1000 / 10);
    if (ShowMessageFormat(owner_->GetResInstance(), owner_->GetHwnd(), MB_YESNO | MB_ICONWARNING,
                          IDS_CONVERT_SOUND_LOST, source, lost, total, target) == IDYES)
        return true;
    DeleteFileA(target);
    return false;
}

// The platform's save dialog in the source's folder, with its own overwrite
// question and the fix's two check boxes below it (a template of ours in the
// system's dialog, so the operator chooses name, format and fix at once); the
// source itself, and a name nameFits refuses, are refused as the target
// before anything is written.
bool CConversionOffer::ChooseTarget(const char* source, Target* chosen)
{
    char folder[TEXT_SIZE] = {};
    GetDirPart(source, folder, sizeof folder);
    DefaultTargetName(source, chosen->suffix, chosen->name);
    return ChooseGreetingTarget(owner_, chosen->titleId, folder, chosen->name, &chosen->tag, &chosen->fix,
                                [&](const char* target) {
                                    if (SamePath(source, target)) {
                                        ShowText(IDS_CONVERT_SAME_FILE, source, MB_OK | MB_ICONHAND);
                                        return false;
                                    }
                                    return !nameFits_ || nameFits_(target);
                                });
}

bool CConversionOffer::ChooseGreetingTarget(CBaseDialog* owner, UINT titleId, const char* folder, char* target,
                                            WORD* tag, GreetingFixChoice* fix,
                                            const std::function<bool(const char*)>& accept)
{
    HINSTANCE instance = owner->GetResInstance();
    char title[TEXT_SIZE] = {};
    char filter[TEXT_SIZE] = {};
    LoadStringA(instance, titleId, title, sizeof title);
    LoadStringA(instance, IDS_CONVERT_FILTER, filter, sizeof filter - 1);
    for (char* c = filter; *c; ++c) {
        if (*c == '|')
            *c = '\0';
    }
    DWORD filterIndex = FilterIndex(*tag);

    for (;;) {
        OPENFILENAMEA dialog = {};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = owner->GetHwnd();
        dialog.lpstrFilter = filter;
        dialog.nFilterIndex = filterIndex;
        dialog.lpstrFile = target;
        dialog.nMaxFile = TEXT_SIZE - 1;
        dialog.lpstrInitialDir = folder && folder[0] ? folder : nullptr;
        dialog.lpstrTitle = title;
        dialog.lpstrDefExt = TARGET_EXTENSION;
        dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR;
        if (fix) {
            dialog.Flags |= OFN_ENABLETEMPLATE | OFN_ENABLEHOOK;
            dialog.hInstance = instance;
            dialog.lpTemplateName = MAKEINTRESOURCEA(IDD_FIX_CHOICE);
            dialog.lpfnHook = FixChoiceHook;
            dialog.lCustData = reinterpret_cast<LPARAM>(fix);
        }
        if (!GetSaveFileNameA(&dialog))
            return false;
        // A refused name brings the dialog back as the operator left it.
        filterIndex = dialog.nFilterIndex;
        if (accept && !accept(target))
            continue;
        DWORD index = dialog.nFilterIndex >= 1 && dialog.nFilterIndex <= 4 ? dialog.nFilterIndex : 1;
        *tag = FILTER_TAGS[index - 1];
        return true;
    }
}

// The procedure of the check boxes' template inside the save dialog: they
// show the choice as it stands and hand it back when the name is accepted.
UINT_PTR CALLBACK CConversionOffer::FixChoiceHook(HWND hwnd, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        GreetingFixChoice* fix = reinterpret_cast<GreetingFixChoice*>(reinterpret_cast<OPENFILENAMEA*>(lParam)->lCustData);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(fix));
        CheckDlgButton(hwnd, IDC_FIX_LEVEL, fix->level ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(hwnd, IDC_FIX_TRIM, fix->trim ? BST_CHECKED : BST_UNCHECKED);
        return TRUE;
    }
    if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == CDN_FILEOK) {
        GreetingFixChoice* fix = reinterpret_cast<GreetingFixChoice*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        fix->level = IsDlgButtonChecked(hwnd, IDC_FIX_LEVEL) == BST_CHECKED;
        fix->trim = IsDlgButtonChecked(hwnd, IDC_FIX_TRIM) == BST_CHECKED;
    }
    return 0;
}

// The conversion runs on its own thread; the main window stays painted and
// is kept from starting another command meanwhile.
DWORD CConversionOffer::Convert(const char* source, const Target& target)
{
    CConversionThread job(source, target.name, target.tag, &target.fix);
    if (!job.Start())
        return GetLastError() ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
    HWND owner = owner_->GetHwnd();
    EnableWindow(owner, FALSE);
    bool ended = WaitPumping(job.GetHandle(), PROGRESS_DELAY_MS);
    EnableWindow(owner, TRUE);
    if (!ended) {
        CConvertProgressDialog progress(owner_->GetResInstance(), owner_, &job, source);
        progress.Run();
    }
    WaitForSingleObject(job.GetHandle(), INFINITE);
    return job.GetResult();
}

// Waits for the thread while the windows of this thread get their messages.
bool CConversionOffer::WaitPumping(HANDLE thread, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs)
            return false;
        DWORD wait = MsgWaitForMultipleObjects(1, &thread, FALSE, timeoutMs - spent, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0)
            return true;
        if (wait != WAIT_OBJECT_0 + 1)
            return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage((int)msg.wParam);  // for the loop that owns it
                return false;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}
