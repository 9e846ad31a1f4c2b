#include "record/CTakeFile.h"

#include <string.h>

#include "wave/VoiceFormats.h"

namespace {

const DWORD HEADER_BYTES = 44;
const WORD PCM_BITS = 16;
const WORD PCM_BLOCK = 2;

DWORD LastErrorOr(DWORD fallback)
{
    DWORD code = GetLastError();
    return code ? code : fallback;
}

void PutDword(BYTE* p, DWORD value) { memcpy(p, &value, 4); }
void PutWord(BYTE* p, WORD value) { memcpy(p, &value, 2); }

} // namespace

CTakeFile::CTakeFile() : samples_(0) { path_[0] = '\0'; }

CTakeFile::~CTakeFile()
{
    file_.Close();
    if (path_[0])
        DeleteFileA(path_);
}

DWORD CTakeFile::Reserve()
{
    char folder[MAX_PATH] = {};
    if (!GetTempPathA(sizeof folder, folder) || !GetTempFileNameA(folder, "ork", 0, path_)) {
        path_[0] = '\0';
        return LastErrorOr(ERROR_PATH_NOT_FOUND);
    }
    return 0;
}

DWORD CTakeFile::Begin()
{
    file_.Close();
    samples_ = 0;
    // Readers (the player) may share it; the recorder alone writes.
    file_.Reset(CreateFileA(path_, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!file_.IsValid())
        return LastErrorOr(ERROR_OPEN_FAILED);
    DWORD code = WriteHeader();
    if (code != 0)
        file_.Close();
    return code;
}

DWORD CTakeFile::Append(const short* samples, DWORD count)
{
    if (!file_.IsValid() || count == 0)
        return 0;
    DWORD bytes = count * PCM_BLOCK;
    DWORD written = 0;
    if (!WriteFile(file_.Get(), samples, bytes, &written, nullptr) || written != bytes)
        return LastErrorOr(ERROR_DISK_FULL);
    samples_ += count;
    return 0;
}

DWORD CTakeFile::End()
{
    if (!file_.IsValid())
        return 0;
    DWORD code = SetFilePointer(file_.Get(), 0, nullptr, FILE_BEGIN) == 0 ? WriteHeader() : LastErrorOr(ERROR_SEEK);
    if (!file_.Close() && code == 0)
        code = LastErrorOr(ERROR_WRITE_FAULT);
    return code;
}

void CTakeFile::Discard()
{
    file_.Close();
    samples_ = 0;
    // Empty, not deleted: the name stays ours.
    ScopedHandle empty(CreateFileA(path_, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr));
}

DWORD CTakeFile::WriteHeader()
{
    BYTE header[HEADER_BYTES] = {};
    const DWORD dataBytes = samples_ * PCM_BLOCK;
    memcpy(header, "RIFF", 4);
    PutDword(header + 4, HEADER_BYTES - 8 + dataBytes);
    memcpy(header + 8, "WAVEfmt ", 8);
    PutDword(header + 16, 16);
    PutWord(header + 20, WAVE_FORMAT_PCM);
    PutWord(header + 22, VOICE_CHANNELS);
    PutDword(header + 24, VOICE_SAMPLES_PER_SEC);
    PutDword(header + 28, VOICE_SAMPLES_PER_SEC * PCM_BLOCK);
    PutWord(header + 32, PCM_BLOCK);
    PutWord(header + 34, PCM_BITS);
    memcpy(header + 36, "data", 4);
    PutDword(header + 40, dataBytes);
    DWORD written = 0;
    if (!WriteFile(file_.Get(), header, sizeof header, &written, nullptr) || written != sizeof header)
        return LastErrorOr(ERROR_DISK_FULL);
    if (SetFilePointer(file_.Get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER)
        return LastErrorOr(ERROR_SEEK);
    return 0;
}
