// The recorder's level meter: the peak and RMS of a piece of sound in dB
// against full scale, and their drawing as two bars on a scale from -60 dB
// to 0 dB with the marks of the greeting's target level and of clipping.
#pragma once
#include <windows.h>

#include <stddef.h>

// What the meter shows for digital silence and below.
const double METER_FLOOR_DB = -60.0;

struct SignalLevel {
    double peakDb;  // largest magnitude, dBFS (0 dBFS is 32768)
    double rmsDb;   // RMS, dB on the same scale (dBov: a full-scale sine is -3)
};

// The level of count samples (interleaved channels count alike).
SignalLevel MeasureLevel(const short* samples, size_t count);

// The x of a level on a meter width pixels wide (the floor at 0, 0 dB at width).
int MeterX(double db, int width);

// Draws the meter into an owner-drawn static's rectangle: the peak bar above,
// the RMS bar below, a mark at targetDb and the clipping zone at the right.
void PaintLevelMeter(HDC dc, const RECT& rect, const SignalLevel& level, double targetDb);
