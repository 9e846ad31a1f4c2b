#include <gtest/gtest.h>
#include "common/ModalWatcher.h"
#include "common/TestUtil.h"

TEST(Smoke, AnsiCodePageIs1251) { EXPECT_EQ(GetACP(), 1251u); }

TEST(Smoke, MessageBoxIsCaught)
{
    ModalWatcher w;
    w.Press(IDNO);
    int answer = MessageBoxA(nullptr, Ansi("Привет").c_str(), "Orlenta", MB_YESNO | MB_ICONEXCLAMATION);
    EXPECT_EQ(answer, IDNO);
    auto seen = w.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, Ansi("Привет"));
    EXPECT_EQ(seen[0].caption, "Orlenta");
    EXPECT_TRUE(seen[0].hasIcon);
    EXPECT_EQ(seen[0].buttons.size(), 2u);
}
