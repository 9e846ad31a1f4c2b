#include "config/FileStamp.h"

#include "app/ScopedWin.h"

namespace {

const DWORD READ_PIECE = 8192;  // a .ivr file is a few hundred bytes

// FNV-1a, 64 bits: a change of any byte changes it with all but certainty.
const ULONGLONG HASH_START = 14695981039346656037ULL;
const ULONGLONG HASH_PRIME = 1099511628211ULL;

bool HashContent(HANDLE file, ULONGLONG* hash)
{
    BYTE piece[READ_PIECE];
    *hash = HASH_START;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, piece, READ_PIECE, &got, nullptr))
            return false;
        if (got == 0)
            return true;
        for (DWORD i = 0; i < got; ++i)
            *hash = (*hash ^ piece[i]) * HASH_PRIME;
    }
}

} // namespace

FileStamp TakeFileStamp(const char* fileName)
{
    FileStamp stamp = {};
    // Every sharing mode: a reader must not stand in the way of the others' saves.
    ScopedHandle file(CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (file.IsValid()) {
        BY_HANDLE_FILE_INFORMATION info = {};
        if (GetFileInformationByHandle(file.Get(), &info)) {
            stamp.found = true;
            stamp.size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
            stamp.lastWrite = info.ftLastWriteTime;
            stamp.contentRead = HashContent(file.Get(), &stamp.contentHash);
            return stamp;
        }
    }
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (GetFileAttributesExA(fileName, GetFileExInfoStandard, &data)) {
        stamp.found = true;
        stamp.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        stamp.lastWrite = data.ftLastWriteTime;
    }
    return stamp;
}

bool FileStampsDiffer(const FileStamp& before, const FileStamp& now)
{
    if (before.found != now.found)
        return true;
    if (!now.found)
        return false;
    if (before.size != now.size || CompareFileTime(&before.lastWrite, &now.lastWrite) != 0)
        return true;
    return before.contentRead && now.contentRead && before.contentHash != now.contentHash;
}
