// What follows when a chosen greeting is refused for its format: an offer to
// convert it, a save dialog for the new file and one of the four formats, and
// the conversion itself on a thread of its own, with a progress window when
// it takes longer than a moment. Used by the main dialog's ChooseGreeting.
#pragma once
#include <windows.h>

#include <functional>

class CBaseDialog;
class CVoiceFile;

class CConversionOffer {
public:
    // nameFits: whether a greeting of that name can be kept, telling the
    // operator why not; a target it refuses brings the save dialog back.
    CConversionOffer(CBaseDialog* owner, const std::function<bool(const char*)>& nameFits);
    virtual ~CConversionOffer();
    CConversionOffer(const CConversionOffer&) = delete;
    CConversionOffer& operator=(const CConversionOffer&) = delete;

    // Offers to convert a file whose format was refused (last error 6).
    // True when the operator converted it: fileName (TEXT_SIZE bytes) then
    // holds the new file. False when there was nothing to offer, the operator
    // declined or cancelled, or the conversion failed (already reported).
    bool Offer(const CVoiceFile& refused, char* fileName);

    // The save dialog of a new greeting, shared with the recorder: titled
    // titleId, opened in folder on the name in target (TEXT_SIZE bytes), with
    // the four formats and the platform's own overwrite question. accept may
    // refuse a name, telling the operator why: the dialog comes again. True
    // with the chosen name in target and its format in tag; false when cancelled.
    static bool ChooseGreetingTarget(CBaseDialog* owner, UINT titleId, const char* folder, char* target, WORD* tag,
                                     const std::function<bool(const char*)>& accept);

private:
    bool Ask(const char* source);
    bool ChooseTarget(const char* source, char* target, WORD* tag);
    DWORD Convert(const char* source, const char* target, WORD tag);
    bool KeepDamaged(const char* source, const char* target, DWORD lostMs);
    bool WaitPumping(HANDLE thread, DWORD timeoutMs);
    void ShowText(UINT stringId, const char* name, UINT flags);

    CBaseDialog* owner_;
    std::function<bool(const char*)> nameFits_;
};
