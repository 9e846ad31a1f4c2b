// The two custom-drawn track bars: the volume colour table and the pixels of
// both bars as they are painted on the real window.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "common/DialogRunner.h"
#include "common/TestUtil.h"
#include "player/PlayerTestSupport.h"
#include "res/resource.h"

namespace {

class PlayerPaint : public ::testing::Test {
protected:
    PlayerPaint() : dir("player-paint"), player(g_hInstance, &parent) {}

    void Open(DialogRunner& run)
    {
        std::string path = dir.File("ten.wav");
        ASSERT_TRUE(WriteFileBytes(path, PcmMessage(160000)));
        ASSERT_TRUE(player.SetMessageFile(path.c_str()));
        ASSERT_TRUE(run.Start(&player));
    }

    // Fill, thumb face and well of an enabled bar.
    void ExpectBar(HWND bar, COLORREF fill)
    {
        std::string why;
        EXPECT_TRUE(BarFilledWith(bar, fill, &why)) << why << " instead of " << ColorText(fill);
        BarGeometry g = MeasureBar(bar);
        ASSERT_GT(g.well.right - g.well.left, 2);
        ASSERT_GT(g.well.bottom - g.well.top, 2);
        int midY = (g.well.top + g.well.bottom) / 2;
        EXPECT_EQ(ColorText(BarPixel(bar, (g.well.left + g.well.right) / 2, midY)), ColorText(fill)) << "well";
        EXPECT_EQ(ColorText(BarPixel(bar, g.thumb.left + 3, midY)), ColorText(GetSysColor(COLOR_BTNFACE)))
            << "thumb face";
        // The sunken frame around the fill is drawn, not filled.
        EXPECT_NE(BarPixel(bar, g.frame.left, midY), fill);
    }

    TempDir dir;
    StubParent parent;
    CPlayerDialog player;
};

} // namespace

TEST_F(PlayerPaint, ColorTableRows)
{
    struct Row {
        int position, red, green, blue;
    } rows[] = {{0, 0, 230, 0},     {1, 1, 230, 0},     {2, 3, 230, 0},    {100, 150, 230, 0}, {153, 229, 230, 0},
                {154, 230, 230, 0}, {155, 230, 228, 0}, {200, 230, 161, 0}, {255, 230, 78, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.position);
        const TrackBarColor& c = player.GetColor(row.position);
        EXPECT_EQ(c.red, row.red);
        EXPECT_EQ(c.green, row.green);
        EXPECT_EQ(c.blue, row.blue);
    }
    // Red rises to the yellow at 154, then green falls; never below 0.
    for (int i = 1; i < 256; ++i) {
        EXPECT_GE(player.GetColor(i).red, player.GetColor(i - 1).red);
        EXPECT_LE(player.GetColor(i).green, player.GetColor(i - 1).green);
        EXPECT_GE(player.GetColor(i).green, 0);
    }
}

TEST_F(PlayerPaint, VolumeBarColourFollowsItsPosition)
{
    PlayerRunner run;
    ASSERT_NO_FATAL_FAILURE(Open(run));
    HWND bar = run.Item(IDC_VOLUME_BAR);
    {
        SCOPED_TRACE("initial volume 100");
        ExpectBar(bar, RGB(150, 230, 0));
    }
    const int positions[] = {0, 154, 255, 100};
    for (int position : positions) {
        SCOPED_TRACE(position);
        // The control repaints only the thumb's old and new places; the whole
        // bar is repainted as when it is uncovered.
        SendMessageA(bar, TBM_SETPOS, TRUE, position);
        InvalidateRect(bar, nullptr, FALSE);
        ExpectBar(bar, Rgb(player.GetColor(position)));
    }
    EXPECT_EQ(ColorText(Rgb(player.GetColor(154))), "(230, 230, 0)");
    EXPECT_EQ(ColorText(Rgb(player.GetColor(255))), "(230, 78, 0)");

    // Disabled: grey 190 and no thumb.
    EnableWindow(bar, FALSE);
    std::string why;
    EXPECT_TRUE(BarFilledWith(bar, RGB(190, 190, 190), &why)) << why;
    BarGeometry g = MeasureBar(bar);
    EXPECT_EQ(BarPixel(bar, g.thumb.left + 3, (g.thumb.top + g.thumb.bottom) / 2), RGB(190, 190, 190));
    EnableWindow(bar, TRUE);
    ExpectBar(bar, RGB(150, 230, 0));
}

TEST_F(PlayerPaint, VolumeColourChangesAtEveryStepOfADrag)
{
    PlayerRunner run;
    ASSERT_NO_FATAL_FAILURE(Open(run));
    HWND bar = run.Item(IDC_VOLUME_BAR);
    SendMessageA(bar, TBM_SETPOS, TRUE, 0);
    RECT client;
    GetClientRect(bar, &client);
    // One pixel at a time: about two positions per move.
    const int moves = client.right + 10;
    std::vector<int> xs(moves);
    for (int i = 0; i < moves; ++i)
        xs[i] = i;
    int checked = 0;
    bool sawYellow = false;
    DragThumb(run, IDC_VOLUME_BAR, xs.data(), moves, [&](int) {
        int position = (int)SendMessageA(bar, TBM_GETPOS, 0, 0);
        COLORREF fill = Rgb(player.GetColor(position));
        std::string why;
        EXPECT_TRUE(BarFilledWith(bar, fill, &why)) << "position " << position << ": " << why;
        BarGeometry g = MeasureBar(bar);
        EXPECT_EQ(BarPixel(bar, (g.well.left + g.well.right) / 2, (g.well.top + g.well.bottom) / 2), fill);
        sawYellow = sawYellow || (position >= 150 && position <= 158);
        ++checked;
    });
    EXPECT_EQ(checked, moves);
    EXPECT_TRUE(sawYellow);
    EXPECT_EQ(SendMessageA(bar, TBM_GETPOS, 0, 0), 255);
    // Keys repaint as well.
    PressKey(run, IDC_VOLUME_BAR, VK_PRIOR);
    int position = (int)SendMessageA(bar, TBM_GETPOS, 0, 0);
    EXPECT_LT(position, 255);
    std::string why;
    EXPECT_TRUE(BarFilledWith(bar, Rgb(player.GetColor(position)), &why)) << why;
}

TEST_F(PlayerPaint, PositionBarIsGreyWithAThumbOnlyWhilePlaying)
{
    PlayerRunner run;
    ASSERT_NO_FATAL_FAILURE(Open(run));
    HWND bar = run.Item(IDC_POSITION_BAR);
    const COLORREF grey = RGB(120, 120, 120);
    std::string why;
    // Stopped: disabled, no thumb.
    EXPECT_TRUE(BarFilledWith(bar, grey, &why)) << why;
    BarGeometry g = MeasureBar(bar);
    EXPECT_EQ(ColorText(BarPixel(bar, g.thumb.left + 3, (g.thumb.top + g.thumb.bottom) / 2)), ColorText(grey));

    run.Click(IDC_PLAY_PAUSE);
    {
        SCOPED_TRACE("playing");
        ExpectBar(bar, grey);
    }
    run.Click(IDC_PLAY_PAUSE);
    {
        SCOPED_TRACE("paused");
        SendMessageA(bar, TBM_SETPOS, TRUE, 250);
        ExpectBar(bar, grey);
    }
    run.Click(IDC_STOP);
    EXPECT_TRUE(BarFilledWith(bar, grey, &why)) << why;
}
