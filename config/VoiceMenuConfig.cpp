#include "config/VoiceMenuConfig.h"

#include <string.h>

namespace {

// Key characters by slot index.
const char kSlotKeys[CONFIG_SLOT_COUNT + 1] = "0123456789*#-bt";

} // namespace

void SetDefaults(VoiceMenuConfig* config)
{
    memset(config, 0, sizeof *config);
    config->waitSeconds = 10;
    config->slots[SLOT_DEFAULT].action = ACTION_DISCONNECT;
}

char SlotKey(int slot)
{
    return (slot >= 0 && slot < CONFIG_SLOT_COUNT) ? kSlotKeys[slot] : '\0';
}

int SlotOfKey(char key)
{
    if (key == '\0')
        return -1;
    const char* found = strchr(kSlotKeys, key);
    return found ? static_cast<int>(found - kSlotKeys) : -1;
}
