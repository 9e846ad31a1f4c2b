// The message that refuses a WAV file as a greeting or a message to play:
// the format message (372), with the file's format and the required one, for
// a rejected format; otherwise the system's text for the error in 377.
#pragma once
#include <windows.h>

class CVoiceFile;

const int REJECTION_MESSAGE_SIZE = 4096;  // at most 4095 characters and a terminator

// For a message whose Open failed. out receives at most min(size, 4096) - 1
// characters; false only without room for any.
bool BuildRejectionMessage(HINSTANCE instance, CVoiceFile& file, char* out, int size);
