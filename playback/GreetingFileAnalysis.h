// The analysis of a greeting file in any of the accepted formats: the file is
// checked as the player checks it and decoded, one second at a time, by the
// player's decoder, so a greeting is judged as callers will hear it.
#pragma once
#include <windows.h>

#include "wave/CGreetingAnalysis.h"

// The largest magnitude a format decodes to: G.711 stops short of 16-bit full
// scale (A-law at 32256, µ-law at 32124), so clipping is judged against it.
int DecodedFullScale(WORD formatTag);

// Analyses the whole file into figures. Answers VOICE_ERROR_NONE,
// VOICE_ERROR_MISSING, VOICE_ERROR_FORMAT (see CVoiceFile.h), or the system's
// error code of a failed read; ERROR_INVALID_DATA when the decoder fails.
DWORD AnalyseGreetingFile(const char* fileName, GreetingFigures* figures);
