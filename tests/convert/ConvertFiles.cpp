#include "convert/ConvertFiles.h"

#include "bytes/FileBytes.h"
#include "bytes/WavBytes.h"

bool WriteSparseWav(const std::string& path, const std::string& fmtBody, DWORD dataSize, ULONGLONG fileSize)
{
    if (!WriteFileBytes(path, Wav(fmtBody, RawChunk("data", dataSize, ""))))
        return false;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    size.QuadPart = (LONGLONG)fileSize;
    bool grown = SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return grown;
}
