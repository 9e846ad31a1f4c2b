// The progress window and the conversion thread's end, whatever their order.
#include <gtest/gtest.h>

#include <windows.h>

#include <mmsystem.h>
#include <mmreg.h>

#include <string>

#include "app/CommonServices.h"
#include "app/ScopedWin.h"
#include "common/DialogRunner.h"
#include "common/TestUtil.h"
#include "convert/CConversionThread.h"
#include "convert/CConvertProgressDialog.h"

namespace {

const DWORD HOLD_LIMIT_MS = 30000;

// A conversion thread held after it has told its end, before it exits: the
// moment at which a window that opens has not been told and the thread still
// runs.
class HeldAtItsEnd : public CConversionThread {
public:
    using CConversionThread::CConversionThread;
    ~HeldAtItsEnd() override
    {
        SetEvent(release_.Get());
        if (GetHandle())
            WaitForSingleObject(GetHandle(), INFINITE);
    }
    bool WaitTold() { return WaitForSingleObject(told_.Get(), HOLD_LIMIT_MS) == WAIT_OBJECT_0; }
    void Release() { SetEvent(release_.Get()); }

protected:
    void TellEnded() override
    {
        CConversionThread::TellEnded();
        SetEvent(told_.Get());
        WaitForSingleObject(release_.Get(), HOLD_LIMIT_MS);
    }

private:
    ScopedHandle told_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    ScopedHandle release_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
};

} // namespace

// The thread found no window to tell and has not exited when the window
// opens: the window must see the end by itself and close.
TEST(ConversionProgress, WindowOpenedAfterTheEndWasToldClosesByItself)
{
    TempDir dir("convert_progress");
    std::string source = FixturePath("conv_speech_8000.wav");
    HeldAtItsEnd job(source.c_str(), dir.File("out.wav").c_str(), WAVE_FORMAT_PCM);
    ASSERT_TRUE(job.Start());
    ASSERT_TRUE(job.WaitTold());
    ASSERT_EQ(WaitForSingleObject(job.GetHandle(), 0), (DWORD)WAIT_TIMEOUT) << "the thread is held";

    CConvertProgressDialog progress(g_hInstance, nullptr, &job, source.c_str());
    DialogRunner ui;
    ui.Start(&progress);  // may have closed again before it was seen
    bool closed = ui.WaitEnded(10000);
    EXPECT_TRUE(closed) << "the progress window waits for an end it was never told";
    job.Release();
    if (!closed) {
        HWND window = FindWindowA("#32770", Ansi("Преобразование сообщения").c_str());
        PostMessageA(window, WM_CONVERSION_ENDED, 0, 0);
        ui.WaitEnded(10000);
    }
    EXPECT_EQ(WaitForSingleObject(job.GetHandle(), 10000), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(job.GetResult(), 0u);
}
