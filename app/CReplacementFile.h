// The one way Orlenta saves a file: everything is written into a temporary
// beside the target, flushed, and only then renamed over the target in one
// step, so a failure at any point leaves the old file as it was. The
// temporary is marked for deletion while it is written: it goes when its
// handle closes, also when the process ends unasked, and is kept only by the
// rename. Every call answers 0 or the system's error code.
#pragma once
#include <windows.h>

#include <atomic>

#include "app/ScopedWin.h"

class CReplacementFile {
public:
    CReplacementFile();
    virtual ~CReplacementFile();
    CReplacementFile(const CReplacementFile&) = delete;
    CReplacementFile& operator=(const CReplacementFile&) = delete;

    // A read-only file or a folder at the target's name is refused
    // (ERROR_ACCESS_DENIED): the rename would replace a read-only file under
    // Wine and for an administrator.
    static DWORD CheckTarget(const char* target);

    // Makes a temporary named prefix*.tmp in the target's folder (the rename
    // stays on one volume).
    DWORD Create(const char* target, const char* prefix);
    // The same with the temporary's name given (a test points it at a full disk).
    DWORD CreateAs(const char* target, const char* tempName);

    HANDLE Handle() const { return file_.Get(); }
    bool IsOpen() const { return file_.IsValid(); }
    DWORD Write(const void* data, DWORD size);
    // Writes the temporary's contents through to the disk.
    DWORD Flush();
    // Renames the flushed temporary over the target, unless cancel (may be
    // null) is set by then: the last thing looked at before the rename.
    // Answers ERROR_CANCELLED then. On any failure the temporary is gone.
    DWORD Replace(const std::atomic<bool>* cancel = nullptr);
    // Closes and deletes the temporary; the target stays as it was.
    void Discard();

private:
    DWORD MarkForDeletion(bool deleted);
    DWORD RenameOverTarget();

    ScopedHandle file_;
    char target_[MAX_PATH];
    char temp_[MAX_PATH];
};
