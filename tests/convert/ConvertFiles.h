// Files of the converter's tests: fixtures, folder listings and WAV files of
// any stated length that take no room.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

std::string Fixture(const char* name);
// Names of the files (not folders) in a folder.
std::vector<std::string> FilesIn(const std::string& dir);
// A WAV file with this fmt body whose data chunk states dataSize bytes, all
// of them zero and stored sparse. False when the file system cannot hold it.
bool WriteSparseWav(const std::string& path, const std::string& fmtBody, DWORD dataSize, ULONGLONG fileSize);
