// What the map program calls to record a menu's greeting: the recorder window
// on the menu, and afterwards the menu's greeting set to the saved file.
#pragma once

class CBaseDialog;

// Runs "Запись приветствия" for the menu file menuPath, modal over owner.
// True when a greeting was saved: savedWavPath (TEXT_SIZE bytes) then holds
// its full path. False when the operator closed the window without saving.
bool RecordGreeting(CBaseDialog* owner, const char* menuPath, char* savedWavPath);

// Makes greetingPath the greeting of the menu file menuPath through the .ivr
// reader and writer: the bare name when it lies beside the menu (where the
// IVR system looks for it), else the full path. False, with the reader's or
// writer's message, when the menu cannot be read or written; the old file is
// then as it was.
bool SetMenuGreeting(const char* menuPath, const char* greetingPath);
