#include "audio/CVoiceFile.h"

#include <string.h>

#include "app/CommonServices.h"
#include "audio/CMessageReader.h"
#include "audio/CPlaybackListener.h"
#include "audio/CVoicePlay.h"

namespace {

// The formats the IVR system plays: 8000 samples per second, one channel.
struct VoiceFormat {
    WORD tag;
    const char* name;
    DWORD bytesPerSec;
    DWORD bytesPer40ms;
};

const VoiceFormat kVoiceFormats[] = {
    {1, "PCM", 16000, 640},
    {6, "G.711a", 8000, 320},
    {7, "G.711m", 8000, 320},
    {49, "GSM 6.10", 1625, 65},
};

const DWORD VOICE_CHANNELS = 1;
const DWORD VOICE_SAMPLES_PER_SEC = 8000;

// The header bytes read at fixed offsets: up to the average byte rate.
const DWORD HEADER_BYTES = 34;
const DWORD CHUNK_HEADER_BYTES = 8;
// The fmt body starts at 20; the chunks after it follow its body.
const ULONGLONG FMT_BODY_OFFSET = 20;
// A hostile file of many empty chunks must not keep the reader busy for long.
const int MAX_CHUNKS_BEFORE_DATA = 1024;

// Stop waits this long for the reader to close the device and end.
const DWORD STOP_TIMEOUT_MS = 10000;

const VoiceFormat* FindVoiceFormat(WORD tag)
{
    for (const VoiceFormat& f : kVoiceFormats) {
        if (f.tag == tag)
            return &f;
    }
    return nullptr;
}

WORD Word(const BYTE* p) { return (WORD)(p[0] | (p[1] << 8)); }
DWORD Dword(const BYTE* p) { return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24); }

struct RawHeader {
    DWORD fmtSize;
    WORD formatTag;
    WORD channels;
    DWORD samplesPerSec;
    DWORD avgBytesPerSec;
};

bool SeekTo(HANDLE file, ULONGLONG offset)
{
    LARGE_INTEGER to;
    to.QuadPart = (LONGLONG)offset;
    return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != FALSE;
}

// Reads the fixed header fields. A file shorter than the header has no
// complete header at all: every field reads as zero, so it is rejected with
// an empty description rather than with the half of a header it holds.
// Answers 0 or the system's error code.
DWORD ReadRawHeader(HANDLE file, RawHeader* header)
{
    BYTE bytes[HEADER_BYTES] = {};
    DWORD got = 0;
    if (!SeekTo(file, 0) || !ReadFile(file, bytes, HEADER_BYTES, &got, nullptr))
        return GetLastError();
    if (got < HEADER_BYTES)
        memset(bytes, 0, sizeof bytes);
    header->fmtSize = Dword(bytes + 16);
    header->formatTag = Word(bytes + 20);
    header->channels = Word(bytes + 22);
    header->samplesPerSec = Dword(bytes + 24);
    header->avgBytesPerSec = Dword(bytes + 28);
    return 0;
}

bool IsAcceptedRate(const RawHeader& header, const VoiceFormat& format)
{
    return header.channels == VOICE_CHANNELS && header.samplesPerSec == VOICE_SAMPLES_PER_SEC &&
           header.avgBytesPerSec == format.bytesPerSec;
}

// Walks the chunks that follow the fmt chunk until the "data" chunk. Every
// size is checked against the file's real size before it is used, and every
// step moves forward, so no header can send the walk past the end or round
// in a circle. Bodies of odd size are followed by RIFF's pad byte. On success
// the file is positioned at the first sample byte and dataSize is clamped to
// the bytes the file really holds. Answers 0 or an error code.
DWORD FindDataChunk(HANDLE file, DWORD fmtSize, DWORD* dataOffset, DWORD* dataSize)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size))
        return GetLastError();
    const ULONGLONG fileSize = (ULONGLONG)size.QuadPart;

    ULONGLONG pos = FMT_BODY_OFFSET + fmtSize + (fmtSize & 1);
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
        DWORD bodySize = Dword(bytes + 4);
        if (memcmp(bytes, "data", 4) == 0) {
            if (pos > MAXDWORD)
                return ERROR_HANDLE_EOF;
            // Offsets of the data stay 32-bit for the reader and its seeks.
            ULONGLONG held = fileSize - pos;
            if (held > MAXDWORD - pos)
                held = MAXDWORD - pos;
            *dataOffset = (DWORD)pos;
            *dataSize = bodySize < held ? bodySize : (DWORD)held;
            return SeekTo(file, pos) ? 0 : GetLastError();
        }
        pos += (ULONGLONG)bodySize + (bodySize & 1);
    }
    return ERROR_INVALID_DATA;
}

HANDLE OpenForReading(const char* fileName)
{
    return CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

HANDLE OpenWaveFile(const char* fileName, DWORD offset, DWORD* formatTag)
{
    if (!FileExists(fileName))
        return INVALID_HANDLE_VALUE;
    HANDLE file = OpenForReading(fileName);
    if (file == INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;

    RawHeader header;
    if (ReadRawHeader(file, &header) != 0) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    const VoiceFormat* format = FindVoiceFormat(header.formatTag);
    if (!format) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    if (formatTag)
        *formatTag = header.formatTag;

    DWORD dataOffset = 0;
    DWORD dataSize = 0;
    if (!IsAcceptedRate(header, *format) || FindDataChunk(file, header.fmtSize, &dataOffset, &dataSize) != 0 ||
        !SeekTo(file, (ULONGLONG)dataOffset + offset)) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

CVoiceFile::CVoiceFile(const char* fileName)
    : file_(INVALID_HANDLE_VALUE),
      header_(),
      engine_(new CVoicePlay),
      reader_(new CMessageReader(engine_.get())),
      duration_(0),
      dataOffset_(0),
      lastError_(VOICE_ERROR_NONE),
      player_(nullptr)
{
    lstrcpynA(fileName_, fileName ? fileName : "", TEXT_SIZE);
}

CVoiceFile::~CVoiceFile()
{
    // The reader of a playback uses the engine to its last step: it is joined
    // first, however long a driver call keeps it.
    reader_.reset();
    Close();
}

bool CVoiceFile::Open()
{
    Close();  // an earlier Open must not leak its file
    lastError_ = VOICE_ERROR_NONE;
    ZeroMemory(&header_, sizeof header_);
    duration_ = 0;

    if (!FileExists(fileName_)) {
        lastError_ = VOICE_ERROR_MISSING;
        return false;
    }
    HANDLE file = OpenForReading(fileName_);
    if (file == INVALID_HANDLE_VALUE) {
        lastError_ = GetLastError();
        return false;
    }

    dataOffset_ = 0;
    RawHeader raw;
    DWORD error = ReadRawHeader(file, &raw);
    if (error != 0) {
        lastError_ = error;
        CloseHandle(file);
        return false;
    }
    // Kept even when rejected: the caller's message shows what the file holds.
    header_.formatTag = raw.formatTag;
    header_.channels = raw.channels;
    header_.samplesPerSec = raw.samplesPerSec;
    header_.avgBytesPerSec = raw.avgBytesPerSec;

    const VoiceFormat* format = FindVoiceFormat(raw.formatTag);
    if (!format || !IsAcceptedRate(raw, *format)) {
        lastError_ = VOICE_ERROR_FORMAT;
        CloseHandle(file);
        return false;
    }

    DWORD dataOffset = 0;
    DWORD dataSize = 0;
    error = FindDataChunk(file, raw.fmtSize, &dataOffset, &dataSize);
    if (error != 0) {
        lastError_ = error;
        CloseHandle(file);
        return false;
    }
    header_.dataSize = dataSize;
    dataOffset_ = dataOffset;
    duration_ = dataSize / format->bytesPer40ms * 40;
    file_ = file;
    return true;
}

bool CVoiceFile::Close()
{
    // The reader thread and the interface thread may both close: only the
    // one that takes the handle closes it.
    HANDLE file = InterlockedExchangePointer(&file_, INVALID_HANDLE_VALUE);
    if (file != INVALID_HANDLE_VALUE && file != nullptr)
        CloseHandle(file);
    dataOffset_ = 0;
    return true;
}

void CVoiceFile::GetFormatName(char* text)
{
    if (!text)
        return;
    const VoiceFormat* format = FindVoiceFormat(header_.formatTag);
    lstrcpyA(text, format ? format->name : "");
}

// ---- Playback ----

bool CVoiceFile::Play()
{
    if (reader_->IsRunning() && !reader_->IsStopping())
        return reader_->Resume();  // ends a pause; already playing otherwise
    // A playback that is ending still uses the engine and tells its player when
    // it has ended: the new one waits for it, so that end is not taken for its own.
    reader_->Join(INFINITE);
    const VoiceFormat* format = FindVoiceFormat(header_.formatTag);
    // The reader reads through its own handle: closing this object's file
    // cannot pull it away. Without an open file the playback ends at once.
    HANDLE file = INVALID_HANDLE_VALUE;
    if (file_ != INVALID_HANDLE_VALUE)
        DuplicateHandle(GetCurrentProcess(), file_, GetCurrentProcess(), &file, 0, FALSE, DUPLICATE_SAME_ACCESS);
    MessageData data = {file, header_.formatTag, header_.samplesPerSec, dataOffset_,
                        dataOffset_ + header_.dataSize, format ? format->bytesPerSec : 0};
    if (!reader_->Start(data, player_)) {
        // This playback ends before it began; the player must still hear of it.
        if (player_)
            player_->SetStopped();
        return false;
    }
    return true;
}

bool CVoiceFile::Pause() { return reader_->Pause(); }

bool CVoiceFile::Stop()
{
    reader_->RequestStop();
    // The reader closes the device as the first of its exit steps.
    if (reader_->Join(STOP_TIMEOUT_MS))
        engine_->Stop();  // no reader left: a device that would not close is tried again
    return !engine_->IsOpen();
}

void CVoiceFile::Seek(DWORD seconds)
{
    const VoiceFormat* format = FindVoiceFormat(header_.formatTag);
    ULONGLONG target = (ULONGLONG)seconds * (format ? format->bytesPerSec : 0);
    reader_->Seek(target < header_.dataSize ? (DWORD)target : header_.dataSize);
}

DWORD CVoiceFile::SetVolume(DWORD value)
{
    if (!engine_->SetVolume(value / 256))
        return 0;
    return engine_->GetVolume();
}

DWORD CVoiceFile::GetVolume() { return engine_->GetVolume(); }

void CVoiceFile::SetPlayer(CPlaybackListener* player) { player_ = player; }
