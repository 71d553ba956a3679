// X keysyms (numbers from X11/keysymdef.h) to virtual keys.
#include <gtest/gtest.h>

#include "platform/Windows.h"
#include "platform/display/x11/KeyMap.h"

TEST(KeyMap, LettersDigitsAndFunctionKeys)
{
    EXPECT_EQ(virtualKeyFromKeysym(0x61), 'A');   // a
    EXPECT_EQ(virtualKeyFromKeysym(0x7a), 'Z');   // z
    EXPECT_EQ(virtualKeyFromKeysym(0x51), 'Q');   // Q
    EXPECT_EQ(virtualKeyFromKeysym(0x30), '0');
    EXPECT_EQ(virtualKeyFromKeysym(0x39), '9');
    EXPECT_EQ(virtualKeyFromKeysym(0xffbe), VK_F1);
    EXPECT_EQ(virtualKeyFromKeysym(0xffc1), VK_F4);
    EXPECT_EQ(virtualKeyFromKeysym(0xffb0), VK_NUMPAD0);
    EXPECT_EQ(virtualKeyFromKeysym(0xffb9), VK_NUMPAD0 + 9);
}

TEST(KeyMap, EditingNavigationAndModifiers)
{
    EXPECT_EQ(virtualKeyFromKeysym(0xff1b), VK_ESCAPE);
    EXPECT_EQ(virtualKeyFromKeysym(0xff0d), VK_RETURN);
    EXPECT_EQ(virtualKeyFromKeysym(0xff8d), VK_RETURN);   // keypad Enter
    EXPECT_EQ(virtualKeyFromKeysym(0xff09), VK_TAB);
    EXPECT_EQ(virtualKeyFromKeysym(0xfe20), VK_TAB);      // shift-tab
    EXPECT_EQ(virtualKeyFromKeysym(0xff08), VK_BACK);
    EXPECT_EQ(virtualKeyFromKeysym(0x20), VK_SPACE);
    EXPECT_EQ(virtualKeyFromKeysym(0xff51), VK_LEFT);
    EXPECT_EQ(virtualKeyFromKeysym(0xff54), VK_DOWN);
    EXPECT_EQ(virtualKeyFromKeysym(0xff55), VK_PRIOR);
    EXPECT_EQ(virtualKeyFromKeysym(0xff56), VK_NEXT);
    EXPECT_EQ(virtualKeyFromKeysym(0xffff), VK_DELETE);
    EXPECT_EQ(virtualKeyFromKeysym(0xffe1), VK_SHIFT);
    EXPECT_EQ(virtualKeyFromKeysym(0xffe2), VK_SHIFT);
    EXPECT_EQ(virtualKeyFromKeysym(0xffe4), VK_CONTROL);
    EXPECT_EQ(virtualKeyFromKeysym(0xffe9), VK_MENU);
    EXPECT_EQ(virtualKeyFromKeysym(0x2b), VK_OEM_PLUS);    // plus
    EXPECT_EQ(virtualKeyFromKeysym(0x3d), VK_OEM_PLUS);    // equal, the same key unshifted
    EXPECT_EQ(virtualKeyFromKeysym(0x2d), VK_OEM_MINUS);   // minus
    EXPECT_EQ(virtualKeyFromKeysym(0xffab), VK_ADD);       // keypad plus
}

TEST(KeyMap, UnknownKeysAreZero)
{
    EXPECT_EQ(virtualKeyFromKeysym(0), 0);
    EXPECT_EQ(virtualKeyFromKeysym(0x1008ff13), 0);   // a media key
    EXPECT_EQ(virtualKeyFromKeysym(0xe9), 0);         // eacute
}
