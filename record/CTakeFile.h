// The take of the recorder: 16-bit PCM at 8000 Hz mono in a temporary WAV
// file, so that an hour costs disk, not memory. The header is completed when
// the take ends, and the file is closed then, so that the player can open it.
// Used by the recorder thread only.
#pragma once
#include <windows.h>

#include "app/ScopedWin.h"

class CTakeFile {
public:
    CTakeFile();
    // The file goes with the take.
    virtual ~CTakeFile();
    CTakeFile(const CTakeFile&) = delete;
    CTakeFile& operator=(const CTakeFile&) = delete;

    // Makes the temporary's name in the user's temporary folder. Answers 0 or
    // the system's error code.
    DWORD Reserve();
    const char* Path() const { return path_; }

    // A new, empty take (the old one is gone).
    DWORD Begin();
    DWORD Append(const short* samples, DWORD count);
    // Completes the header and closes the file.
    DWORD End();
    // Deletes the take's samples (the name stays reserved).
    void Discard();

    bool IsWriting() const { return file_.IsValid(); }
    DWORD Samples() const { return samples_; }

private:
    DWORD WriteHeader();

    char path_[MAX_PATH];
    ScopedHandle file_;
    DWORD samples_;
};
