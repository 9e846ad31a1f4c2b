// The owner of an open audio compression manager driver. It lives beside the
// ACM stream rather than in app/ScopedWin.h, which needs no codec headers.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

class ScopedAcmDriver {
public:
    ScopedAcmDriver() : driver_(nullptr) {}
    ~ScopedAcmDriver() { Reset(); }
    ScopedAcmDriver(const ScopedAcmDriver&) = delete;
    ScopedAcmDriver& operator=(const ScopedAcmDriver&) = delete;

    // Opens the driver of id, letting go of one held before; the manager's result.
    MMRESULT Open(HACMDRIVERID id)
    {
        Reset();
        return acmDriverOpen(&driver_, id, 0);
    }
    void Reset()
    {
        if (driver_)
            acmDriverClose(driver_, 0);
        driver_ = nullptr;
    }
    HACMDRIVER Get() const { return driver_; }

private:
    HACMDRIVER driver_;
};
