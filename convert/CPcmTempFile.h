// A temporary file of raw 16-bit samples beside another file: written once,
// then read back from its start, and deleted when it closes (also when the
// process ends unasked). The greeting converter keeps the 8000 Hz samples of a
// greeting in it between the analysis and the fix, so memory stays fixed
// whatever the greeting's length; being raw, it has no 4 GB limit of its own.
#pragma once
#include <windows.h>

#include "app/ScopedWin.h"

class CPcmTempFile {
public:
    CPcmTempFile();
    virtual ~CPcmTempFile();
    CPcmTempFile(const CPcmTempFile&) = delete;
    CPcmTempFile& operator=(const CPcmTempFile&) = delete;

    // Makes the temporary in the folder of beside; one already open is
    // closed (and deleted) first. Answers 0 or the system's error code.
    DWORD Create(const char* beside);
    DWORD Write(const short* samples, DWORD count);
    // Back to the first sample, for reading.
    DWORD Rewind();
    // Up to count samples into samples; *read is 0 at the end.
    DWORD Read(short* samples, DWORD count, DWORD* read);
    ULONGLONG Samples() const { return samples_; }
    void Close();

private:
    ScopedHandle file_;
    ULONGLONG samples_;  // written
};
