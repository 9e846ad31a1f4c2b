#include "app/CommonServices.h"

HINSTANCE g_hInstance = nullptr;
HWND g_hMainWnd = nullptr;
