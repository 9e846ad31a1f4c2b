// One voice menu of the IVR system, as the configurator edits it and the .ivr
// file stores it.
#pragma once
#include "app/TextSize.h"

enum {
    ACTION_NONE = 0,
    ACTION_MENU = 1,        // "menu": go to another voice menu
    ACTION_DIAL = 2,        // "dial": call an operator
    ACTION_DISCONNECT = 3,  // "disconnect": end the connection
};

const int CONFIG_SLOT_COUNT = 15;     // keys 0-9, *, #, default, busy and the hidden "t"
const int CONFIG_SHOWN_SLOTS = 14;    // slot 14 ("t") is read and written but has no row
const int CONFIG_ACTION_TEXTS = 15;   // one parameter text per action code

// Slot indices with a meaning of their own.
const int SLOT_STAR = 10;
const int SLOT_HASH = 11;
const int SLOT_DEFAULT = 12;  // "По умолчанию", key "-"
const int SLOT_BUSY = 13;     // "Абонент занят", key "b"
const int SLOT_T = 14;        // key "t"

struct CommandSlot {
    int action;
    // The text last given for each action, so switching away and back keeps it.
    char paramText[CONFIG_ACTION_TEXTS][TEXT_SIZE];
};

struct VoiceMenuConfig {
    char greeting[TEXT_SIZE];
    int waitSeconds;
    CommandSlot slots[CONFIG_SLOT_COUNT];
};

// Clears the record, then wait time 10 and "По умолчанию" ending the connection.
void SetDefaults(VoiceMenuConfig* config);

// Key character of a slot in the .ivr file ("0".."9", "*", "#", "-", "b", "t").
char SlotKey(int slot);
// Slot index of a key character, or -1 when no slot has that key.
int SlotOfKey(char key);
// The slot's name as the list shows it: the key, or "По умолчанию" and
// "Абонент занят" (string table) for the two events; size bytes of out.
void GetSlotLabel(int slot, char* out, int size);
