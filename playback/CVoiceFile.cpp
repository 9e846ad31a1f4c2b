#include "playback/CVoiceFile.h"

#include <string.h>

#include "app/CommonServices.h"
#include "app/ScopedWin.h"
#include "playback/CListenerLink.h"
#include "playback/CMessageReader.h"
#include "playback/CPlaybackListener.h"
#include "playback/CVoicePlay.h"
#include "wave/VoiceFileCheck.h"
#include "wave/VoiceFormats.h"

namespace {

// Stop and the destructor wait this long for the reader to close the device
// and end; a driver call that keeps it longer does not keep the caller.
const DWORD STOP_WAIT_MS = 700;

} // namespace

HANDLE OpenWaveFile(const char* fileName, DWORD offset, DWORD* formatTag)
{
    ScopedHandle file;
    RawHeader header = {};
    DWORD dataOffset = 0;
    DWORD dataSize = 0;
    DWORD error = CheckVoiceFile(fileName, &file, &header, &dataOffset, &dataSize);
    // The tag is told once it is one of ours, even when a later check fails.
    if (formatTag && FindVoiceFormat(header.formatTag))
        *formatTag = header.formatTag;
    if (error != VOICE_ERROR_NONE || !SeekTo(file.Get(), (ULONGLONG)dataOffset + offset))
        return INVALID_HANDLE_VALUE;
    return file.Detach();
}

CVoiceFile::CVoiceFile(const char* fileName)
    : file_(INVALID_HANDLE_VALUE),
      header_(),
      engine_(std::make_shared<CVoicePlay>()),
      player_(std::make_shared<CListenerLink>(nullptr)),
      duration_(0),
      dataOffset_(0),
      lastError_(VOICE_ERROR_NONE)
{
    lstrcpynA(fileName_, fileName ? fileName : "", TEXT_SIZE);
}

CVoiceFile::~CVoiceFile()
{
    // A playback that does not end in time ends on its own thread, which
    // frees the reader and the engine when it ends; the player no longer
    // hears of it.
    Stop();
    player_->Detach();
    Close();
}

bool CVoiceFile::Open()
{
    Close();  // an earlier Open must not leak its file
    lastError_ = VOICE_ERROR_NONE;
    ZeroMemory(&header_, sizeof header_);
    duration_ = 0;

    ScopedHandle file;
    RawHeader raw = {};
    DWORD dataOffset = 0;
    DWORD dataSize = 0;
    lastError_ = CheckVoiceFile(fileName_, &file, &raw, &dataOffset, &dataSize);
    // Kept even when rejected: the caller's message shows what the file holds.
    header_.formatTag = raw.formatTag;
    header_.channels = raw.channels;
    header_.samplesPerSec = raw.samplesPerSec;
    header_.avgBytesPerSec = raw.avgBytesPerSec;
    if (lastError_ != VOICE_ERROR_NONE)
        return false;

    header_.dataSize = dataSize;
    dataOffset_ = dataOffset;
    duration_ = dataSize / FindVoiceFormat(raw.formatTag)->BytesPer40ms() * 40;
    file_ = file.Detach();
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
    if (reader_ && !reader_->HasEnded() && !reader_->IsStopping())
        return reader_->Resume();  // ends a pause; already playing otherwise
    const VoiceFormat* format = FindVoiceFormat(header_.formatTag);
    // The reader reads through its own handle: closing this object's file
    // cannot pull it away. Without an open file the playback ends at once.
    HANDLE file = INVALID_HANDLE_VALUE;
    if (file_ != INVALID_HANDLE_VALUE)
        DuplicateHandle(GetCurrentProcess(), file_, GetCurrentProcess(), &file, 0, FALSE, DUPLICATE_SAME_ACCESS);
    MessageData data = {file, header_.formatTag, header_.samplesPerSec, dataOffset_,
                        dataOffset_ + header_.dataSize, format ? format->bytesPerSec : 0};
    // A playback that is still ending is waited for by the new reader, not
    // here; its end is told before this one's, so it is not taken for it.
    reader_ = std::make_shared<CMessageReader>(engine_, player_, reader_, data);
    if (!reader_->Start()) {
        // This playback ends before it began; the player must still hear of it.
        player_->SetStopped();
        return false;
    }
    return true;
}

bool CVoiceFile::Pause() { return reader_ && reader_->Pause(); }

bool CVoiceFile::Stop()
{
    if (!reader_)
        return !engine_->IsOpen();
    reader_->RequestStop();
    // The reader closes the device as the first of its exit steps.
    return reader_->Join(STOP_WAIT_MS) && !engine_->IsOpen() && !engine_->GetUnclosedDevice();
}

void CVoiceFile::Seek(DWORD seconds)
{
    const VoiceFormat* format = FindVoiceFormat(header_.formatTag);
    ULONGLONG target = (ULONGLONG)seconds * (format ? format->bytesPerSec : 0);
    if (reader_)
        reader_->Seek(target < header_.dataSize ? (DWORD)target : header_.dataSize);
}

DWORD CVoiceFile::SetVolume(DWORD value)
{
    if (!engine_->SetVolume(value / 256))
        return 0;
    return engine_->GetVolume();
}

DWORD CVoiceFile::GetVolume() { return engine_->GetVolume(); }

// Playbacks started before keep the link they were given.
void CVoiceFile::SetPlayer(CPlaybackListener* player)
{
    player_->Detach();
    player_ = std::make_shared<CListenerLink>(player);
}
