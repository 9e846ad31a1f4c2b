// Playback of WAV messages through the reader thread, the converter and the
// engine, checked on what reached the captured sound device.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "playback/CVoiceFile.h"
#include "playback/CVoicePlay.h"
#include "common/RecordingListener.h"
#include "common/SoundCapture.h"
#include "common/StoppedSoundServer.h"
#include "common/TestUtil.h"
#include "bytes/WavBytes.h"

namespace {

const size_t PRIMING_SAMPLES = WAVE_BUFFER_COUNT * PRIMING_BYTES / 2;  // 512 ms
const size_t SECOND_SAMPLES = 8000;
const DWORD DEFAULT_VOLUME16 = 100 * 256;
const DWORD PLAYBACK_TIMEOUT_MS = 30000;
// At a resume: Wine's lead-in of one 10 ms period, and the part of one 20 ms
// refill heard before the pause.
const size_t MAX_RESUME_GAP = 80;
const size_t MAX_RESUME_REPEAT = REFILL_BYTES / 2;


// Decoded sound of a message fixture, as the device should receive it at
// full volume, before padding.
struct MessageFixture {
    const char* name;
    WORD tag;
    Samples decoded;
};

Samples Slice(const Samples& s, size_t from, size_t count)
{
    if (from > s.size())
        from = s.size();
    if (count > s.size() - from)
        count = s.size() - from;
    return Samples(s.begin() + from, s.begin() + from + count);
}

// The data chunk of a fixture whose layout the fixture script states.
std::string DataBytes(const char* name, size_t offset, size_t size)
{
    std::string bytes = ReadFileBytes(FixturePath(name));
    return bytes.size() >= offset + size ? bytes.substr(offset, size) : std::string();
}

Samples DecodePcm() { return ToSamples(DataBytes("pcm_tone_2500ms.wav", 44, 40000)); }

Samples DecodeG711(const char* name, short (*decode)(BYTE))
{
    Samples out;
    for (char c : DataBytes(name, 58, 20000))
        out.push_back(decode((BYTE)c));
    return out;
}

// GSM 6.10: ffmpeg's own decoder, independent of the codec under test.
Samples DecodeGsm() { return ToSamples(ReadFileBytes(FixturePath("gsm_tone_2500ms.s16le"))); }

size_t PaddedToSecond(size_t samples) { return (samples + SECOND_SAMPLES - 1) / SECOND_SAMPLES * SECOND_SAMPLES; }

// The capture of one opening of the device: priming silence, exactly the
// samples wanted, then only silence, at least up to the whole second.
void ExpectOpening(const Samples& got, const Samples& want, size_t paddedTo)
{
    ASSERT_GE(got.size(), PRIMING_SAMPLES + paddedTo);
    EXPECT_TRUE(AllZeroFrom(Slice(got, 0, PRIMING_SAMPLES), 0)) << "priming is not silent";
    EXPECT_EQ(FirstDifference(got, PRIMING_SAMPLES, want), "");
    EXPECT_TRUE(AllZeroFrom(got, PRIMING_SAMPLES + want.size())) << "sound after the message";
}

// A capture cut short by a stop or a seek: what reached the device before the
// cut is priming silence and then the start of want, and after it at most the
// silence that Wine's driver writes while the device stops.
void ExpectCutOpening(const Samples& got, const Samples& want)
{
    size_t priming = got.size() < PRIMING_SAMPLES ? got.size() : PRIMING_SAMPLES;
    EXPECT_TRUE(AllZeroFrom(Slice(got, 0, priming), 0)) << "priming is not silent";
    size_t heard = 0;
    while (PRIMING_SAMPLES + heard < got.size() && heard < want.size() && got[PRIMING_SAMPLES + heard] == want[heard])
        ++heard;
    EXPECT_TRUE(AllZeroFrom(got, PRIMING_SAMPLES + heard))
        << "after " << heard << " samples: " << FirstDifference(got, PRIMING_SAMPLES, want);
}

class Playback : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_CAPTURE();
        ClearCaptures();
    }

    std::unique_ptr<CVoiceFile> OpenMessage(const std::string& path)
    {
        std::unique_ptr<CVoiceFile> file(new CVoiceFile(path.c_str()));
        file->SetPlayer(&listener);
        file->GetEngine()->SetNotify(&listener);
        EXPECT_TRUE(file->Open()) << path << ": " << file->GetLastErrorCode();
        return file;
    }

    bool WaitStopped(LONG count = 1)
    {
        return WaitFor([&] { return listener.Stopped() >= count; }, PLAYBACK_TIMEOUT_MS);
    }
    bool WaitSteps(LONG count)
    {
        return WaitFor([&] { return listener.Steps() >= count; }, PLAYBACK_TIMEOUT_MS);
    }

    RecordingListener listener;
};

class FourFormats : public Playback, public ::testing::WithParamInterface<int> {};

TEST_P(FourFormats, MessageReachesTheDeviceExactlyAndPaddedToWholeSeconds)
{
    MessageFixture fixtures[] = {
        {"pcm_tone_2500ms.wav", 1, DecodePcm()},
        {"alaw_tone_2500ms.wav", 6, DecodeG711("alaw_tone_2500ms.wav", AlawToPcm)},
        {"ulaw_tone_2500ms.wav", 7, DecodeG711("ulaw_tone_2500ms.wav", MulawToPcm)},
        {"gsm_tone_2500ms.wav", 49, DecodeGsm()},
    };
    const MessageFixture& m = fixtures[GetParam()];
    ASSERT_FALSE(m.decoded.empty()) << m.name;

    std::unique_ptr<CVoiceFile> file = OpenMessage(FixturePath(m.name));
    ASSERT_EQ(file->GetHeader().formatTag, m.tag);
    ASSERT_TRUE(file->Play());
    ASSERT_TRUE(WaitStopped()) << m.name;
    EXPECT_FALSE(file->GetEngine()->IsOpen());
    file.reset();  // waits for the reader's end
    EXPECT_EQ(listener.Stopped(), 1);
    // Three seconds handed over, 1625 GSM bytes giving as much sound as 16000 PCM bytes.
    EXPECT_EQ(listener.Steps(), 150);

    std::vector<Samples> captures = ReadCaptures();
    ASSERT_EQ(captures.size(), 1u);
    ExpectOpening(captures[0], AtVolume(m.decoded, DEFAULT_VOLUME16), PaddedToSecond(m.decoded.size()));
}

INSTANTIATE_TEST_SUITE_P(Playback, FourFormats, ::testing::Values(0, 1, 2, 3));

TEST(G711Reference, ItuDecodersAgreeWithTheFixtureTool)
{
    // Guards the expected values above: sox decodes G.711 by the same formulas.
    EXPECT_EQ(DecodeG711("alaw_tone_2500ms.wav", AlawToPcm),
              ToSamples(ReadFileBytes(FixturePath("alaw_tone_2500ms.s16le"))));
    EXPECT_EQ(DecodeG711("ulaw_tone_2500ms.wav", MulawToPcm),
              ToSamples(ReadFileBytes(FixturePath("ulaw_tone_2500ms.s16le"))));
    EXPECT_EQ(AlawToPcm(0xD5), 8);
    EXPECT_EQ(AlawToPcm(0xAA), 32256);
    EXPECT_EQ(MulawToPcm(0x80), 32124);
    EXPECT_EQ(MulawToPcm(0x00), -32124);
}

TEST_F(Playback, ShortMessageIsOneSecondOfSoundAndSilence)
{
    std::unique_ptr<CVoiceFile> file = OpenMessage(FixturePath("pcm_tone_300ms.wav"));
    ASSERT_EQ(file->GetHeader().dataSize, 4800u);
    ASSERT_TRUE(file->Play());
    ASSERT_TRUE(WaitStopped());
    file.reset();
    EXPECT_EQ(listener.Stopped(), 1);
    EXPECT_EQ(listener.Steps(), 50);
    Samples want = ToSamples(DataBytes("pcm_tone_300ms.wav", 44, 4800));
    std::vector<Samples> captures = ReadCaptures();
    ASSERT_EQ(captures.size(), 1u);
    ExpectOpening(captures[0], AtVolume(want, DEFAULT_VOLUME16), SECOND_SAMPLES);
}

TEST_F(Playback, DataEndsAtTheDataSizeNotAtTheEndOfTheFile)
{
    // A chunk after the data is no sound.
    Samples sound(4000);
    for (size_t i = 0; i < sound.size(); ++i)
        sound[i] = (short)((i % 2 ? 1 : -1) * (1000 + (int)(i % 5000)));
    std::string noise(16000, '\x7f');
    TempDir dir("playback-trailing-chunk");
    std::string path = dir.File("trailing.wav");
    ASSERT_TRUE(WriteFileBytes(path, Wav(PcmFmt(), Chunk("data", ToBytes(sound)) + Chunk("LIST", noise))));

    std::unique_ptr<CVoiceFile> file = OpenMessage(path);
    ASSERT_EQ(file->GetHeader().dataSize, 8000u);
    ASSERT_TRUE(file->Play());
    ASSERT_TRUE(WaitStopped());
    file.reset();
    EXPECT_EQ(listener.Steps(), 50);
    std::vector<Samples> captures = ReadCaptures();
    ASSERT_EQ(captures.size(), 1u);
    ExpectOpening(captures[0], AtVolume(sound, DEFAULT_VOLUME16), SECOND_SAMPLES);
}

TEST_F(Playback, PauseHoldsThePlaybackAndResumeContinuesWhereItPaused)
{
    std::unique_ptr<CVoiceFile> file = OpenMessage(FixturePath("pcm_tone_2500ms.wav"));
    ASSERT_TRUE(file->Play());
    ASSERT_TRUE(WaitSteps(60));  // in the second second

    ASSERT_TRUE(file->Pause());
    EXPECT_TRUE(file->GetEngine()->IsPaused());
    // Refills already on their way arrive first; then nothing moves.
    LONG last = -1;
    DWORD since = GetTickCount();
    ASSERT_TRUE(WaitFor(
        [&] {
            if (listener.Steps() != last) {
                last = listener.Steps();
                since = GetTickCount();
            }
            return GetTickCount() - since >= 300;
        },
        PLAYBACK_TIMEOUT_MS));
    LONG steps = listener.Steps();
    DWORD held = file->GetEngine()->GetRingBuffer()->GetDataSize();
    WatchFor(600);
    EXPECT_EQ(listener.Steps(), steps);
    EXPECT_EQ(file->GetEngine()->GetRingBuffer()->GetDataSize(), held);
    EXPECT_EQ(listener.Stopped(), 0);

    ASSERT_TRUE(file->Play());  // resumes
    EXPECT_FALSE(file->GetEngine()->IsPaused());
    ASSERT_TRUE(WaitStopped());
    file.reset();
    EXPECT_EQ(listener.Stopped(), 1);
    EXPECT_EQ(listener.Steps(), 150);

    // Nothing lost around the pause: the sound goes on where it stopped, after
    // at most one period of Wine's lead-in silence, repeating at most what
    // was heard of the oldest buffer (one 20 ms refill).
    std::vector<Samples> captures = ReadCaptures();
    ASSERT_EQ(captures.size(), 1u);
    Samples want = AtVolume(DecodePcm(), DEFAULT_VOLUME16);
    size_t seam = 0;
    size_t repeat = 0;
    EXPECT_TRUE(AllZeroFrom(Slice(captures[0], 0, PRIMING_SAMPLES), 0));
    EXPECT_EQ(DifferenceAcrossResume(captures[0], PRIMING_SAMPLES, want, MAX_RESUME_GAP, MAX_RESUME_REPEAT, &seam,
                                     &repeat),
              "");
    EXPECT_GE(seam, 40u * REFILL_BYTES / 2 - WAVE_BUFFER_COUNT * REFILL_BYTES / 2);  // not before the pause
}

TEST_F(Playback, PlaybackStartedPausedStaysSilentUntilResumed)
{
    std::unique_ptr<CVoiceFile> file = OpenMessage(FixturePath("pcm_tone_2500ms.wav"));
    ASSERT_TRUE(file->Play());
    ASSERT_TRUE(file->Pause());  // before the reader has opened the device
    ASSERT_TRUE(WaitFor([&] { return file->GetEngine()->IsOpen(); }, PLAYBACK_TIMEOUT_MS));
    EXPECT_TRUE(file->GetEngine()->IsPaused());
    WatchFor(3000);
    EXPECT_EQ(listener.Steps(), 0);
    for (const Samples& capture : ReadCaptures())
        EXPECT_EQ(NonZero(capture).size(), 0u) << "sound while paused";

    ASSERT_TRUE(file->Play());  // resumes
    EXPECT_FALSE(file->GetEngine()->IsPaused());
    ASSERT_TRUE(WaitStopped());
    file.reset();
    EXPECT_EQ(listener.Steps(), 150);
    // The whole message, from its first sample, after the priming.
    std::vector<Samples> captures = ReadCaptures();
    ASSERT_EQ(captures.size(), 1u);
    Samples want = AtVolume(DecodePcm(), DEFAULT_VOLUME16);
    size_t start = FirstNonZero(captures[0]);
    EXPECT_GE(start, PRIMING_SAMPLES);
    EXPECT_EQ(FirstDifference(captures[0], start, want), "");
}

TEST_F(Playback, SeekIntoAListChunkAfterTheDataEndsThePlaybackWithNoneOfItsBytes)
{
    // Three seconds of sound, then a chunk of loud noise as long again.
    std::string tone = DataBytes("pcm_tone_2500ms.wav", 44, 40000);
    std::string noise(48000, '\x7f');
    TempDir dir("playback-seek-list");
    std::string path = dir.File("list-after-data.wav");
    ASSERT_TRUE(WriteFileBytes(path, Wav(PcmFmt(), Chunk("data", tone) + Chunk("LIST", noise))));

    std::unique_ptr<CVoiceFile> file = OpenMessage(path);
    ASSERT_EQ(file->GetHeader().dataSize, 40000u);
    ASSERT_TRUE(file->Play());
    ASSERT_TRUE(WaitSteps(10));
    file->Seek(4);  // inside the LIST chunk
    ASSERT_TRUE(WaitStopped());
    file.reset();
    EXPECT_EQ(listener.SeekCleared(), 1);
    std::vector<Samples> captures = ReadCaptures();
    const short loud = AtVolume((short)0x7f7f, DEFAULT_VOLUME16);
    for (const Samples& capture : captures) {
        for (size_t i = 0; i < capture.size(); ++i)
            ASSERT_NE(capture[i], loud) << "the LIST chunk reached the device at sample " << i;
    }
    EXPECT_EQ(captures.size(), 1u);  // the device did not open again
}

TEST_F(Playback, StopWhilePlayingWhilePausedAndBeforeTheDeviceOpened)
{
    std::unique_ptr<CVoiceFile> file = OpenMessage(FixturePath("pcm_tone_2500ms.wav"));
    Samples want = AtVolume(DecodePcm(), DEFAULT_VOLUME16);

    // While playing: the device is closed when Stop answers.
    ASSERT_TRUE(file->Play());
    ASSERT_TRUE(WaitSteps(20));
    EXPECT_TRUE(file->Stop());
    EXPECT_FALSE(file->GetEngine()->IsOpen());
    EXPECT_EQ(listener.Stopped(), 1) << "Stop answered before the playback had ended";
    ASSERT_TRUE(WaitStopped(1));

    // While paused.
    ASSERT_TRUE(file->Play());
    ASSERT_TRUE(WaitFor([&] { return file->GetEngine()->IsOpen(); }, PLAYBACK_TIMEOUT_MS));
    ASSERT_TRUE(file->Pause());
    EXPECT_TRUE(file->Stop());
    EXPECT_FALSE(file->GetEngine()->IsOpen());
    EXPECT_FALSE(file->GetEngine()->IsPaused());
    ASSERT_TRUE(WaitStopped(2));

    // Before the reader has opened the device: it never opens.
    size_t openings = CaptureCount();
    ASSERT_TRUE(file->Play());
    EXPECT_TRUE(file->Stop());
    ASSERT_TRUE(WaitStopped(3));
    file.reset();
    EXPECT_EQ(listener.Stopped(), 3);
    EXPECT_EQ(CaptureCount(), openings);

    // What was heard of the first playback is the start of the message.
    std::vector<Samples> captures = ReadCaptures();
    ASSERT_EQ(captures.size(), 2u);
    ExpectCutOpening(captures[0], want);
}

TEST_F(Playback, SeekForwardAndBackRestartsTheDeviceAtTheWholeSecond)
{
    std::unique_ptr<CVoiceFile> file = OpenMessage(FixturePath("pcm_tone_2500ms.wav"));
    Samples want = AtVolume(DecodePcm(), DEFAULT_VOLUME16);

    ASSERT_TRUE(file->Play());
    ASSERT_TRUE(WaitSteps(10));
    file->Seek(2);  // forward to 2 s
    ASSERT_TRUE(WaitFor([&] { return listener.SeekCleared() == 1; }, PLAYBACK_TIMEOUT_MS));
    // Back to the start while the last half second plays.
    ASSERT_TRUE(WaitFor([&] { return CaptureCount() == 2; }, PLAYBACK_TIMEOUT_MS));
    LONG before = listener.Steps();
    ASSERT_TRUE(WaitSteps(before + 5));
    file->Seek(0);
    ASSERT_TRUE(WaitStopped());
    file.reset();
    EXPECT_EQ(listener.Stopped(), 1);
    EXPECT_EQ(listener.SeekCleared(), 2);

    std::vector<Samples> captures = ReadCaptures();
    ASSERT_EQ(captures.size(), 3u);
    ExpectCutOpening(captures[0], want);
    // Second opening: from 2 s on, until the seek back.
    ExpectCutOpening(captures[1], Slice(want, 2 * SECOND_SAMPLES, want.size()));
    // Third: the whole message again.
    ExpectOpening(captures[2], want, PaddedToSecond(want.size()));
}

TEST_F(Playback, SeekBeyondTheEndEndsThePlayback)
{
    std::unique_ptr<CVoiceFile> file = OpenMessage(FixturePath("pcm_tone_2500ms.wav"));
    ASSERT_TRUE(file->Play());
    ASSERT_TRUE(WaitSteps(10));
    file->Seek(60);
    ASSERT_TRUE(WaitStopped());
    EXPECT_FALSE(file->GetEngine()->IsOpen());
    file.reset();
    EXPECT_EQ(listener.Stopped(), 1);
    EXPECT_EQ(listener.SeekCleared(), 1);
    EXPECT_EQ(CaptureCount(), 1u);  // the device did not open again
}

TEST_F(Playback, SeekWhilePausedContinuesUnpausedFromTheTarget)
{
    std::unique_ptr<CVoiceFile> file = OpenMessage(FixturePath("ulaw_tone_2500ms.wav"));
    Samples want = AtVolume(DecodeG711("ulaw_tone_2500ms.wav", MulawToPcm), DEFAULT_VOLUME16);
    ASSERT_TRUE(file->Play());
    ASSERT_TRUE(WaitSteps(10));
    ASSERT_TRUE(file->Pause());
    file->Seek(1);
    ASSERT_TRUE(WaitFor([&] { return CaptureCount() == 2; }, PLAYBACK_TIMEOUT_MS));
    EXPECT_FALSE(file->GetEngine()->IsPaused());
    ASSERT_TRUE(WaitStopped());
    file.reset();
    EXPECT_EQ(listener.Stopped(), 1);

    std::vector<Samples> captures = ReadCaptures();
    ASSERT_EQ(captures.size(), 2u);
    ExpectOpening(captures[1], Slice(want, SECOND_SAMPLES, want.size()), 2 * SECOND_SAMPLES);
}

TEST_F(Playback, VolumeIsStoredBeforeTheDeviceOpensAndAnsweredByTheDevice)
{
    std::unique_ptr<CVoiceFile> file = OpenMessage(FixturePath("pcm_tone_300ms.wav"));
    EXPECT_EQ(file->GetVolume(), 100u);
    EXPECT_EQ(file->SetVolume(200 * 256), 200u);
    EXPECT_EQ(file->GetVolume(), 200u);
    ASSERT_TRUE(file->Play());
    ASSERT_TRUE(WaitFor([&] { return file->GetEngine()->IsOpen(); }, PLAYBACK_TIMEOUT_MS));
    EXPECT_EQ(file->SetVolume(200 * 256 + 255), 200u);  // rounded down to the level
    EXPECT_EQ(file->GetVolume(), 200u);
    ASSERT_TRUE(WaitStopped());
    file.reset();
    Samples want = ToSamples(DataBytes("pcm_tone_300ms.wav", 44, 4800));
    std::vector<Samples> captures = ReadCaptures();
    ASSERT_EQ(captures.size(), 1u);
    ExpectOpening(captures[0], AtVolume(want, 200 * 256), SECOND_SAMPLES);
}

TEST_F(Playback, LastSecondIsPlayedOutBeforeTheEngineStops)
{
    // At the end of the data the engine waits until the device has handed back
    // every buffer: the last 20 ms blocks of the message reach the device.
    std::unique_ptr<CVoiceFile> file = OpenMessage(FixturePath("alaw_tone_2500ms.wav"));
    ASSERT_TRUE(file->Play());
    ASSERT_TRUE(WaitStopped());
    file.reset();
    std::vector<Samples> captures = ReadCaptures();
    ASSERT_EQ(captures.size(), 1u);
    EXPECT_GE(captures[0].size(), PRIMING_SAMPLES + 3 * SECOND_SAMPLES);
}

TEST_F(Playback, NewPlaybackWaitsForTheStoppedOneSoItsEndIsNotTakenForTheNewOne)
{
    std::unique_ptr<CVoiceFile> file = OpenMessage(FixturePath("pcm_tone_300ms.wav"));
    listener.PostOnStopped(true);  // as the dialog, the end is also a posted message
    ASSERT_TRUE(file->Play());
    ASSERT_TRUE(WaitSteps(5));
    EXPECT_TRUE(file->Stop());
    // Stop answered once the reader had ended and said so; Play at once.
    EXPECT_EQ(listener.Stopped(), 1);
    ASSERT_TRUE(file->Play());
    EXPECT_EQ(listener.Stopped(), 1);
    EXPECT_TRUE(WaitFor([&] { return listener.StoppedMessages() == 1; }));
    ASSERT_TRUE(WaitStopped(2));
    file.reset();
    EXPECT_EQ(listener.Stopped(), 2);
}

TEST_F(Playback, DestroyingWhilePlayingWaitsForTheReaderWithoutDeadlock)
{
    std::unique_ptr<CVoiceFile> file = OpenMessage(FixturePath("gsm_tone_2500ms.wav"));
    listener.PostOnStopped(true);
    ASSERT_TRUE(file->Play());
    ASSERT_TRUE(WaitSteps(5));
    file.reset();
    EXPECT_EQ(listener.Stopped(), 1);
    EXPECT_TRUE(WaitFor([&] { return listener.StoppedMessages() == 1; }));
}

// Messages whose last read holds no whole sample or GSM block: that read ends
// the data; the sound before it is padded to its whole second and no more.
struct OddEnding {
    const char* name;
    std::string fmt;
    std::string data;  // the data chunk's body, odd in size
    DWORD seconds;     // of sound handed to the device
};

TEST_F(Playback, OddSizedLastReadAddsNoSecondOfSilence)
{
    std::string pcm = DataBytes("pcm_tone_2500ms.wav", 44, 16000) + "\x01";
    std::string gsm = DataBytes("gsm_tone_2500ms.wav", 60, 62 * 65);
    gsm += gsm.substr(0, 13 * 65) + '\0';  // 75 blocks and RIFF's pad byte, counted in the size
    OddEnding endings[] = {{"odd-pcm.wav", PcmFmt(), pcm, 1}, {"odd-gsm.wav", GsmFmt(), gsm, 3}};
    TempDir dir("playback-odd-ending");
    for (const OddEnding& e : endings) {
        SCOPED_TRACE(e.name);
        ClearCaptures();
        listener.ResetSteps();
        std::string path = dir.File(e.name);
        ASSERT_TRUE(WriteFileBytes(path, Wav(e.fmt, RawChunk("data", (DWORD)e.data.size(), e.data))));
        std::unique_ptr<CVoiceFile> file = OpenMessage(path);
        EXPECT_EQ(file->GetDuration(), e.seconds * 1000);
        LONG stopped = listener.Stopped();
        ASSERT_TRUE(file->Play());
        ASSERT_TRUE(WaitStopped(stopped + 1));
        file.reset();
        EXPECT_EQ(listener.Steps(), (LONG)e.seconds * 50);
        std::vector<Samples> captures = ReadCaptures();
        ASSERT_EQ(captures.size(), 1u);
        // The sound ends within its last second, and the device is closed
        // before another second of silence could have reached it.
        size_t end = PRIMING_SAMPLES + e.seconds * SECOND_SAMPLES;
        EXPECT_TRUE(AllZeroFrom(captures[0], end));
        EXPECT_LT(FirstNonZero(Slice(captures[0], end - SECOND_SAMPLES, SECOND_SAMPLES)), SECOND_SAMPLES);
        EXPECT_LT(captures[0].size(), end + SECOND_SAMPLES) << "samples at the device: " << captures[0].size();
        if (e.fmt == PcmFmt())
            ExpectOpening(captures[0], AtVolume(ToSamples(pcm.substr(0, 16000)), DEFAULT_VOLUME16), SECOND_SAMPLES);
    }
}

TEST_F(Playback, StarvedSoundServerDelaysThePlaybackButCutsNothing)
{
    std::string pid = SoundServerPid();
    SKIP_WITHOUT_SOUND_SERVER(pid);
    std::unique_ptr<CVoiceFile> file = OpenMessage(FixturePath("pcm_tone_2500ms.wav"));
    ASSERT_TRUE(file->Play());
    ASSERT_TRUE(WaitSteps(60));
    {
        StoppedSoundServer starve(pid);
        ASSERT_TRUE(starve.Stopped()) << "pulseaudio " << pid << " did not stop";
        WatchFor(5000);
        EXPECT_EQ(listener.Stopped(), 0);
    }
    ASSERT_TRUE(WaitStopped());
    file.reset();
    EXPECT_EQ(listener.Stopped(), 1);
    EXPECT_EQ(listener.Steps(), 150);
    std::vector<Samples> captures = ReadCaptures();
    ASSERT_EQ(captures.size(), 1u);
    ExpectOpening(captures[0], AtVolume(DecodePcm(), DEFAULT_VOLUME16), 3 * SECOND_SAMPLES);
}

// A player whose SetStopped holds the reader thread until it is released.
class BlockingListener : public RecordingListener {
public:
    BlockingListener()
        : entered_(CreateEventA(nullptr, TRUE, FALSE, nullptr)), release_(CreateEventA(nullptr, TRUE, FALSE, nullptr))
    {
    }
    ~BlockingListener() override
    {
        CloseHandle(entered_);
        CloseHandle(release_);
    }
    void SetStopped() override
    {
        SetEvent(entered_);
        WaitForSingleObject(release_, 30000);
        RecordingListener::SetStopped();
    }
    bool Entered() { return WaitForSingleObject(entered_, 20000) == WAIT_OBJECT_0; }
    void Release() { SetEvent(release_); }

private:
    HANDLE entered_;
    HANDLE release_;
};

struct Destruction {
    CVoiceFile* file;
    std::atomic<bool> ended;
};

DWORD WINAPI Destroy(void* param)
{
    Destruction* d = static_cast<Destruction*>(param);
    delete d->file;
    d->ended = true;
    return 0;
}

TEST_F(Playback, DestructionWaitsForABlockedReaderToEnd)
{
    BlockingListener blocking;
    CVoiceFile* file = new CVoiceFile(FixturePath("pcm_tone_300ms.wav").c_str());
    file->SetPlayer(&blocking);
    ASSERT_TRUE(file->Open());
    ASSERT_TRUE(file->Play());  // ends by itself after 300 ms
    ASSERT_TRUE(blocking.Entered());
    // The reader is held in its last step; the object must outlive it.
    Destruction d;
    d.file = file;
    d.ended = false;
    HANDLE thread = CreateThread(nullptr, 0, Destroy, &d, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_FALSE(WaitFor([&] { return d.ended.load(); }, 1000)) << "destroyed while its reader still runs";
    blocking.Release();
    EXPECT_TRUE(WaitFor([&] { return d.ended.load(); }, 20000));
    WaitForSingleObject(thread, 20000);
    CloseHandle(thread);
    EXPECT_EQ(blocking.Stopped(), 1);
}

TEST_F(Playback, PlayRightAfterTheEndStartsANewPlayback)
{
    BlockingListener blocking;
    std::unique_ptr<CVoiceFile> file(new CVoiceFile(FixturePath("pcm_tone_300ms.wav").c_str()));
    file->SetPlayer(&blocking);
    ASSERT_TRUE(file->Open());
    ASSERT_TRUE(file->Play());  // ends by itself after 300 ms
    // The reader is held after it has told the player and before it ends.
    ASSERT_TRUE(blocking.Entered());
    ASSERT_TRUE(file->Play());
    blocking.Release();
    EXPECT_TRUE(WaitFor([&] { return blocking.Stopped() == 2; }, PLAYBACK_TIMEOUT_MS)) << "no second playback";
    file.reset();
    EXPECT_EQ(blocking.Stopped(), 2);
    EXPECT_EQ(CaptureCount(), 2u);
}

TEST_F(Playback, StalledSoundServerKeepsNoCallerAndTheEngineEndsOnItsOwn)
{
    std::string pid = SoundServerPid();
    SKIP_WITHOUT_SOUND_SERVER(pid);
    std::unique_ptr<CVoiceFile> file = OpenMessage(FixturePath("pcm_tone_2500ms.wav"));
    ASSERT_TRUE(file->Play());
    ASSERT_TRUE(WaitSteps(10));
    DWORD waveOutThread = file->GetEngine()->GetThreadId();
    std::weak_ptr<CVoicePlay> engine = file->WatchEngine();
    {
        StoppedSoundServer stall(pid);
        ASSERT_TRUE(stall.Stopped()) << "pulseaudio " << pid << " did not stop";
        // Every request answers within a second; what the driver holds waits in the engine.
        EXPECT_TRUE(ReturnsWithin(1000, [&] { EXPECT_TRUE(file->Pause()); }));
        EXPECT_TRUE(ReturnsWithin(1000, [&] { file->SetVolume(50 * 256); }));
        EXPECT_TRUE(ReturnsWithin(1000, [&] { EXPECT_FALSE(file->Stop()) << "the device closed"; }));
        EXPECT_TRUE(ReturnsWithin(1000, [&] { EXPECT_TRUE(file->Play()); }));
        EXPECT_TRUE(ReturnsWithin(1000, [&] { file.reset(); }));
        // Gone is the message, not the engine its threads still use.
        EXPECT_FALSE(engine.expired());
        EXPECT_TRUE(ThreadRuns(waveOutThread));
    }
    // The engine is freed once its threads have ended, and the player no longer hears of them.
    ASSERT_TRUE(WaitFor([&] { return engine.expired(); }, PLAYBACK_TIMEOUT_MS));
    EXPECT_TRUE(WaitFor([&] { return !ThreadRuns(waveOutThread); }));
    EXPECT_EQ(listener.Stopped(), 0);
}

TEST_F(Playback, PlayWithoutOpenFileEndsAtOnce)
{
    CVoiceFile file(FixturePath("pcm_tone_300ms.wav").c_str());
    file.SetPlayer(&listener);
    ASSERT_TRUE(file.Play());
    ASSERT_TRUE(WaitStopped());
    EXPECT_EQ(CaptureCount(), 0u);
    EXPECT_TRUE(file.Stop());
}

} // namespace
