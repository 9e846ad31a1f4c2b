// The wave output engine on the real waveOut device of the test environment,
// whose output is captured sample for sample (tests/common/SoundCapture.h).
#include <gtest/gtest.h>

#include <functional>
#include <string.h>

#include "playback/CVoicePlay.h"
#include "common/ImportPatch.h"
#include "common/RecordingListener.h"
#include "common/SoundCapture.h"
#include "common/TestUtil.h"

namespace {

const size_t PRIMING_SAMPLES = WAVE_BUFFER_COUNT * PRIMING_BYTES / 2;  // 512 ms
const DWORD ONE_SECOND_BYTES = 16000;
const DWORD SOUND_TIMEOUT_MS = 20000;

// A recognisable sound without zeros, even after the volume: every shifted,
// lost or doubled sample shows.
Samples Pattern(size_t count, int seed)
{
    Samples s(count);
    for (size_t i = 0; i < count; ++i) {
        int magnitude = 100 + (int)((i * 37 + seed * 101) % 20000);
        s[i] = (short)((i + seed) % 2 ? magnitude : -magnitude);
    }
    return s;
}

bool WriteSamples(CVoicePlay& engine, const Samples& samples)
{
    std::string bytes = ToBytes(samples);
    return engine.GetRingBuffer()->Write(bytes.data(), (DWORD)bytes.size()) == bytes.size();
}

// Waits until value() has kept the same value for quietMs: messages that were
// already on their way when the state changed have then arrived.
bool WaitUntilSteady(const std::function<LONG()>& value, DWORD quietMs)
{
    LONG last = value();
    DWORD since = GetTickCount();
    return WaitFor(
        [&] {
            LONG now = value();
            if (now != last) {
                last = now;
                since = GetTickCount();
            }
            return GetTickCount() - since >= quietMs;
        },
        SOUND_TIMEOUT_MS);
}

// Counts the debug-channel lines "ThreadBegin\n": OutputDebugStringA raises
// DBG_PRINTEXCEPTION_C, which vectored handlers see before anyone else.
volatile LONG g_threadBegins = 0;

LONG CALLBACK CountThreadBegin(EXCEPTION_POINTERS* info)
{
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
        const char* text = (const char*)record->ExceptionInformation[1];
        if (text && strcmp(text, "ThreadBegin\n") == 0)
            InterlockedIncrement(&g_threadBegins);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// waveOutReset and waveOutClose that fail, without doing anything, as often as asked.
LONG g_resetFailures = 0;
LONG g_closeFailures = 0;
MMRESULT(WINAPI* g_realReset)(HWAVEOUT) = nullptr;
MMRESULT(WINAPI* g_realClose)(HWAVEOUT) = nullptr;

MMRESULT WINAPI FailingReset(HWAVEOUT device)
{
    return InterlockedDecrement(&g_resetFailures) >= 0 ? MMSYSERR_ERROR : g_realReset(device);
}

MMRESULT WINAPI FailingClose(HWAVEOUT device)
{
    return InterlockedDecrement(&g_closeFailures) >= 0 ? MMSYSERR_ERROR : g_realClose(device);
}

class Engine : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_CAPTURE();
        ClearCaptures();
        engine.SetNotify(&listener);
    }

    // Plays to the end of what the ring buffer holds.
    void PlayOut()
    {
        ASSERT_TRUE(WaitFor([&] { return engine.IsPlayedOut(); }, SOUND_TIMEOUT_MS))
            << "ring " << engine.GetRingBuffer()->GetDataSize() << ", held " << engine.GetHeldBuffers();
    }

    RecordingListener listener;
    CVoicePlay engine;
};

TEST_F(Engine, ClosedEngineAnswersWithoutDevice)
{
    CVoicePlay fresh;
    EXPECT_FALSE(fresh.IsOpen());
    EXPECT_FALSE(fresh.IsPaused());
    EXPECT_EQ(fresh.GetVolume(), 100u);
    EXPECT_EQ(fresh.GetRingBuffer()->GetCapacity(), 65537u);
    EXPECT_EQ(fresh.GetRingBuffer()->GetDataSize(), 0u);

    // Stop on a closed engine answers true and touches nothing.
    EXPECT_TRUE(fresh.Stop());
    EXPECT_FALSE(fresh.IsOpen());
    EXPECT_EQ(fresh.GetVolume(), 100u);

    // Pausing needs a device.
    EXPECT_FALSE(fresh.Pause());
    EXPECT_FALSE(fresh.IsPaused());

    // The level is stored until a device opens.
    EXPECT_TRUE(fresh.SetVolume(200));
    EXPECT_EQ(fresh.GetVolume(), 200u);
    EXPECT_EQ(CaptureCount(), 0u);
}

TEST_F(Engine, PlaysPrimingSilenceThenTheRingBufferWithOneStepPerRefill)
{
    ASSERT_TRUE(engine.Play(8000));
    EXPECT_TRUE(engine.IsOpen());
    EXPECT_FALSE(engine.IsPaused());
    EXPECT_EQ(engine.GetVolume(), 100u);
    DWORD raw = 0;
    ASSERT_EQ(waveOutGetVolume(engine.GetDevice(), &raw), MMSYSERR_NOERROR);
    EXPECT_EQ(LOWORD(raw), 25600u);

    // One second: fifty refills of 320 bytes, fifty steps.
    Samples first = Pattern(ONE_SECOND_BYTES / 2, 1);
    ASSERT_TRUE(WriteSamples(engine, first));
    PlayOut();
    EXPECT_TRUE(WaitFor([&] { return listener.Steps() >= 50; }, SOUND_TIMEOUT_MS));
    ASSERT_TRUE(WaitUntilSteady([&] { return listener.Steps(); }, 200));
    EXPECT_EQ(listener.Steps(), 50);

    // The empty buffers kept circulating without steps: 640 more bytes are
    // played as soon as they arrive, in two refills.
    Samples second = Pattern(320, 2);
    ASSERT_TRUE(WriteSamples(engine, second));
    PlayOut();
    EXPECT_TRUE(WaitFor([&] { return listener.Steps() >= 52; }, SOUND_TIMEOUT_MS));
    ASSERT_TRUE(WaitUntilSteady([&] { return listener.Steps(); }, 200));
    EXPECT_EQ(listener.Steps(), 52);

    EXPECT_TRUE(engine.Stop());
    EXPECT_FALSE(engine.IsOpen());

    std::vector<Samples> captures = ReadCaptures();
    ASSERT_EQ(captures.size(), 1u);
    const Samples& got = captures[0];
    // 512 ms of silence, then the first second exactly, at the level 100 x 256.
    size_t start = FirstNonZero(got);
    EXPECT_EQ(start, PRIMING_SAMPLES);
    Samples want = AtVolume(first, 25600);
    EXPECT_EQ(FirstDifference(got, start, want), "");
    // Then silence while the ring buffer was empty, then the 320 samples.
    size_t next = FirstNonZero(got, start + want.size());
    EXPECT_EQ(FirstDifference(got, next, AtVolume(second, 25600)), "");
    EXPECT_TRUE(AllZeroFrom(got, next + second.size()));
}

TEST_F(Engine, PauseHoldsStepsAndRingBufferAndResumeContinuesWhereItPaused)
{
    ASSERT_TRUE(engine.Play(8000));
    Samples sound = Pattern(ONE_SECOND_BYTES / 2, 3);
    ASSERT_TRUE(WriteSamples(engine, sound));
    // Sixteen refills wait behind the priming: from the 26th on the sound plays.
    ASSERT_TRUE(WaitFor([&] { return listener.Steps() >= 26; }, SOUND_TIMEOUT_MS));

    ASSERT_TRUE(engine.Pause());
    EXPECT_TRUE(engine.IsPaused());
    CRingBuffer* ring = engine.GetRingBuffer();
    // Refills already under way when the device paused are let through first.
    ASSERT_TRUE(WaitUntilSteady([&] { return (LONG)ring->GetDataSize() + listener.Steps(); }, 300));
    LONG steps = listener.Steps();
    DWORD held = ring->GetDataSize();
    EXPECT_GT(held, 0u);
    EXPECT_LT(steps, 50);

    // While paused nothing drains and no step is posted.
    WatchFor(600);
    EXPECT_EQ(listener.Steps(), steps);
    EXPECT_EQ(ring->GetDataSize(), held);
    EXPECT_TRUE(engine.IsPaused());

    // Resume: the rest follows, and every refill is counted once.
    ASSERT_TRUE(engine.Play(8000));
    EXPECT_FALSE(engine.IsPaused());
    PlayOut();
    EXPECT_TRUE(WaitFor([&] { return listener.Steps() >= 50; }, SOUND_TIMEOUT_MS));
    ASSERT_TRUE(WaitUntilSteady([&] { return listener.Steps(); }, 200));
    EXPECT_EQ(listener.Steps(), 50);
    EXPECT_TRUE(engine.Stop());

    // Nothing lost around the pause: the sound goes on where it stopped, after
    // at most one period of Wine's lead-in silence, repeating at most the part
    // of the oldest buffer heard before the pause.
    std::vector<Samples> captures = ReadCaptures();
    ASSERT_EQ(captures.size(), 1u);
    EXPECT_EQ(FirstNonZero(captures[0]), PRIMING_SAMPLES);
    size_t seam = 0;
    size_t repeat = 0;
    EXPECT_EQ(DifferenceAcrossResume(captures[0], PRIMING_SAMPLES, AtVolume(sound, 25600), 80, REFILL_BYTES / 2,
                                     &seam, &repeat),
              "");
    EXPECT_LT(seam, sound.size());  // the pause came in the middle
}

TEST_F(Engine, VolumeIsStoredWithoutDeviceAndAppliedAtTheNextOpening)
{
    ASSERT_TRUE(engine.SetVolume(200));
    EXPECT_EQ(engine.GetVolume(), 200u);

    ASSERT_TRUE(engine.Play(8000));
    DWORD raw = 0;
    ASSERT_EQ(waveOutGetVolume(engine.GetDevice(), &raw), MMSYSERR_NOERROR);
    EXPECT_EQ(LOWORD(raw), 51200u);  // Wine reads back the left channel only
    EXPECT_EQ(engine.GetVolume(), 200u);

    Samples loud = Pattern(1600, 4);
    ASSERT_TRUE(WriteSamples(engine, loud));
    PlayOut();

    // Changed while open: the device answers the new level.
    ASSERT_TRUE(engine.SetVolume(100));
    EXPECT_EQ(engine.GetVolume(), 100u);
    ASSERT_EQ(waveOutGetVolume(engine.GetDevice(), &raw), MMSYSERR_NOERROR);
    EXPECT_EQ(LOWORD(raw), 25600u);
    Samples soft = Pattern(1600, 5);
    ASSERT_TRUE(WriteSamples(engine, soft));
    PlayOut();
    EXPECT_TRUE(engine.Stop());

    // Closed again: the stored level is the last one set.
    EXPECT_EQ(engine.GetVolume(), 100u);

    std::vector<Samples> captures = ReadCaptures();
    ASSERT_EQ(captures.size(), 1u);
    size_t start = FirstNonZero(captures[0]);
    EXPECT_EQ(FirstDifference(captures[0], start, AtVolume(loud, 51200)), "");
    size_t next = FirstNonZero(captures[0], start + loud.size());
    EXPECT_EQ(FirstDifference(captures[0], next, AtVolume(soft, 25600)), "");
}

TEST_F(Engine, StopEndsTheThreadEmptiesTheRingBufferAndAllowsANewOpening)
{
    ASSERT_TRUE(engine.Play(8000));
    DWORD waveOutThread = engine.GetThreadId();
    EXPECT_TRUE(ThreadRuns(waveOutThread));
    ASSERT_TRUE(WriteSamples(engine, Pattern(ONE_SECOND_BYTES / 2, 6)));
    ASSERT_TRUE(WaitFor([&] { return listener.Steps() >= 5; }, SOUND_TIMEOUT_MS));

    EXPECT_TRUE(engine.Stop());
    EXPECT_FALSE(engine.IsOpen());
    EXPECT_FALSE(engine.IsPaused());
    EXPECT_EQ(engine.GetRingBuffer()->GetDataSize(), 0u);
    EXPECT_FALSE(ThreadRuns(waveOutThread));
    EXPECT_TRUE(engine.Stop());

    // Stop while paused.
    ASSERT_TRUE(engine.Play(8000));
    ASSERT_TRUE(engine.Pause());
    EXPECT_TRUE(engine.Stop());
    EXPECT_FALSE(engine.IsPaused());
    EXPECT_FALSE(engine.IsOpen());

    // A third opening plays from the start again, after its own priming.
    listener.ResetSteps();
    ASSERT_TRUE(engine.Play(8000));
    Samples sound = Pattern(800, 7);
    ASSERT_TRUE(WriteSamples(engine, sound));
    PlayOut();
    EXPECT_TRUE(WaitFor([&] { return listener.Steps() >= 5; }, SOUND_TIMEOUT_MS));
    EXPECT_TRUE(engine.Stop());

    std::vector<Samples> captures = ReadCaptures();
    ASSERT_EQ(captures.size(), 3u);
    EXPECT_EQ(FirstNonZero(captures[2]), PRIMING_SAMPLES);
    EXPECT_EQ(FirstDifference(captures[2], PRIMING_SAMPLES, AtVolume(sound, 25600)), "");
    EXPECT_FALSE(ThreadRuns(engine.GetThreadId()));
}

TEST_F(Engine, EveryOpeningStartsAWaveOutThreadThatSaysSo)
{
    void* handler = AddVectoredExceptionHandler(1, CountThreadBegin);
    ASSERT_NE(handler, nullptr);
    g_threadBegins = 0;
    ASSERT_TRUE(engine.Play(8000));
    EXPECT_TRUE(engine.Stop());
    ASSERT_TRUE(engine.Play(8000));
    EXPECT_TRUE(engine.Stop());
    RemoveVectoredExceptionHandler(handler);
    EXPECT_EQ(g_threadBegins, 2);
}

TEST_F(Engine, WithoutNotifyObjectTheEnginePlaysAllTheSame)
{
    CVoicePlay silent;
    ASSERT_TRUE(silent.Play(8000));
    Samples sound = Pattern(1600, 8);
    ASSERT_TRUE(WriteSamples(silent, sound));
    ASSERT_TRUE(WaitFor([&] { return silent.IsPlayedOut(); }, SOUND_TIMEOUT_MS));
    EXPECT_TRUE(silent.Stop());
    EXPECT_EQ(listener.Steps(), 0);
    std::vector<Samples> captures = ReadCaptures();
    ASSERT_EQ(captures.size(), 1u);
    EXPECT_EQ(FirstDifference(captures[0], PRIMING_SAMPLES, AtVolume(sound, 25600)), "");
}

} // namespace

namespace {

struct CloseFault {
    const char* name;
    LONG* failures;
    bool closes;  // whether the first device closes all the same
};

TEST_F(Engine, DeviceThatWouldNotCloseIsClosedBeforeTheNextOpening)
{
    ImportPatch reset("winmm.dll", "waveOutReset", (void*)FailingReset);
    ImportPatch close("winmm.dll", "waveOutClose", (void*)FailingClose);
    ASSERT_TRUE(reset.Applied() && close.Applied()) << "waveOutReset and waveOutClose are not imported";
    g_realReset = (MMRESULT(WINAPI*)(HWAVEOUT))reset.Original();
    g_realClose = (MMRESULT(WINAPI*)(HWAVEOUT))close.Original();
    // A device that cannot be reset is still unprepared and closed.
    const CloseFault faults[] = {{"reset fails", &g_resetFailures, true}, {"close fails", &g_closeFailures, false}};
    for (const CloseFault& fault : faults) {
        SCOPED_TRACE(fault.name);
        ClearCaptures();
        ASSERT_TRUE(engine.Play(8000));
        HWAVEOUT first = engine.GetDevice();
        ASSERT_TRUE(WriteSamples(engine, Pattern(ONE_SECOND_BYTES / 2, 9)));
        ASSERT_TRUE(WaitFor([&] { return listener.Steps() >= 5; }, SOUND_TIMEOUT_MS));
        *fault.failures = 1;
        EXPECT_EQ(engine.Stop(), fault.closes);
        EXPECT_FALSE(engine.IsOpen());
        DWORD volume = 0;
        EXPECT_EQ(waveOutGetVolume(first, &volume) == MMSYSERR_INVALHANDLE, fault.closes);

        // The next opening closes the first device before it prepares the
        // buffers again, and plays as any opening does.
        ASSERT_TRUE(engine.Play(8000));
        EXPECT_TRUE(engine.GetDevice() == first || waveOutGetVolume(first, &volume) == MMSYSERR_INVALHANDLE)
            << "the first device is still open beside the second";
        Samples sound = Pattern(800, 10);
        ASSERT_TRUE(WriteSamples(engine, sound));
        PlayOut();
        EXPECT_TRUE(engine.Stop());
        std::vector<Samples> captures = ReadCaptures();
        ASSERT_EQ(captures.size(), 2u);
        EXPECT_EQ(FirstNonZero(captures[1]), PRIMING_SAMPLES);
        EXPECT_EQ(FirstDifference(captures[1], PRIMING_SAMPLES, AtVolume(sound, 25600)), "");
        *fault.failures = 0;
    }
}

} // namespace
