// Window places at the integer limits: clamped, so that edges never overflow and no surface
// is ever asked for beyond what can be had.
#include <climits>

#include "WindowFixture.h"

using WindowLimits = WindowFixture;

TEST_F(WindowLimits, CreationAndMovesNearTheIntegerLimitsAreClamped)
{
    HWND top = makeTop(INT_MAX, INT_MIN + 1, INT_MAX, INT_MAX);
    ASSERT_TRUE(top);
    RECT r{};
    ASSERT_TRUE(GetWindowRect(top, &r));
    EXPECT_EQ(r.left, kMaxWindowCoord);
    EXPECT_EQ(r.top, -kMaxWindowCoord);
    EXPECT_EQ(r.right - r.left, kMaxWindowSide);
    EXPECT_EQ(r.bottom - r.top, kMaxWindowSide);

    HWND child = makeChild(top, 10, 10, 20, 20);
    ASSERT_TRUE(child);
    ASSERT_TRUE(SetWindowPos(child, 0, INT_MAX - 5, INT_MIN, INT_MAX, -7, SWP_NOZORDER));
    ASSERT_TRUE(GetWindowRect(child, &r));
    EXPECT_EQ(r.right - r.left, kMaxWindowSide);
    EXPECT_EQ(r.bottom - r.top, 0);
    ASSERT_TRUE(MoveWindow(top, 5, 6, 70, 80, TRUE));
    ASSERT_TRUE(GetWindowRect(top, &r));
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}), (std::vector<LONG>{5, 6, 75, 86}))
        << "ordinary places are kept as asked";
}
