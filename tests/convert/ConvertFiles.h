// WAV files of any stated length that take no room, for the converter's tests.
#pragma once
#include <windows.h>
#include <string>

// A WAV file with this fmt body whose data chunk states dataSize bytes, the
// file grown to fileSize with zeros stored sparse. False when the file system
// cannot hold it.
bool WriteSparseWav(const std::string& path, const std::string& fmtBody, DWORD dataSize, ULONGLONG fileSize);
