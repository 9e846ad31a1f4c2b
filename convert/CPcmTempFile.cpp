#include "convert/CPcmTempFile.h"

#include "app/CommonServices.h"

namespace {

const char TEMP_PREFIX[] = "orp";

} // namespace

CPcmTempFile::CPcmTempFile() : samples_(0) {}

CPcmTempFile::~CPcmTempFile() { Close(); }

DWORD CPcmTempFile::Create(const char* beside)
{
    Close();
    char folder[MAX_PATH] = {};
    GetDirPart(beside, folder, sizeof folder);
    char name[MAX_PATH] = {};
    // Makes an empty file of a name no other temporary has.
    if (!GetTempFileNameA(folder[0] ? folder : ".", TEMP_PREFIX, 0, name))
        return GetLastError();
    file_.Reset(CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_SEQUENTIAL_SCAN,
                            nullptr));
    if (!file_.IsValid()) {
        DWORD code = GetLastError();
        DeleteFileA(name);
        return code;
    }
    return 0;
}

DWORD CPcmTempFile::Write(const short* samples, DWORD count)
{
    DWORD bytes = count * sizeof(short);
    DWORD written = 0;
    if (!WriteFile(file_.Get(), samples, bytes, &written, nullptr))
        return GetLastError();
    if (written != bytes)
        return ERROR_DISK_FULL;
    samples_ += count;
    return 0;
}

DWORD CPcmTempFile::Rewind()
{
    LARGE_INTEGER start = {};
    return SetFilePointerEx(file_.Get(), start, nullptr, FILE_BEGIN) ? 0 : GetLastError();
}

DWORD CPcmTempFile::Read(short* samples, DWORD count, DWORD* read)
{
    DWORD bytes = 0;
    *read = 0;
    if (!ReadFile(file_.Get(), samples, count * sizeof(short), &bytes, nullptr))
        return GetLastError();
    *read = bytes / sizeof(short);
    return 0;
}

void CPcmTempFile::Close()
{
    file_.Reset(INVALID_HANDLE_VALUE);
    samples_ = 0;
}
