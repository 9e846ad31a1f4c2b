// Messages the player cannot play: the dialog reports them with the WAV
// rejection message and ends at once.
#include <gtest/gtest.h>

#include "playback/CVoiceFile.h"
#include "common/ModalWatcher.h"
#include "common/TestUtil.h"
#include "bytes/WavBytes.h"
#include "player/PlayerTestSupport.h"
#include "player/RejectionMessage.h"

namespace {

class PlayerRejection : public ::testing::Test {
protected:
    PlayerRejection() : dir("player-reject"), player(g_hInstance, &parent) {}

    std::string Write(const char* name, const std::string& bytes)
    {
        std::string path = dir.File(name);
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }

    // Runs the player on this thread; its only message box is answered with OK.
    SeenDialog RunRejected()
    {
        ModalWatcher watcher;
        watcher.Press(IDOK);
        EXPECT_TRUE(player.Run());
        EXPECT_TRUE(watcher.WaitAllAnswered());
        std::vector<SeenDialog> seen = watcher.Seen();
        EXPECT_EQ(seen.size(), 1u);
        return seen.empty() ? SeenDialog() : seen[0];
    }

    TempDir dir;
    StubParent parent;
    CPlayerDialog player;
};

} // namespace

TEST_F(PlayerRejection, RejectedFormatsNameTheirValues)
{
    struct Case {
        const char* file;
        std::string fmt;
        const char* compression;
        const char* rate;
        const char* byteRate;
        const char* sound;
    } cases[] = {
        {"stereo44100.wav", FmtBody(1, 2, 44100, 176400, 4, 16), "PCM", "44100", "176400", "стерео"},
        {"tag85.wav", FmtBody(85, 1, 8000, 4000, 1, 0), "некорректное значение", "8000", "4000", "моно"},
        {"rate12345.wav", FmtBody(1, 1, 12345, 24690, 2, 16), "PCM", "некорректное значение",
         "некорректное значение", "моно"},
        {"mono11025.wav", FmtBody(1, 1, 11025, 22050, 2, 16), "PCM", "11025", "22050", "моно"},
        {"tag2.wav", FmtBody(2, 1, 8000, 4096, 256, 4), "некорректное значение", "8000", "4096", "моно"},
        {"channels3.wav", FmtBody(6, 3, 8000, 24000, 3, 8), "G.711a", "8000", "24000",
         "некорректное значение"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string path = Write(c.file, Wav(c.fmt, Chunk("data", std::string(800, '\x11'))));
        // The name is taken although the file cannot be played.
        EXPECT_FALSE(player.SetMessageFile(path.c_str()));
        EXPECT_EQ(player.GetMessageFile(), path);

        SeenDialog box = RunRejected();
        EXPECT_EQ(Utf8(box.text), Utf8(FormatMessageText(path, c.compression, c.rate, c.byteRate, c.sound)));
        EXPECT_EQ(box.caption, "Orlenta");
        EXPECT_TRUE(box.hasIcon);
        EXPECT_EQ(box.buttons.size(), 1u);
        EXPECT_FALSE(player.IsPlaying());
        // The run's close took the player out of its parent's child table.
        EXPECT_FALSE(parent.Holds(&player));
    }
}

TEST_F(PlayerRejection, FileShorterThanHeaderHasNoValidValue)
{
    std::string path = Write("short.wav", std::string("RIFF\x10\0\0\0WAVEfmt ", 16) + std::string(10, '\x01'));
    player.SetMessageFile(path.c_str());
    SeenDialog box = RunRejected();
    const char* bad = "некорректное значение";
    EXPECT_EQ(Utf8(box.text), Utf8(FormatMessageText(path, bad, bad, bad, bad)));
}

TEST_F(PlayerRejection, MissingFileShowsTheSystemText)
{
    std::string path = Write("gone.wav", PcmMessage(1600));
    ASSERT_TRUE(player.SetMessageFile(path.c_str()));
    DeleteFileA(path.c_str());
    SeenDialog box = RunRejected();
    EXPECT_EQ(Utf8(box.text), Utf8(OpenErrorText(path, ERROR_FILE_NOT_FOUND)));
}

TEST_F(PlayerRejection, NoMessageFileGivenReportsAnEmptyName)
{
    EXPECT_EQ(std::string(player.GetMessageFile()), "");
    EXPECT_FALSE(player.SetMessageFile(dir.File("none.wav").c_str()));
    EXPECT_EQ(std::string(player.GetMessageFile()), "");
    SeenDialog box = RunRejected();
    EXPECT_EQ(Utf8(box.text), Utf8(OpenErrorText("", ERROR_FILE_NOT_FOUND)));
}

TEST_F(PlayerRejection, FileHeldOpenWithoutSharing)
{
    std::string path = Write("held.wav", PcmMessage(1600));
    ASSERT_TRUE(player.SetMessageFile(path.c_str()));
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    SeenDialog box = RunRejected();
    CloseHandle(held);
    EXPECT_EQ(Utf8(box.text), Utf8(OpenErrorText(path, ERROR_SHARING_VIOLATION)));
    // While held, the name is taken but the file does not pass the test.
    held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_FALSE(player.SetMessageFile(path.c_str()));
    CloseHandle(held);
    EXPECT_TRUE(player.SetMessageFile(path.c_str()));
}

TEST_F(PlayerRejection, GreetingCheckBuildsTheSameMessage)
{
    std::string path = Write("stereo.wav", Wav(FmtBody(1, 2, 8000, 32000, 4, 16), Chunk("data", std::string(64, 0))));
    CVoiceFile file(path.c_str());
    ASSERT_FALSE(file.Open());
    char text[REJECTION_MESSAGE_SIZE];
    ASSERT_TRUE(BuildRejectionMessage(g_hInstance, file, text, sizeof text));
    EXPECT_EQ(Utf8(text), Utf8(FormatMessageText(path, "PCM", "8000", "32000", "стерео")));

    // A small buffer gets a cut, terminated text.
    char small[16];
    ASSERT_TRUE(BuildRejectionMessage(g_hInstance, file, small, sizeof small));
    EXPECT_EQ(std::string(small), FormatMessageText(path, "PCM", "8000", "32000", "стерео").substr(0, 15));
}

TEST_F(PlayerRejection, PlayableFileIsAccepted)
{
    std::string path = Write("ok.wav", PcmMessage(3200));
    EXPECT_TRUE(player.SetMessageFile(path.c_str()));
    EXPECT_EQ(player.GetMessageFile(), path);
    // A name that names no file keeps the one given before.
    EXPECT_FALSE(player.SetMessageFile(dir.File("missing.wav").c_str()));
    EXPECT_EQ(player.GetMessageFile(), path);
}
