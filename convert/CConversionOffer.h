// What follows when a chosen greeting is refused for its format: an offer to
// convert it, a save dialog for the new file with one of the four formats and
// the choice of the fix ("Улучшить звучание": the level and the silences, both
// on at first), and the conversion itself on a thread of its own, with a
// progress window when it takes longer than a moment. Used by the main
// dialog's ChooseGreeting; the map's "Улучшить ..." takes the same save dialog
// and conversion for a greeting the system plays (Improve).
#pragma once
#include <windows.h>

#include <functional>

#include "app/TextSize.h"
#include "convert/CGreetingFix.h"

class CBaseDialog;

class CConversionOffer {
public:
    // nameFits: whether a greeting of that name can be kept, telling the
    // operator why not; a target it refuses brings the save dialog back.
    CConversionOffer(CBaseDialog* owner, const std::function<bool(const char*)>& nameFits);
    virtual ~CConversionOffer();
    CConversionOffer(const CConversionOffer&) = delete;
    CConversionOffer& operator=(const CConversionOffer&) = delete;

    // Offers to convert source, whose check answered refusal: only a refused
    // format (VOICE_ERROR_FORMAT) is offered.
    // True when the operator converted it: fileName (TEXT_SIZE bytes) then
    // holds the new file. False when there was nothing to offer, the operator
    // declined or cancelled, or the conversion failed (already reported).
    bool Offer(const char* source, DWORD refusal, char* fileName);
    // Writes a fixed copy of a greeting the system plays, never over it: the
    // save dialog offers its name with "_fix" beside it, in its own format.
    // True when the new file is written: fileName (TEXT_SIZE bytes) then
    // holds it. False when the operator cancelled or the conversion failed
    // (already reported).
    bool Improve(const char* source, char* fileName);

    // The save dialog of a new greeting, shared with the recorder: titled
    // titleId, opened in folder on the name in target (TEXT_SIZE bytes), with
    // the four formats (the one in *tag chosen at first) and the platform's own
    // overwrite question; with fix, the fix's two check boxes below it, showing
    // *fix and taking the choice back. accept may refuse a name, telling the
    // operator why: the dialog comes again as the operator left it. True with
    // the chosen name in target and its format in *tag; false when cancelled.
    static bool ChooseGreetingTarget(CBaseDialog* owner, UINT titleId, const char* folder, char* target, WORD* tag,
                                     GreetingFixChoice* fix, const std::function<bool(const char*)>& accept);

private:
    // What the save dialog asks and answers.
    struct Target {
        UINT titleId;
        const char* suffix;  // of the offered name
        WORD tag;            // the format chosen, at first the one offered
        GreetingFixChoice fix;
        char name[TEXT_SIZE];
    };

    bool Ask(const char* source);
    bool ChooseAndWrite(const char* source, Target* target, char* fileName);
    bool ChooseTarget(const char* source, Target* target);
    static UINT_PTR CALLBACK FixChoiceHook(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool Write(const char* source, const Target& target);
    DWORD Convert(const char* source, const Target& target);
    bool KeepDamaged(const char* source, const char* target, DWORD lostMs);
    bool WaitPumping(HANDLE thread, DWORD timeoutMs);
    void ShowText(UINT stringId, const char* name, UINT flags);

    CBaseDialog* owner_;
    std::function<bool(const char*)> nameFits_;
};
