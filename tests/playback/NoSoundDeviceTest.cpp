// Playback on a machine without a sound device. Wine reads its audio driver
// from the registry once per process, so the checks run in a child process of
// this test program started while the prefix names no driver.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "playback/CVoiceFile.h"
#include "playback/CVoicePlay.h"
#include "common/ChildProcess.h"
#include "common/RecordingListener.h"
#include "common/SoundCapture.h"
#include "common/TestUtil.h"

namespace {

const char* const CHILD_VARIABLE = "ORLENTA_NO_SOUND_CHILD";
const char* const DRIVERS_KEY = "Software\\Wine\\Drivers";
const DWORD CHILD_TIMEOUT_MS = 120000;

// Sets Wine's audio driver to none for processes started meanwhile and puts
// the old value back when it goes.
class NoAudioDriver {
public:
    NoAudioDriver() : key_(nullptr), hadValue_(false), size_(0)
    {
        if (RegCreateKeyExA(HKEY_CURRENT_USER, DRIVERS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                            nullptr) != ERROR_SUCCESS) {
            key_ = nullptr;
            return;
        }
        size_ = sizeof old_;
        hadValue_ = RegQueryValueExA(key_, "Audio", nullptr, &type_, (BYTE*)old_, &size_) == ERROR_SUCCESS;
        RegSetValueExA(key_, "Audio", 0, REG_SZ, (const BYTE*)"", 1);  // "" is Wine's "no driver"
    }
    ~NoAudioDriver()
    {
        if (!key_)
            return;
        if (hadValue_)
            RegSetValueExA(key_, "Audio", 0, type_, (const BYTE*)old_, size_);
        else
            RegDeleteValueA(key_, "Audio");
        RegCloseKey(key_);
    }
    bool Ok() const { return key_ != nullptr; }

private:
    HKEY key_;
    bool hadValue_;
    DWORD type_ = REG_SZ;
    char old_[256] = {};
    DWORD size_;
};

// Runs this program again with only this test, marked as the child.
DWORD RunChild(const char* filter)
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string command = std::string("\"") + self + "\" --gtest_color=no --gtest_filter=" + filter;
    SetEnvironmentVariableA(CHILD_VARIABLE, "1");
    ChildProcess child(nullptr, command, true);
    SetEnvironmentVariableA(CHILD_VARIABLE, nullptr);
    if (!child.Started())
        return (DWORD)-1;
    DWORD code = (DWORD)-2;
    child.Wait(CHILD_TIMEOUT_MS, &code);
    return code;
}

bool IsChild() { return !EnvPath(CHILD_VARIABLE).empty(); }

void CheckWithoutDevice()
{
    ASSERT_EQ(waveOutGetNumDevs(), 0u) << "the child still has a sound device";
    ClearCaptures();

    // The engine alone: Play fails without a crash and leaves it closed.
    CVoicePlay engine;
    EXPECT_FALSE(engine.Play(8000));
    EXPECT_FALSE(engine.IsOpen());
    EXPECT_FALSE(engine.IsPaused());
    EXPECT_TRUE(engine.Stop());
    EXPECT_TRUE(engine.SetVolume(150));
    EXPECT_EQ(engine.GetVolume(), 150u);

    // A message: the playback ends by itself and its player hears of it.
    RecordingListener listener;
    std::unique_ptr<CVoiceFile> file(
        new CVoiceFile((EnvPath("ORLENTA_FIXTURES") + "\\pcm_tone_2500ms.wav").c_str()));
    file->SetPlayer(&listener);
    file->GetEngine()->SetNotify(&listener);
    ASSERT_TRUE(file->Open());
    EXPECT_TRUE(file->Play());
    ASSERT_TRUE(WaitFor([&] { return listener.Stopped() == 1; }, 20000));
    EXPECT_FALSE(file->GetEngine()->IsOpen());
    EXPECT_EQ(listener.Steps(), 0);

    // Stop, a second playback and the end of the object still work.
    EXPECT_TRUE(file->Stop());
    EXPECT_TRUE(file->Play());
    EXPECT_TRUE(file->Stop());
    ASSERT_TRUE(WaitFor([&] { return listener.Stopped() == 2; }, 20000));
    file.reset();
    EXPECT_EQ(listener.Stopped(), 2);
    EXPECT_EQ(CaptureCount(), 0u);
}

TEST(NoSoundDevice, PlaybackEndsByItselfAndStopAndCloseStillWork)
{
    SKIP_WITHOUT_CAPTURE();
    if (IsChild()) {
        CheckWithoutDevice();
        return;
    }
    DWORD code;
    {
        NoAudioDriver noDriver;
        ASSERT_TRUE(noDriver.Ok());
        code = RunChild("NoSoundDevice.PlaybackEndsByItselfAndStopAndCloseStillWork");
    }
    EXPECT_EQ(code, 0u) << "the child's failures are in the output above";
    // The driver is back for this process's successors.
    EXPECT_GT(waveOutGetNumDevs(), 0u);
}

} // namespace
