// The player of the real Orlenta.exe, driven from another process as an
// operator's clicks reach it. Each case starts the program afresh, so that the
// process's first opening of the sound device (the driver's first load) falls
// among the clicks.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "common/ChildProcess.h"
#include "common/DialogControls.h"
#include "common/ModalWatcher.h"
#include "common/ProcessDialogs.h"
#include "common/SoundCapture.h"
#include "common/TestUtil.h"
#include "player/PlayerTestSupport.h"
#include "res/resource.h"

namespace {

const int MESSAGE_TEXT_ID = 0xFFFF;  // the text of a message box

// Orlenta.exe with a greeting chosen through its file dialog and the player open.
class ProgramPlayer {
public:
    ProgramPlayer() : program_(BuiltProgramPath("Orlenta.exe")), child_(program_.c_str(), "\"" + program_ + "\"") {}

    // Closed as the operator closes it: the player, then the main window,
    // whose question about the unsaved greeting is answered "Нет".
    ~ProgramPlayer()
    {
        if (player_.Hwnd()) {
            PostMessageA(player_.Hwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            WaitFor([&] { return !IsWindow(player_.Hwnd()); });
        }
        if (main_) {
            PostMessageA(main_, WM_CLOSE, 0, 0);
            if (HWND box = WaitProcessDialog(child_.Id(), MESSAGE_TEXT_ID, main_, 5000))
                ModalWatcher::PressButton(box, IDNO);
        }
        EXPECT_TRUE(child_.Wait(10000)) << "Orlenta.exe did not end";
    }

    // "Выбрать ..." answered in its file dialog, then "Прослушать ...".
    bool Open(const std::string& greeting)
    {
        main_ = child_.Started() ? WaitProcessDialog(child_.Id(), IDC_COMMANDS) : nullptr;
        if (!main_)
            return false;
        PostMessageA(main_, WM_COMMAND, MAKEWPARAM(IDC_CHOOSE_GREETING, BN_CLICKED), 0);
        HWND files = WaitProcessDialog(child_.Id(), 1148, main_);
        if (!files)
            return false;
        ModalWatcher::TypeFileName(files, greeting);
        ModalWatcher::PressButton(files, IDOK);
        DialogControls shown(main_);
        if (!WaitFor([&] { return !shown.Text(IDC_GREETING).empty(); }))
            return false;
        PostMessageA(main_, WM_COMMAND, MAKEWPARAM(IDC_LISTEN, BN_CLICKED), 0);
        player_ = DialogControls(WaitProcessDialog(child_.Id(), IDC_VOLUME_BAR, main_));
        return player_.Hwnd() != nullptr;
    }

    // A click posted as the button's own (BM_CLICK) or as the notice it sends (WM_COMMAND).
    void Click(int id, bool asCommand)
    {
        if (asCommand)
            PostMessageA(player_.Hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)player_.Item(id));
        else
            PostMessageA(player_.Item(id), BM_CLICK, 0, 0);
    }

    std::string Caption() const { return player_.Text(IDC_PLAY_PAUSE); }
    LONG Position() const { return (LONG)SendMessageA(player_.Item(IDC_POSITION_BAR), TBM_GETPOS, 0, 0); }

private:
    std::string program_;
    ChildProcess child_;
    HWND main_ = nullptr;
    DialogControls player_;
};

// Samples other than silence in the captures from the opening `first` on.
size_t HeardFrom(size_t first)
{
    size_t heard = 0;
    std::vector<Samples> captures = ReadCaptures();
    for (size_t i = first; i < captures.size(); ++i)
        heard += NonZero(captures[i]).size();
    return heard;
}

// Each capture as "samples/not silent", for a failure.
std::string CaptureSizes()
{
    std::string sizes;
    for (const Samples& capture : ReadCaptures())
        sizes += std::to_string(capture.size()) + "/" + std::to_string(NonZero(capture).size()) + " ";
    return sizes;
}

struct ResumeCase {
    const char* name;
    bool asCommand;     // the clicks as WM_COMMAND, or as BM_CLICK
    bool playedBefore;  // a playback before, or the first opening of the process
    DWORD seconds;      // of the greeting
};

class ProgramPlayerResume : public testing::TestWithParam<ResumeCase> {};

// Two clicks on "Играть" back to back: the pause arrives before the device
// is open. Nothing sounds while it holds; the third click plays.
TEST_P(ProgramPlayerResume, PauseBeforeTheDeviceOpenedThenResumePlays)
{
    SKIP_WITHOUT_CAPTURE();
    const ResumeCase& test = GetParam();
    TempDir dir("program-player");
    std::string greeting = dir.File("greeting.wav");
    ASSERT_TRUE(WriteFileBytes(greeting, PcmMessage(test.seconds * 16000)));
    ClearCaptures();
    ProgramPlayer program;
    ASSERT_TRUE(program.Open(greeting)) << "no player of " << BuiltProgramPath("Orlenta.exe");
    if (test.playedBefore) {
        program.Click(IDC_PLAY_PAUSE, test.asCommand);
        ASSERT_TRUE(WaitFor([&] { return program.Position() > 25; })) << "the first playback did not advance";
        program.Click(IDC_STOP, test.asCommand);
        ASSERT_TRUE(WaitFor([&] { return program.Position() == 0 && program.Caption() == Ansi("Играть"); }));
    }
    size_t first = CaptureCount();

    program.Click(IDC_PLAY_PAUSE, test.asCommand);
    program.Click(IDC_PLAY_PAUSE, test.asCommand);
    WatchFor(3000);
    EXPECT_EQ(Utf8(program.Caption()), "Играть");
    EXPECT_EQ(HeardFrom(first), 0u) << "sound while paused; captures " << CaptureSizes();
    EXPECT_EQ(program.Position(), 0);

    program.Click(IDC_PLAY_PAUSE, test.asCommand);
    EXPECT_TRUE(WaitFor([&] { return program.Caption() == Ansi("Пауза"); }));
    EXPECT_TRUE(WaitFor([&] { return program.Position() > 25 && HeardFrom(first) > 0; }, 5000))
        << "nothing played after the resume: position " << program.Position() << ", captures " << CaptureSizes();
}

const ResumeCase RESUME_CASES[] = {
    {"FirstPlaybackClicks6s", false, false, 6},
    {"FirstPlaybackCommands10s", true, false, 10},
    {"LaterPlaybackClicks6s", false, true, 6},
};

INSTANTIATE_TEST_SUITE_P(Cases, ProgramPlayerResume, testing::ValuesIn(RESUME_CASES),
                         [](const testing::TestParamInfo<ResumeCase>& info) { return info.param.name; });

} // namespace
