// ITU-T G.711 decoding written from the standard's tables, an independent
// reference for what the audio compression manager decodes and encodes.
#pragma once
#include <windows.h>

short AlawToLinear(BYTE code);
short UlawToLinear(BYTE code);
