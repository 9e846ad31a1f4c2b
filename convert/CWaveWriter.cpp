#include "convert/CWaveWriter.h"

#include <string.h>

#include "app/CommonServices.h"
#include "wave/VoiceFormats.h"

namespace {

// The header as sox lays it out, which the player's check accepts: PCM with
// a 16-byte fmt body, G.711 with 18 bytes and GSM 6.10 with 20 (its samples
// per block), each of the compressed ones with a fact chunk of the sample count.
const DWORD CHUNK_HEADER_BYTES = 8;
const DWORD FACT_BODY_BYTES = 4;
const DWORD MAX_HEADER_BYTES = 12 + CHUNK_HEADER_BYTES + 20 + CHUNK_HEADER_BYTES + FACT_BODY_BYTES + CHUNK_HEADER_BYTES;

DWORD LastErrorOr(DWORD fallback)
{
    DWORD code = GetLastError();
    return code ? code : fallback;
}

DWORD WriteAll(HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    SetLastError(0);
    if (!WriteFile(file, data, size, &written, nullptr))
        return LastErrorOr(ERROR_WRITE_FAULT);
    return written == size ? 0 : ERROR_DISK_FULL;
}

BYTE* Put(BYTE* p, const void* data, DWORD size)
{
    memcpy(p, data, size);
    return p + size;
}

BYTE* PutChunk(BYTE* p, const char* id, DWORD size)
{
    p = Put(p, id, 4);
    return Put(p, &size, 4);
}

DWORD FmtBodyBytes(const WAVEFORMATEX& format)
{
    if (format.wFormatTag == WAVE_FORMAT_PCM)
        return 16;
    return 18 + format.cbSize;
}

// The most data bytes whose RIFF and data sizes (and a pad byte) stay 32-bit.
const ULONGLONG MAX_DATA_BYTES = MAXDWORD - MAX_HEADER_BYTES - 1;

// Bytes of that many samples in a format, a last partial block counted whole.
ULONGLONG DataBytesFor(const VoiceFormat& format, ULONGLONG samples)
{
    if (!format.samplesPerBlock)
        return samples * format.blockAlign;
    return (samples + format.samplesPerBlock - 1) / format.samplesPerBlock * format.blockAlign;
}

} // namespace

CWaveWriter::CWaveWriter() : target_(), temp_(), tag_(0), dataBytes_(0) {}

CWaveWriter::~CWaveWriter() { Discard(); }

void CWaveWriter::Discard()
{
    if (file_.IsValid())
        MarkForDeletion(true);
    file_.Close();
    if (temp_[0])
        DeleteFileA(temp_);  // where the mark did not take
    temp_[0] = '\0';
}

DWORD CWaveWriter::Create(const char* target, WORD tag, ULONGLONG samples)
{
    Discard();
    const VoiceFormat* format = FindVoiceFormat(tag);
    if (!format)
        return ERROR_INVALID_PARAMETER;
    if (DataBytesFor(*format, samples) > MAX_DATA_BYTES)
        return ERROR_FILE_TOO_LARGE;
    if (!target || !*target || strlen(target) >= MAX_PATH)
        return ERROR_INVALID_NAME;
    // The rename would replace a read-only file under Wine and for an administrator.
    DWORD attributes = GetFileAttributesA(target);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return ERROR_ACCESS_DENIED;
    lstrcpynA(target_, target, sizeof target_);
    tag_ = tag;
    dataBytes_ = 0;

    // Beside the target: the rename stays on one volume.
    char folder[TEXT_SIZE] = {};
    GetDirPart(target, folder, sizeof folder);
    if (!folder[0])
        lstrcpyA(folder, ".");
    SetLastError(0);
    if (!GetTempFileNameA(folder, "wav", 0, temp_))
        return LastErrorOr(ERROR_PATH_NOT_FOUND);
    // DELETE access: to mark it for deletion and to rename it by its handle.
    file_.Reset(
        CreateFileA(temp_, GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD code = file_.IsValid() ? MarkForDeletion(true) : LastErrorOr(ERROR_OPEN_FAILED);
    if (code == 0)
        code = WriteHeader(0);
    if (code != 0)
        Discard();
    return code;
}

// A file marked for deletion goes when its last handle closes, however the
// process ends; the mark is taken back only to rename it into place.
DWORD CWaveWriter::MarkForDeletion(bool deleted)
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
DWORD CWaveWriter::RenameOverTarget()
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

DWORD CWaveWriter::WriteHeader(DWORD samples)
{
    AcmWaveFormat format;
    FillMonoWaveFormat(&format, tag_, VOICE_SAMPLES_PER_SEC);
    const DWORD fmtBytes = FmtBodyBytes(format.format);
    const bool hasFact = tag_ != WAVE_FORMAT_PCM;
    const DWORD headerBytes = 12 + CHUNK_HEADER_BYTES + fmtBytes +
                              (hasFact ? CHUNK_HEADER_BYTES + FACT_BODY_BYTES : 0) + CHUNK_HEADER_BYTES;
    const DWORD pad = dataBytes_ & 1;

    BYTE header[MAX_HEADER_BYTES];
    BYTE* p = PutChunk(header, "RIFF", headerBytes - CHUNK_HEADER_BYTES + dataBytes_ + pad);
    p = Put(p, "WAVE", 4);
    p = PutChunk(p, "fmt ", fmtBytes);
    p = Put(p, &format, fmtBytes);
    if (hasFact) {
        p = PutChunk(p, "fact", FACT_BODY_BYTES);
        p = Put(p, &samples, FACT_BODY_BYTES);
    }
    p = PutChunk(p, "data", dataBytes_);
    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(file_.Get(), start, nullptr, FILE_BEGIN))
        return LastErrorOr(ERROR_SEEK);
    return WriteAll(file_.Get(), header, (DWORD)(p - header));
}

DWORD CWaveWriter::Write(const BYTE* data, DWORD size)
{
    if (!file_.IsValid())
        return ERROR_INVALID_HANDLE;
    // The sizes of a RIFF file are 32-bit: refuse rather than wrap round.
    if (size > MAX_DATA_BYTES - dataBytes_)
        return ERROR_FILE_TOO_LARGE;
    DWORD code = WriteAll(file_.Get(), data, size);
    if (code == 0)
        dataBytes_ += size;
    return code;
}

DWORD CWaveWriter::Commit(DWORD samples, const std::atomic<bool>* cancel)
{
    if (!file_.IsValid())
        return ERROR_INVALID_HANDLE;
    DWORD code = 0;
    if (dataBytes_ & 1) {
        LARGE_INTEGER end = {};
        const BYTE zero = 0;  // RIFF pads an odd chunk to an even length
        if (!SetFilePointerEx(file_.Get(), end, nullptr, FILE_END))
            code = LastErrorOr(ERROR_SEEK);
        if (!code)
            code = WriteAll(file_.Get(), &zero, 1);
    }
    if (!code)
        code = WriteHeader(samples);
    SetLastError(0);
    if (!code && !FlushFileBuffers(file_.Get()))
        code = LastErrorOr(ERROR_WRITE_FAULT);
    // Looked at last, right before the rename: once the operator has
    // cancelled, the old target stays as it was.
    if (!code && cancel && cancel->load())
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
