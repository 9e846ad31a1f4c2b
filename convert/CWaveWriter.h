// Writes a greeting WAV in one of the accepted formats the way every file is
// saved (CReplacementFile): until Commit succeeds the target is untouched,
// and the temporary goes with the writer or the process.
#pragma once
#include <windows.h>

#include <atomic>

#include "app/CReplacementFile.h"

class CWaveWriter {
public:
    CWaveWriter();
    virtual ~CWaveWriter();
    CWaveWriter(const CWaveWriter&) = delete;
    CWaveWriter& operator=(const CWaveWriter&) = delete;

    // tag: one of the accepted formats at 8000 Hz mono; samples: how many
    // will be written when that is known beforehand, else 0. Answers 0 or an
    // error code; a read-only target or a folder of that name is refused at
    // once, and so (ERROR_FILE_TOO_LARGE) are more samples than the 32-bit
    // sizes of a RIFF file can hold, before anything is written.
    DWORD Create(const char* target, WORD tag, ULONGLONG samples);
    DWORD Write(const BYTE* data, DWORD size);
    // Completes the header (samples: the fact chunk's count) and replaces the
    // target, unless cancel (may be null) is set by then: the last thing
    // looked at before the rename. Answers 0, ERROR_CANCELLED or an error code.
    DWORD Commit(DWORD samples, const std::atomic<bool>* cancel);
    // Closes and deletes the temporary; the target stays as it was.
    void Discard();

private:
    DWORD WriteHeader(DWORD samples);

    CReplacementFile out_;
    WORD tag_;
    DWORD dataBytes_;
};
