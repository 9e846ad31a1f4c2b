// The one check of a greeting file, as "Выбрать ..." makes it and the player
// opens it: the file exists, opens, states one of the accepted formats and
// holds a data chunk.
#pragma once
#include <windows.h>

#include "app/ScopedWin.h"
#include "wave/WaveChunks.h"

// Answers of the check besides the system's own error codes.
const DWORD VOICE_ERROR_NONE = 0;
const DWORD VOICE_ERROR_MISSING = 2;
const DWORD VOICE_ERROR_FORMAT = 6;

// header receives the fields read, even when the format is rejected; on
// success file is open and dataOffset, dataSize tell where the samples lie (the
// size cut to what the file holds). Answers VOICE_ERROR_NONE,
// VOICE_ERROR_MISSING, VOICE_ERROR_FORMAT or the system's error code.
DWORD CheckVoiceFile(const char* fileName, ScopedHandle* file, RawHeader* header, DWORD* dataOffset,
                     DWORD* dataSize);
