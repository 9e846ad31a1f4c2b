#include "common/G711Reference.h"

// The sign, the three-bit segment and the four-bit step of each code, scaled
// to 16 bits.
short AlawToLinear(BYTE code)
{
    int x = code ^ 0x55;  // even bits are inverted on the line
    int segment = (x >> 4) & 7;
    int step = x & 15;
    int magnitude = segment == 0 ? 2 * step + 1 : (2 * step + 33) << (segment - 1);  // 12-bit units
    magnitude <<= 3;
    return (short)((x & 0x80) ? magnitude : -magnitude);
}

short UlawToLinear(BYTE code)
{
    int x = ~code & 0xFF;  // all bits are inverted on the line
    int segment = (x >> 4) & 7;
    int step = x & 15;
    int magnitude = ((2 * step + 33) << segment) - 33;  // 14-bit units
    magnitude <<= 2;
    return (short)((x & 0x80) ? -magnitude : magnitude);
}
