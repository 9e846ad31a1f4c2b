// The registered window message IVR_PLAYER_STEP (wParam 0, lParam 0): the
// engine posts one to the player window for each 20 ms of sound it hands over.
#pragma once
#include <windows.h>

extern UINT g_uPlayerStepMsg;
