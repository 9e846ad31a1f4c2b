// Builds WAV files byte by byte, for tests that need headers no tool writes.
#pragma once
#include <windows.h>
#include <string>

std::string Le16(WORD value);
std::string Le32(DWORD value);
void PutLe16(std::string* bytes, size_t at, WORD value);
void PutLe32(std::string* bytes, size_t at, DWORD value);

// A chunk: id, body size, body and RIFF's pad byte after an odd body.
std::string Chunk(const char* id, const std::string& body);
// A chunk whose stated size need not match its body; no pad byte.
std::string RawChunk(const char* id, DWORD statedSize, const std::string& body);

// fmt bodies at 8000 Hz mono: PCM 16 bytes, G.711 (tag 6 or 7) 18, GSM 6.10 20.
std::string PcmFmt();
std::string G711Fmt(WORD tag);
std::string GsmFmt();

// Coded fmt bodies with the fields the converter checks: MS ADPCM and IMA
// ADPCM at 8000 Hz mono with 256-byte blocks (500 and 505 samples per block
// are right), and ffmpeg's MPEG layer 3 fmt of 44100 Hz stereo.
std::string MsAdpcmFmt(WORD samplesPerBlock);
std::string ImaAdpcmFmt(WORD samplesPerBlock);
std::string Mp3Fmt(DWORD avgBytesPerSec);
// 16-bit samples of a sine at 8000 Hz, little-endian: the data of a PCM WAV.
std::string PcmTone(size_t samples, double hertz, int amplitude);

// "RIFF", size, "WAVE", the fmt chunk with fmtBody, then the chunks given.
std::string Wav(const std::string& fmtBody, const std::string& chunksAfterFmt);
// The same with chunks before the fmt chunk.
std::string Wav(const std::string& chunksBeforeFmt, const std::string& fmtBody, const std::string& chunksAfterFmt);
