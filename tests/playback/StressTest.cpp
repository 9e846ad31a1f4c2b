// Hundreds of rapid play, pause, seek and stop commands in a row: no crash, no
// hang, no thread left behind and no growth of handles or memory.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "playback/CVoiceFile.h"
#include "playback/CVoicePlay.h"
#include "common/ProcessStats.h"
#include "common/RecordingListener.h"
#include "common/SoundCapture.h"
#include "common/TestUtil.h"

namespace {

const int COMMANDS = 400;
const int COMMANDS_PER_OBJECT = 40;

// A small deterministic generator: the same sequence on every run.
class Sequence {
public:
    explicit Sequence(unsigned seed) : state_(seed) {}
    unsigned Next(unsigned bound)
    {
        state_ = state_ * 1103515245u + 12345u;
        return (state_ >> 16) % bound;
    }

private:
    unsigned state_;
};

// Runs count random commands on messages of the fixtures, destroying and
// recreating the message object now and then, as the player dialog does.
void RunCommands(int count, unsigned seed, RecordingListener& listener)
{
    const char* names[] = {"pcm_tone_2500ms.wav", "gsm_tone_2500ms.wav", "alaw_tone_2500ms.wav",
                           "pcm_tone_300ms.wav"};
    Sequence random(seed);
    std::unique_ptr<CVoiceFile> file;
    for (int i = 0; i < count; ++i) {
        if (!file || i % COMMANDS_PER_OBJECT == 0) {
            file.reset();
            std::string path = EnvPath("ORLENTA_FIXTURES") + "\\" + names[random.Next(4)];
            file.reset(new CVoiceFile(path.c_str()));
            file->SetPlayer(&listener);
            file->GetEngine()->SetNotify(&listener);
            ASSERT_TRUE(file->Open());
        }
        switch (random.Next(6)) {
        case 0:
        case 1:
            file->Play();
            break;
        case 2:
            file->Pause();
            break;
        case 3:
            file->Seek(random.Next(4));
            break;
        case 4:
            EXPECT_TRUE(file->Stop());
            break;
        case 5:
            file->SetVolume(random.Next(256) * 256);
            break;
        }
        WatchFor(random.Next(40));
    }
    EXPECT_TRUE(file->Stop());
    file.reset();
}

TEST(PlaybackStress, RapidCommandsLeaveNothingBehind)
{
    RecordingListener listener;
    // A first round lets Wine set up what it keeps for the process.
    RunCommands(COMMANDS_PER_OBJECT, 7, listener);
    PumpMessages();
    size_t threads = CountProgramThreads();
    std::string before = DescribeThreads();
    DWORD handles = CountProcessHandles();
    SIZE_T memory = HeapBytesInUse();

    // The count sees the threads of a playback: the reader and waveOutThread.
    {
        CVoiceFile file((EnvPath("ORLENTA_FIXTURES") + "\\pcm_tone_300ms.wav").c_str());
        ASSERT_TRUE(file.Open());
        ASSERT_TRUE(file.Play());
        ASSERT_TRUE(WaitFor([&] { return file.GetEngine()->IsOpen(); }, 10000));
        EXPECT_EQ(CountProgramThreads(), threads + 2) << DescribeThreads();
        EXPECT_TRUE(file.Stop());
    }

    RunCommands(COMMANDS, 11, listener);
    ClearCaptures();

    // Every thread of a playback has ended, every handle is closed.
    EXPECT_TRUE(WaitFor([&] { return CountProgramThreads() <= threads; }, 10000))
        << CountProgramThreads() << " threads, " << threads << " before:\n" << before << "now:\n" << DescribeThreads();
    EXPECT_TRUE(WaitFor([&] { return CountProcessHandles() <= handles + 2; }, 10000))
        << CountProcessHandles() << " handles, " << handles << " before";
    // One leaked playback alone (two 16000-byte blocks and the converter's
    // buffer) would exceed this; Wine's own heap use stays the same.
    EXPECT_LT(HeapBytesInUse(), memory + 32 * 1024) << HeapBytesInUse() << " bytes, " << memory << " before";
}

} // namespace
