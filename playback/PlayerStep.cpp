#include "playback/PlayerStep.h"

// Registered during the runtime's start-up, before WinMain and before any thread.
UINT g_uPlayerStepMsg = RegisterWindowMessageA("IVR_PLAYER_STEP");
