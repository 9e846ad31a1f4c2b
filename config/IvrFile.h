// Reader and writer of the .ivr text file, the format shared with the IVR
// system: a header line (wait time, greeting name), an empty line, then one
// fixed-column line per key with an action.
#pragma once
#include <windows.h>

#include "config/VoiceMenuConfig.h"

// The parameter field of a key line is read this many characters wide.
const int IVR_PARAM_CHARS = 16;

// Why a record would not read back from its file as it stands: the reader (and
// the IVR system) reads at most 254 characters a line, the wait time from three
// characters, the parameter from a 16-character field, and drops every blank.
enum IvrFault {
    IVR_FITS = 0,
    IVR_WAIT_TOO_WIDE,       // value: the wait time
    IVR_GREETING_BLANK,
    IVR_GREETING_TOO_LONG,   // limit: most characters of name and extension
    IVR_PARAM_BLANK,         // slot: the key's slot
    IVR_PARAM_TOO_LONG,      // slot, limit
};

struct IvrCheck {
    IvrFault fault;
    int slot;
    int limit;
    int value;
};

// The header line of a greeting (a full path or a bare name) and a wait time.
IvrCheck CheckIvrGreeting(const char* greeting, int waitSeconds);
// A parameter text of a key line (one that its action writes).
IvrCheck CheckIvrParam(int slot, const char* param);
// Everything WriteIvrFile would write; the first fault found.
IvrCheck CheckIvrRecord(const VoiceMenuConfig* config);
// The reason of a fault as the messages give it (string table), in size bytes.
void DescribeIvrFault(const IvrCheck& check, char* out, int size);
// Whether a .ivr file with that wait time holds the greeting name as it
// stands; otherwise message 410 names the file (shown as shownName) and the
// reason, owned by owner.
bool GreetingNameFits(HWND owner, const char* greeting, int waitSeconds, const char* shownName);

// Reads a whole file into config (cleared first). False on a format error
// (returned only) or when the file cannot be opened (reported).
bool ReadIvrFile(const char* fileName, VoiceMenuConfig* config);
// The same read without any message, for checks of many files: false with
// *error 0 when a line does not belong in the file, or with the system's code
// when the file cannot be opened or read.
bool ReadIvrFileSilently(const char* fileName, VoiceMenuConfig* config, DWORD* error);

// Writes config; the old file is replaced only once the new content is
// completely on disk. False, with a report, when anything fails, and also when
// the record would not read back as it stands (CheckIvrRecord): then nothing
// is written at all.
bool WriteIvrFile(const char* fileName, const VoiceMenuConfig* config);

// Why a write failed: a record that would not read back as it stands (check),
// or else the system's code and the step that failed (the context line of the
// report, a string id).
struct IvrWriteError {
    IvrCheck check;
    DWORD code;
    UINT contextId;
};

// WriteIvrFile without any message, for a caller that writes several files
// and tells which one failed: false with the reason in *error.
bool WriteIvrFileSilently(const char* fileName, const VoiceMenuConfig* config, IvrWriteError* error);
// The reason of a failed write in one line (the fault, or the step, the
// system's text and its code), in size bytes of out.
void DescribeIvrWriteError(const IvrWriteError& error, char* out, int size);

// WriteIvrFile through a temporary named by the caller instead of a fresh
// unique file beside the target (tests use it to make the write itself fail).
// The temporary must be on the target's volume; it is gone afterwards.
bool WriteIvrFileThrough(const char* fileName, const char* tempName, const VoiceMenuConfig* config);
