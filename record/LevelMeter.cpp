#include "record/LevelMeter.h"

#include <math.h>

#include "app/ScopedWin.h"

namespace {

const double FULL_SCALE = 32768.0;
// Peaks at or above this are drawn in the clipping colour: the fix's ceiling.
const double CLIP_ZONE_DB = -1.0;

double ToDb(double magnitude)
{
    if (magnitude <= 0.0)
        return METER_FLOOR_DB;
    double db = 20.0 * log10(magnitude / FULL_SCALE);
    return db < METER_FLOOR_DB ? METER_FLOOR_DB : db;
}

void FillBar(HDC dc, int left, int top, int right, int bottom, COLORREF color)
{
    if (right <= left)
        return;
    RECT bar = {left, top, right, bottom};
    ScopedGdiObj<HBRUSH> brush(CreateSolidBrush(color));
    FillRect(dc, &bar, brush.Get());
}

// A bar green up to the clipping zone, red within it.
void PaintBar(HDC dc, const RECT& rect, int top, int bottom, double db)
{
    const int width = rect.right - rect.left;
    const int clipX = rect.left + MeterX(CLIP_ZONE_DB, width);
    const int x = rect.left + MeterX(db, width);
    FillBar(dc, rect.left, top, x < clipX ? x : clipX, bottom, RGB(40, 170, 60));
    FillBar(dc, clipX, top, x, bottom, RGB(220, 30, 30));
}

} // namespace

SignalLevel MeasureLevel(const short* samples, size_t count)
{
    int peak = 0;
    double squares = 0.0;
    for (size_t i = 0; i < count; ++i) {
        int magnitude = samples[i] < 0 ? -samples[i] : samples[i];
        if (magnitude > peak)
            peak = magnitude;
        squares += (double)samples[i] * samples[i];
    }
    SignalLevel level;
    level.peakDb = ToDb(peak);
    level.rmsDb = count ? ToDb(sqrt(squares / count)) : METER_FLOOR_DB;
    return level;
}

int MeterX(double db, int width)
{
    if (db <= METER_FLOOR_DB)
        return 0;
    if (db >= 0.0)
        return width;
    return (int)lround((db - METER_FLOOR_DB) / -METER_FLOOR_DB * width);
}

void PaintLevelMeter(HDC dc, const RECT& rect, const SignalLevel& level, double targetDb)
{
    FillRect(dc, &rect, (HBRUSH)GetStockObject(BLACK_BRUSH));
    const int middle = (rect.top + rect.bottom) / 2;
    PaintBar(dc, rect, rect.top + 1, middle - 1, level.peakDb);
    PaintBar(dc, rect, middle + 1, rect.bottom - 1, level.rmsDb);
    const int width = rect.right - rect.left;
    // The target level: a white mark across both bars.
    const int targetX = rect.left + MeterX(targetDb, width);
    FillBar(dc, targetX - 1, rect.top, targetX + 1, rect.bottom, RGB(255, 255, 255));
    // The clipping zone: a red strip along the top and bottom edges.
    const int clipX = rect.left + MeterX(CLIP_ZONE_DB, width);
    FillBar(dc, clipX, rect.top, rect.right, rect.top + 2, RGB(255, 60, 60));
    FillBar(dc, clipX, rect.bottom - 2, rect.right, rect.bottom, RGB(255, 60, 60));
}
