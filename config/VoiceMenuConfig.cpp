#include "config/VoiceMenuConfig.h"

#include <windows.h>
#include <string.h>

#include "app/CommonServices.h"
#include "res/resource.h"

namespace {

// Key characters by slot index.
const char SLOT_KEYS[CONFIG_SLOT_COUNT + 1] = "0123456789*#-bt";

} // namespace

void SetDefaults(VoiceMenuConfig* config)
{
    memset(config, 0, sizeof *config);
    config->waitSeconds = 10;
    config->slots[SLOT_DEFAULT].action = ACTION_DISCONNECT;
}

char SlotKey(int slot)
{
    return (slot >= 0 && slot < CONFIG_SLOT_COUNT) ? SLOT_KEYS[slot] : '\0';
}

int SlotOfKey(char key)
{
    if (key == '\0')
        return -1;
    const char* found = strchr(SLOT_KEYS, key);
    return found ? static_cast<int>(found - SLOT_KEYS) : -1;
}

void GetSlotLabel(int slot, char* out, int size)
{
    if (size <= 0)
        return;
    memset(out, 0, size);
    if (slot == SLOT_DEFAULT)
        LoadStringA(g_hInstance, IDS_ROW_DEFAULT, out, size);
    else if (slot == SLOT_BUSY)
        LoadStringA(g_hInstance, IDS_ROW_BUSY, out, size);
    else if (size > 1)
        out[0] = SlotKey(slot);
}
