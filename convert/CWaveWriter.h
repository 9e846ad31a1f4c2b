// Writes a greeting WAV in one of the accepted formats the way the .ivr file
// is saved: into a temporary file beside the target, every write checked,
// then renamed over the target in one step. Until Commit succeeds the target
// is untouched, and a writer that did not commit deletes its temporary.
#pragma once
#include <windows.h>

#include "app/ScopedWin.h"
#include "app/TextSize.h"

class CWaveWriter {
public:
    CWaveWriter();
    virtual ~CWaveWriter();
    CWaveWriter(const CWaveWriter&) = delete;
    CWaveWriter& operator=(const CWaveWriter&) = delete;

    // tag: one of the accepted formats at 8000 Hz mono. Answers 0 or an error
    // code; a read-only target or a folder of that name is refused at once.
    DWORD Create(const char* target, WORD tag);
    DWORD Write(const BYTE* data, DWORD size);
    // Completes the header (samples: the fact chunk's count) and replaces the target.
    DWORD Commit(DWORD samples);
    // Closes and deletes the temporary; the target stays as it was.
    void Discard();

private:
    DWORD WriteHeader(DWORD samples);

    ScopedHandle file_;
    char target_[TEXT_SIZE];
    char temp_[MAX_PATH];
    WORD tag_;
    DWORD dataBytes_;
};
