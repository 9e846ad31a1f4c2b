#include "bytes/WavBytes.h"

#include <math.h>

std::string Le16(WORD value)
{
    std::string s(2, '\0');
    PutLe16(&s, 0, value);
    return s;
}

std::string Le32(DWORD value)
{
    std::string s(4, '\0');
    PutLe32(&s, 0, value);
    return s;
}

void PutLe16(std::string* bytes, size_t at, WORD value)
{
    (*bytes)[at] = (char)(value & 0xFF);
    (*bytes)[at + 1] = (char)(value >> 8);
}

void PutLe32(std::string* bytes, size_t at, DWORD value)
{
    for (int i = 0; i < 4; ++i)
        (*bytes)[at + i] = (char)((value >> (8 * i)) & 0xFF);
}

std::string RawChunk(const char* id, DWORD statedSize, const std::string& body)
{
    return std::string(id, 4) + Le32(statedSize) + body;
}

std::string Chunk(const char* id, const std::string& body)
{
    std::string chunk = RawChunk(id, (DWORD)body.size(), body);
    if (body.size() & 1)
        chunk += '\0';
    return chunk;
}

std::string PcmFmt() { return Le16(1) + Le16(1) + Le32(8000) + Le32(16000) + Le16(2) + Le16(16); }

std::string G711Fmt(WORD tag) { return Le16(tag) + Le16(1) + Le32(8000) + Le32(8000) + Le16(1) + Le16(8) + Le16(0); }

std::string GsmFmt() { return Le16(49) + Le16(1) + Le32(8000) + Le32(1625) + Le16(65) + Le16(0) + Le16(2) + Le16(320); }

std::string MsAdpcmFmt(WORD samplesPerBlock)
{
    std::string fmt = Le16(2) + Le16(1) + Le32(8000) + Le32(4096) + Le16(256) + Le16(4) + Le16(32) +
                      Le16(samplesPerBlock) + Le16(7);
    const short coefficients[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
    for (const auto& pair : coefficients)
        fmt += Le16((WORD)pair[0]) + Le16((WORD)pair[1]);
    return fmt;
}

std::string ImaAdpcmFmt(WORD samplesPerBlock)
{
    return Le16(0x11) + Le16(1) + Le32(8000) + Le32(4055) + Le16(256) + Le16(4) + Le16(2) + Le16(samplesPerBlock);
}

std::string Mp3Fmt(DWORD avgBytesPerSec)
{
    return Le16(0x55) + Le16(2) + Le32(44100) + Le32(avgBytesPerSec) + Le16(1152) + Le16(0) + Le16(12) + Le16(1) +
           Le32(2) + Le16(1152) + Le16(1) + Le16(1393);
}

std::string Wav(const std::string& fmtBody, const std::string& chunksAfterFmt) { return Wav("", fmtBody, chunksAfterFmt); }

std::string Wav(const std::string& chunksBeforeFmt, const std::string& fmtBody, const std::string& chunksAfterFmt)
{
    std::string body = "WAVE" + chunksBeforeFmt + Chunk("fmt ", fmtBody) + chunksAfterFmt;
    return "RIFF" + Le32((DWORD)body.size()) + body;
}

std::string PcmTone(size_t samples, double hertz, int amplitude)
{
    const double step = 2 * 3.14159265358979323846 * hertz / 8000;
    std::string bytes(samples * 2, '\0');
    for (size_t i = 0; i < samples; ++i)
        PutLe16(&bytes, 2 * i, (WORD)(short)lround(amplitude * sin(step * i)));
    return bytes;
}
