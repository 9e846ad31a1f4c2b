// The tone pairs of a telephone keypad (ITU-T Q.23): each key sounds one
// frequency of its row and one of its column together.
#pragma once
#include <vector>

const int DTMF_SAMPLE_RATE = 8000;
const int DTMF_TONE_MS = 100;

struct DtmfPair {
    char key;
    int lowHz;   // the key's row
    int highHz;  // the key's column
};

// The pair of a key ('0'-'9', '*', '#'), or null for any other character.
const DtmfPair* FindDtmfPair(char key);
// DTMF_TONE_MS of the key's pair as 8000 Hz 16-bit samples, both tones at the
// same level, with short ramps so that the start and end do not click; empty
// for a character without a pair.
std::vector<short> DtmfSamples(char key);
