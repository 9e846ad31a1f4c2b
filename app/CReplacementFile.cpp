#include "app/CReplacementFile.h"

#include <string.h>


namespace {

// GetLastError of a failed call, or fallback when the call left no code, so
// that a failure is never reported as success.
DWORD LastErrorOr(DWORD fallback)
{
    DWORD code = GetLastError();
    return code ? code : fallback;
}

// The target's folder, "." for a bare name: where the temporary goes.
void TargetFolder(const char* target, char* folder, int size)
{
    lstrcpynA(folder, target, size);
    char* end = folder + strlen(folder);
    while (end > folder && end[-1] != '\\' && end[-1] != '/' && end[-1] != ':')
        --end;
    *end = '\0';
    if (!folder[0])
        lstrcpyA(folder, ".");
}

} // namespace

CReplacementFile::CReplacementFile() : target_(), temp_() {}

CReplacementFile::~CReplacementFile() { Discard(); }

DWORD CReplacementFile::CheckTarget(const char* target)
{
    if (!target || !*target)
        return ERROR_INVALID_NAME;
    if (strlen(target) >= MAX_PATH)
        return ERROR_FILENAME_EXCED_RANGE;
    DWORD attributes = GetFileAttributesA(target);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return ERROR_ACCESS_DENIED;
    return 0;
}

DWORD CReplacementFile::Create(const char* target, const char* prefix)
{
    Discard();
    if (DWORD code = CheckTarget(target))
        return code;
    char folder[MAX_PATH] = {};
    TargetFolder(target, folder, sizeof folder);
    char tempName[MAX_PATH] = {};
    SetLastError(0);
    if (!GetTempFileNameA(folder, prefix, 0, tempName))
        return LastErrorOr(ERROR_PATH_NOT_FOUND);
    // GetTempFileNameA made the file: a failure from here on must delete it.
    lstrcpynA(temp_, tempName, sizeof temp_);
    return CreateAs(target, tempName);
}

DWORD CReplacementFile::CreateAs(const char* target, const char* tempName)
{
    if (DWORD code = CheckTarget(target))
        return code;
    lstrcpynA(target_, target, sizeof target_);
    lstrcpynA(temp_, tempName, sizeof temp_);
    // DELETE access: to mark it for deletion and to rename it by its handle.
    SetLastError(0);
    file_.Reset(CreateFileA(temp_, GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
    DWORD code = file_.IsValid() ? MarkForDeletion(true) : LastErrorOr(ERROR_OPEN_FAILED);
    if (code)
        Discard();
    return code;
}

void CReplacementFile::Discard()
{
    if (file_.IsValid())
        MarkForDeletion(true);
    file_.Close();
    if (temp_[0])
        DeleteFileA(temp_);  // where the mark did not take
    temp_[0] = '\0';
}

DWORD CReplacementFile::Write(const void* data, DWORD size)
{
    if (!file_.IsValid())
        return ERROR_INVALID_HANDLE;
    DWORD written = 0;
    SetLastError(0);
    if (!WriteFile(file_.Get(), data, size, &written, nullptr))
        return LastErrorOr(ERROR_WRITE_FAULT);
    return written == size ? 0 : ERROR_DISK_FULL;
}

DWORD CReplacementFile::Flush()
{
    if (!file_.IsValid())
        return ERROR_INVALID_HANDLE;
    SetLastError(0);
    if (!FlushFileBuffers(file_.Get()))
        return LastErrorOr(ERROR_WRITE_FAULT);
    return 0;
}

DWORD CReplacementFile::Replace(const std::atomic<bool>* cancel)
{
    if (!file_.IsValid())
        return ERROR_INVALID_HANDLE;
    DWORD code = 0;
    if (cancel && cancel->load())
        code = ERROR_CANCELLED;
    if (!code)
        code = MarkForDeletion(false);
    if (!code)
        code = RenameOverTarget();
    if (code) {
        Discard();
        return code;
    }
    temp_[0] = '\0';
    // Flushed and in place: a failing close loses nothing written.
    file_.Close();
    return 0;
}

// A file marked for deletion goes when its last handle closes, however the
// process ends; the mark is taken back only to rename it into place.
DWORD CReplacementFile::MarkForDeletion(bool deleted)
{
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = deleted ? TRUE : FALSE;
    SetLastError(0);
    if (!SetFileInformationByHandle(file_.Get(), FileDispositionInfo, &disposition, sizeof disposition))
        return LastErrorOr(ERROR_ACCESS_DENIED);
    return 0;
}

// By the handle, which no one else can open meanwhile. A target another
// program holds open without delete sharing is not replaced.
DWORD CReplacementFile::RenameOverTarget()
{
    WCHAR wide[MAX_PATH] = {};
    if (!MultiByteToWideChar(CP_ACP, 0, target_, -1, wide, MAX_PATH))
        return ERROR_INVALID_NAME;
    union {
        FILE_RENAME_INFO info;
        BYTE bytes[sizeof(FILE_RENAME_INFO) + MAX_PATH * sizeof(WCHAR)];
    } rename = {};
    DWORD length = GetFullPathNameW(wide, MAX_PATH, rename.info.FileName, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return ERROR_INVALID_NAME;
    rename.info.ReplaceIfExists = TRUE;
    rename.info.FileNameLength = length * sizeof(WCHAR);
    SetLastError(0);
    if (!SetFileInformationByHandle(file_.Get(), FileRenameInfo, &rename, sizeof rename))
        return LastErrorOr(ERROR_ACCESS_DENIED);
    return 0;
}
