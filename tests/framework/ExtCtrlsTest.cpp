#include "tests/framework/ControlsFixture.h"

#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"

namespace {

class ExtCtrlsTest : public ControlsFixture
{
protected:
    static COLORREF sys(int index) { return GetSysColor(index); }
    static bool dark(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 96; }
    static int darkPixels(const Screenshot& shot, const TRect& r)
    {
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                n += dark(shot.at(x, y));
        return n;
    }
};

TEST_F(ExtCtrlsTest, ScreenshotShowsBevelsCaptionsAndButtonEdges)
{
    auto form = shownForm();
    form->SetBounds(0, 0, 400, 300);
    form->SetColor(clBtnFace);

    auto* panel = new TPanel(form.get());
    panel->SetBounds(10, 10, 200, 100);
    panel->SetBevelInner(bvLowered);
    panel->SetBevelWidth(2);
    panel->SetBorderWidth(3);
    panel->SetCaption("");
    panel->SetParent(form.get());

    auto* label = new TLabel(form.get());
    label->SetBounds(20, 130, 0, 0);
    label->SetCaption("Recording");
    label->SetParent(form.get());

    auto* button = new TButton(form.get());
    button->SetBounds(250, 200, 75, 25);
    button->SetCaption("Stop");
    button->SetParent(form.get());

    auto* framed = new TStaticText(form.get());
    framed->SetBounds(250, 20, 0, 0);
    framed->SetBorderStyle(sbsSunken);
    framed->SetCaption("00:00");
    framed->SetParent(form.get());
    pump();

    Screenshot shot = display->screenshot(form->Handle());
    ASSERT_EQ(shot.width, 400);
    // Outer raised bevel, 2 pixels: highlight top-left, shadow bottom-right.
    EXPECT_EQ(shot.at(10, 50), sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(shot.at(11, 50), sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(shot.at(100, 10), sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(shot.at(209, 50), sys(COLOR_BTNSHADOW));
    EXPECT_EQ(shot.at(100, 109), sys(COLOR_BTNSHADOW));
    // Then 3 pixels of border in the face colour, then the lowered inner bevel.
    EXPECT_EQ(shot.at(13, 50), sys(COLOR_BTNFACE));
    EXPECT_EQ(shot.at(15, 50), sys(COLOR_BTNSHADOW));
    EXPECT_EQ(shot.at(16, 50), sys(COLOR_BTNSHADOW));
    EXPECT_EQ(shot.at(204, 50), sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(shot.at(100, 60), sys(COLOR_BTNFACE));

    // The label's caption is drawn inside its rectangle and nowhere next to it.
    TRect text = label->GetBoundsRect();
    EXPECT_GT(text.Width(), 30);
    EXPECT_GT(darkPixels(shot, text), 20);
    EXPECT_EQ(darkPixels(shot, TRect(text.Right + 2, text.Top, text.Right + 60, text.Bottom)), 0);

    // The button: raised edge and its caption; pressed while the mouse is held on it.
    EXPECT_EQ(shot.at(250, 210), sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(shot.at(324, 210), sys(COLOR_3DDKSHADOW));
    EXPECT_GT(darkPixels(shot, TRect(262, 205, 313, 220)), 10);
    display->pressMouse(280, 210);
    pump();
    // Focused now: a frame ring outside, then the flat shadow of the pressed look.
    Screenshot pressed = display->screenshot(form->Handle());
    EXPECT_EQ(pressed.at(250, 210), sys(COLOR_WINDOWFRAME));
    EXPECT_EQ(pressed.at(251, 210), sys(COLOR_BTNSHADOW));
    display->releaseMouse(280, 210);
    pump();
    EXPECT_EQ(display->screenshot(form->Handle()).at(251, 210), sys(COLOR_BTNHIGHLIGHT));

    // The sunken static text: a one-pixel edge, shadow top-left, highlight bottom-right.
    TRect st = framed->GetBoundsRect();
    EXPECT_EQ(shot.at(st.Left, st.Top + 5), sys(COLOR_BTNSHADOW));
    EXPECT_EQ(shot.at(st.Right - 1, st.Top + 5), sys(COLOR_BTNHIGHLIGHT));
    EXPECT_GT(darkPixels(shot, TRect(st.Left + 1, st.Top + 1, st.Right - 1, st.Bottom - 1)), 10);
}

TEST_F(ExtCtrlsTest, PanelCaptionIsCentredAndFollowsAlignment)
{
    auto form = shownForm();
    form->SetBounds(0, 0, 300, 100);
    auto* panel = new TPanel(form.get());
    panel->SetBounds(0, 0, 300, 60);
    panel->SetBevelOuter(bvNone);
    panel->SetCaption("Lumo");
    panel->SetParent(form.get());
    pump();
    Screenshot shot = display->screenshot(form->Handle());
    EXPECT_EQ(darkPixels(shot, TRect(0, 0, 120, 60)), 0);
    EXPECT_GT(darkPixels(shot, TRect(120, 20, 180, 40)), 10);
    EXPECT_EQ(darkPixels(shot, TRect(180, 0, 300, 60)), 0);

    panel->SetAlignment(taLeftJustify);
    pump();
    shot = display->screenshot(form->Handle());
    EXPECT_GT(darkPixels(shot, TRect(0, 20, 60, 40)), 10);
    EXPECT_EQ(darkPixels(shot, TRect(100, 0, 300, 60)), 0);
    // No bevel: the corner is face colour.
    EXPECT_EQ(shot.at(0, 0), GetSysColor(COLOR_BTNFACE));
}

}   // namespace
