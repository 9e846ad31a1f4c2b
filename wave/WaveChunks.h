// Reading a WAV file's header and walking its chunks to the data: the one
// check behind the player's format test and the greeting converter's reader.
// Every size is checked against the file's real size before it is used, so no
// header makes a reader crash, loop or read past the end.
#pragma once
#include <windows.h>

// The fixed fields at offsets 16 to 31 of the first 34 bytes. The first 16
// bytes (RIFF and WAVE ids, the fmt id) are not examined.
struct RawHeader {
    DWORD fmtSize;
    WORD formatTag;
    WORD channels;
    DWORD samplesPerSec;
    DWORD avgBytesPerSec;
};

// Where a walk found the data chunk.
struct WaveDataChunk {
    ULONGLONG offset;    // the first sample byte
    DWORD statedSize;    // the size its header states
    ULONGLONG heldSize;  // the bytes the file really holds from offset to its end
    bool toEnd;          // its size stands for everything to the end of the file
    bool hasFact;        // a "fact" chunk came before it
    DWORD factSamples;   // its sample count: the length of compressed data
};

// The offset of the fmt chunk's body.
const DWORD FMT_BODY_OFFSET = 20;

HANDLE OpenForReading(const char* fileName);  // shared for reading; INVALID_HANDLE_VALUE on failure
bool SeekTo(HANDLE file, ULONGLONG offset);
WORD LittleWord(const BYTE* p);
DWORD LittleDword(const BYTE* p);

// Reads the fixed fields; a file shorter than 34 bytes reads as all zeros.
// Answers 0 or the system's error code.
DWORD ReadRawHeader(HANDLE file, RawHeader* header);

// Where a walk of every chunk found the fmt chunk and the data.
struct WaveLayout {
    ULONGLONG fmtOffset;  // the first byte of the fmt body
    DWORD fmtSize;        // the size its header states
    WaveDataChunk data;
};

// Reads up to capacity bytes of the fmt body at offset into body; *size
// receives how many, which is less than fmtSize when the body is larger than
// capacity. Answers 0, or an error code when the file does not hold them.
DWORD ReadFormatBody(HANDLE file, ULONGLONG offset, DWORD fmtSize, BYTE* body, DWORD capacity, DWORD* size);

// Walks the chunks after the fmt chunk at its fixed place to the "data" chunk
// and leaves the file at its first byte. Answers 0 or an error code.
DWORD FindDataChunk(HANDLE file, DWORD fmtSize, WaveDataChunk* data);

// Walks every chunk after the form type, whatever comes before the fmt chunk
// (JUNK, bext, LIST), to the "data" chunk after it, and leaves the file at
// the data's first byte. A data size of 0 or 0xFFFFFFFF (a writer that could
// not go back to fill it in) stands for everything to the end of the file.
// Answers 0 or an error code.
DWORD FindWaveLayout(HANDLE file, WaveLayout* layout);

// The same walk for the player, whose offsets and sizes are 32-bit: the data
// size is cut to what the file holds and to 4 GB.
DWORD FindVoiceData(HANDLE file, DWORD fmtSize, DWORD* dataOffset, DWORD* dataSize);
