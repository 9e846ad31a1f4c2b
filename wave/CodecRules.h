// The rules each coded format the converter decodes must keep before any
// codec sees its header or its blocks: one row per format tag. Codecs take the
// header's fields as divisors, loop bounds and table indexes; a field outside
// its format's own rules can crash the process that opened the stream, and a
// damaged block can make a codec drop everything given with it.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>

// What the decoder needs to know of a format that keeps its rules.
struct CodecTraits {
    // Frames one block of nBlockAlign bytes decodes to; 0 where frames vary
    // from block to block (MPEG audio).
    DWORD blockFrames;
    // The most frames a fact chunk's count may cut from the decoded end: the
    // padding of the last block or frame.
    DWORD paddingFrames;
    // Whether one block's own header keeps the rules; null where a block has
    // none to check.
    bool (*blockIntact)(const BYTE* block, const WAVEFORMATEX& format);
};

// Checks a coded format, WAVEFORMATEX followed by the cbSize extra bytes it
// states, against the rules of its tag. False for a tag without a row, the
// direct PCM and float tags included, and for any field outside its rules.
bool CheckCodedFormat(const WAVEFORMATEX& format, CodecTraits* traits);
