#include "wave/WaveChunks.h"

#include <string.h>

namespace {

// The header bytes read at fixed offsets: up to the average byte rate.
const DWORD HEADER_BYTES = 34;
const DWORD CHUNK_HEADER_BYTES = 8;
// The first chunk after "RIFF", the form's size and "WAVE".
const ULONGLONG FORM_BODY_OFFSET = 12;
// A hostile file of many empty chunks must not keep the reader busy for long.
const int MAX_CHUNKS_BEFORE_DATA = 1024;

DWORD FileSize(HANDLE file, ULONGLONG* size)
{
    LARGE_INTEGER s;
    if (!GetFileSizeEx(file, &s))
        return GetLastError();
    *size = (ULONGLONG)s.QuadPart;
    return 0;
}

} // namespace

HANDLE OpenForReading(const char* fileName)
{
    return CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool SeekTo(HANDLE file, ULONGLONG offset)
{
    LARGE_INTEGER to;
    to.QuadPart = (LONGLONG)offset;
    return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != FALSE;
}

WORD LittleWord(const BYTE* p) { return (WORD)(p[0] | (p[1] << 8)); }

DWORD LittleDword(const BYTE* p)
{
    return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24);
}

// A file shorter than the header has no complete header at all: every field
// reads as zero, so it is rejected with an empty description rather than with
// the half of a header it holds.
DWORD ReadRawHeader(HANDLE file, RawHeader* header)
{
    BYTE bytes[HEADER_BYTES] = {};
    DWORD got = 0;
    if (!SeekTo(file, 0) || !ReadFile(file, bytes, HEADER_BYTES, &got, nullptr))
        return GetLastError();
    if (got < HEADER_BYTES)
        memset(bytes, 0, sizeof bytes);
    header->fmtSize = LittleDword(bytes + 16);
    header->formatTag = LittleWord(bytes + 20);
    header->channels = LittleWord(bytes + 22);
    header->samplesPerSec = LittleDword(bytes + 24);
    header->avgBytesPerSec = LittleDword(bytes + 28);
    return 0;
}

DWORD ReadFormatBody(HANDLE file, ULONGLONG offset, DWORD fmtSize, BYTE* body, DWORD capacity, DWORD* size)
{
    ULONGLONG fileSize = 0;
    DWORD error = FileSize(file, &fileSize);
    if (error != 0)
        return error;
    DWORD wanted = fmtSize < capacity ? fmtSize : capacity;
    if (offset + wanted > fileSize)
        return ERROR_HANDLE_EOF;
    DWORD got = 0;
    if (!SeekTo(file, offset) || !ReadFile(file, body, wanted, &got, nullptr))
        return GetLastError();
    if (got != wanted)
        return ERROR_HANDLE_EOF;
    *size = wanted;
    return 0;
}

namespace {

// Walks from pos to the "data" chunk, noting a "fact" chunk on the way and,
// when findFmt is set, the first "fmt " chunk, which must come before the
// data. Every step moves forward, so no header can send the walk round in a
// circle. Bodies of odd size are followed by RIFF's pad byte.
DWORD WalkToData(HANDLE file, ULONGLONG pos, bool findFmt, WaveLayout* layout)
{
    ULONGLONG fileSize = 0;
    DWORD error = FileSize(file, &fileSize);
    if (error != 0)
        return error;

    WaveDataChunk* data = &layout->data;
    data->toEnd = false;
    data->hasFact = false;
    data->factSamples = 0;
    bool fmtFound = !findFmt;
    for (int chunk = 0; chunk < MAX_CHUNKS_BEFORE_DATA; ++chunk) {
        if (pos + CHUNK_HEADER_BYTES > fileSize)
            return ERROR_HANDLE_EOF;  // the file ends before its data chunk
        BYTE bytes[CHUNK_HEADER_BYTES];
        DWORD got = 0;
        if (!SeekTo(file, pos) || !ReadFile(file, bytes, CHUNK_HEADER_BYTES, &got, nullptr))
            return GetLastError();
        if (got != CHUNK_HEADER_BYTES)
            return ERROR_HANDLE_EOF;  // shrank while we read it
        pos += CHUNK_HEADER_BYTES;
        DWORD bodySize = LittleDword(bytes + 4);
        if (memcmp(bytes, "data", 4) == 0) {
            if (!fmtFound)
                return ERROR_BAD_FORMAT;  // sound of no known format
            data->offset = pos;
            data->statedSize = bodySize;
            data->heldSize = fileSize - pos;
            return SeekTo(file, pos) ? 0 : GetLastError();
        }
        if (!fmtFound && memcmp(bytes, "fmt ", 4) == 0) {
            fmtFound = true;
            layout->fmtOffset = pos;
            layout->fmtSize = bodySize;
        }
        if (memcmp(bytes, "fact", 4) == 0 && bodySize >= sizeof(DWORD) && pos + sizeof(DWORD) <= fileSize) {
            BYTE count[sizeof(DWORD)];
            if (ReadFile(file, count, sizeof count, &got, nullptr) && got == sizeof count) {
                data->hasFact = true;
                data->factSamples = LittleDword(count);
            }
        }
        pos += (ULONGLONG)bodySize + (bodySize & 1);
    }
    return ERROR_INVALID_DATA;
}

} // namespace

DWORD FindDataChunk(HANDLE file, DWORD fmtSize, WaveDataChunk* data)
{
    WaveLayout layout = {};
    DWORD error = WalkToData(file, FMT_BODY_OFFSET + (ULONGLONG)fmtSize + (fmtSize & 1), false, &layout);
    *data = layout.data;
    return error;
}

DWORD FindWaveLayout(HANDLE file, WaveLayout* layout)
{
    DWORD error = WalkToData(file, FORM_BODY_OFFSET, true, layout);
    if (error != 0)
        return error;
    DWORD stated = layout->data.statedSize;
    layout->data.toEnd = stated == 0 || stated == MAXDWORD;
    return 0;
}

DWORD FindVoiceData(HANDLE file, DWORD fmtSize, DWORD* dataOffset, DWORD* dataSize)
{
    WaveDataChunk data;
    DWORD error = FindDataChunk(file, fmtSize, &data);
    if (error != 0)
        return error;
    // Offsets of the data stay 32-bit for the reader and its seeks.
    if (data.offset > MAXDWORD)
        return ERROR_HANDLE_EOF;
    ULONGLONG held = data.heldSize;
    if (held > MAXDWORD - data.offset)
        held = MAXDWORD - data.offset;
    *dataOffset = (DWORD)data.offset;
    *dataSize = data.statedSize < held ? data.statedSize : (DWORD)held;
    return 0;
}
