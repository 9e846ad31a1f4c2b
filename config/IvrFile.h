// Reader and writer of the .ivr text file, the format shared with the IVR
// system: a header line (wait time, greeting name), an empty line, then one
// fixed-column line per key with an action.
#pragma once
#include "config/VoiceMenuConfig.h"

// Reads a whole file into config (cleared first). False on a format error
// (returned only) or when the file cannot be opened (reported).
bool ReadIvrFile(const char* fileName, VoiceMenuConfig* config);

// Writes config; the old file is replaced only once the new content is
// completely on disk. False, with a report, when anything fails.
bool WriteIvrFile(const char* fileName, const VoiceMenuConfig* config);

// WriteIvrFile through a temporary named by the caller instead of a fresh
// unique file beside the target (tests use it to make the write itself fail).
// The temporary must be on the target's volume; it is gone afterwards.
bool WriteIvrFileThrough(const char* fileName, const char* tempName, const VoiceMenuConfig* config);
