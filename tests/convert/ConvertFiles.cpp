#include "convert/ConvertFiles.h"

#include "common/TestUtil.h"
#include "common/WavBytes.h"

std::string Fixture(const char* name) { return EnvPath("ORLENTA_FIXTURES") + "\\" + name; }

std::vector<std::string> FilesIn(const std::string& dir)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

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
