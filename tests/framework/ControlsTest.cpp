#include "tests/framework/ControlsFixture.h"

#include "framework/Layouts.h"

#include <climits>

namespace {

using ControlsTest = ControlsFixture;

TEST_F(ControlsTest, ChildCoordinatesFollowTheParentChain)
{
    auto form = shownForm();
    auto* pane = new TCtlPane(form.get());
    pane->SetBounds(10, 20, 100, 80);
    pane->SetParent(form.get());
    auto* box = new TCtlBox(form.get());
    box->SetBounds(5, 6, 30, 10);
    box->SetParent(pane);

    ASSERT_TRUE(pane->HandleAllocated());   // a child of a shown form gets its window at once
    EXPECT_EQ(box->ClientToScreen(TPoint(0, 0)), TPoint(115, 126));
    EXPECT_EQ(box->ScreenToClient(TPoint(100, 100)), TPoint(-15, -26));
    EXPECT_EQ(pane->GetClientOrigin(), TPoint(110, 120));
    EXPECT_EQ(box->GetBoundsRect(), TRect(5, 6, 35, 16));
    EXPECT_EQ(box->GetClientRect(), TRect(0, 0, 30, 10));

    // Moving the parent moves the child's window with it.
    pane->SetLeft(40);
    RECT r;
    GetWindowRect(pane->Handle(), &r);
    EXPECT_EQ(r.left, 140);
    EXPECT_EQ(box->ClientToScreen(TPoint(0, 0)), TPoint(145, 126));

    // Negative sizes are clamped; OnResize fires only when the size changes.
    int resizes = 0;
    box->OnResize = [&](TObject*) { ++resizes; };
    box->SetBounds(1, 1, 30, 10);
    box->SetBounds(1, 1, -4, 10);
    EXPECT_EQ(box->GetWidth(), 0);
    EXPECT_EQ(resizes, 1);
}

TEST_F(ControlsTest, FramedClientAreaIsTheSameBeforeAndAfterTheWindowExists)
{
    TForm form(nullptr, 0);
    form.SetBorderStyle(bsSizeable);
    form.SetBounds(50, 60, 300, 200);
    TRect before = form.GetClientRect();
    TPoint originBefore = form.GetClientOrigin();
    form.HandleNeeded();
    EXPECT_EQ(form.GetClientRect(), before);
    EXPECT_EQ(form.GetClientOrigin(), originBefore);
    EXPECT_LT(before.Width(), 300);
    EXPECT_LT(before.Height(), 200 - 10);   // a caption and a frame

    form.SetClientWidth(250);
    form.SetClientHeight(120);
    EXPECT_EQ(form.GetClientWidth(), 250);
    EXPECT_EQ(form.GetClientHeight(), 120);
}

// Found by fuzzing the layout reader: a client size at the integer limit overflowed the sum
// of frame and client. Client sizes are clamped as window sizes are.
TEST_F(ControlsTest, ClientSizesAtTheIntegerLimitsAreClampedToTheWindowLimits)
{
    TForm form(nullptr, 0);
    form.SetBorderStyle(bsSizeable);
    form.SetBounds(0, 0, 300, 200);
    const int frameWidth = 300 - form.GetClientWidth(), frameHeight = 200 - form.GetClientHeight();
    ASSERT_GT(frameWidth, 0);
    ASSERT_GT(frameHeight, 0);
    form.SetClientWidth(INT_MAX);
    form.SetClientHeight(INT_MAX);
    EXPECT_EQ(form.GetWidth(), kMaxWindowSide);
    EXPECT_EQ(form.GetHeight(), kMaxWindowSide);
    // A negative client size is an empty client area: the window is its frame alone.
    form.SetClientWidth(INT_MIN);
    form.SetClientHeight(INT_MIN);
    EXPECT_EQ(form.GetClientWidth(), 0);
    EXPECT_EQ(form.GetWidth(), frameWidth);
    EXPECT_EQ(form.GetHeight(), frameHeight);
    form.SetClientWidth(250);   // nothing left over from the clamp
    EXPECT_EQ(form.GetClientWidth(), 250);

    // The same through a layout, where the size is applied once more after the read.
    TForm read(nullptr, 0);
    ReadLayout(&read, "object F: TForm\n  BorderStyle = bsDialog\n  ClientWidth = 2147483647\n"
                      "  ClientHeight = 2147483647\nend\n", "F.lfm", nullptr);
    EXPECT_EQ(read.GetWidth(), kMaxWindowSide);
    EXPECT_EQ(read.GetHeight(), kMaxWindowSide);
}

TEST_F(ControlsTest, ParentPaintsGraphicChildrenInZOrder)
{
    auto form = shownForm();
    form->SetColor(clBlue);
    auto* lower = new TCtlBox(form.get());
    lower->SetBounds(10, 10, 40, 40);
    lower->SetColor(clRed);
    lower->SetParent(form.get());
    auto* upper = new TCtlBox(form.get());
    upper->SetBounds(30, 30, 40, 40);
    upper->SetColor(clLime);
    upper->SetParent(form.get());
    pump();

    Screenshot shot = display->screenshot(form->Handle());
    EXPECT_EQ(shot.at(5, 5), RGB(0, 0, 255));
    EXPECT_EQ(shot.at(15, 15), RGB(255, 0, 0));
    EXPECT_EQ(shot.at(35, 35), RGB(0, 255, 0));   // the later child is on top
    EXPECT_EQ(shot.at(75, 75), RGB(0, 0, 255));   // nothing painted outside the boxes

    lower->BringToFront();
    pump();
    EXPECT_EQ(display->screenshot(form->Handle()).at(35, 35), RGB(255, 0, 0));

    lower->Hide();
    pump();
    shot = display->screenshot(form->Handle());
    EXPECT_EQ(shot.at(15, 15), RGB(0, 0, 255));
    EXPECT_EQ(shot.at(35, 35), RGB(0, 255, 0));
}

TEST_F(ControlsTest, ParentRoutesMouseToTheGraphicChildUnderIt)
{
    auto form = shownForm();
    auto* pane = new TCtlPane(form.get());
    pane->SetBounds(0, 0, 200, 150);
    pane->SetParent(form.get());
    auto* a = new TCtlBox(form.get());
    a->SetBounds(10, 10, 40, 40);
    a->SetParent(pane);
    auto* b = new TCtlBox(form.get());
    b->SetBounds(30, 30, 40, 40);
    b->SetParent(pane);
    pump();

    click(100 + 35, 100 + 36);   // in both: the upper one takes it
    EXPECT_EQ(b->kinds(), "dcu");
    EXPECT_EQ(b->Log[0].x, 5);
    EXPECT_EQ(b->Log[0].y, 6);
    EXPECT_TRUE(a->Log.empty());

    click(100 + 12, 100 + 12);
    EXPECT_EQ(a->kinds(), "dcu");

    click(100 + 150, 100 + 100);   // no child there: the pane itself
    ASSERT_EQ(pane->Log.size(), 1u);
    EXPECT_EQ(pane->Log[0].x, 150);
    EXPECT_EQ(pane->Log[0].y, 100);
}

TEST_F(ControlsTest, DisabledControlsGetNoMouseInput)
{
    auto form = shownForm();
    auto* box = new TCtlBox(form.get());
    box->SetBounds(10, 10, 40, 40);
    box->SetParent(form.get());
    auto* pane = new TCtlPane(form.get());
    pane->SetBounds(100, 10, 40, 40);
    pane->SetParent(form.get());
    int clicks = 0;
    box->OnClick = [&](TObject*) { ++clicks; };
    box->SetEnabled(false);
    pane->SetEnabled(false);
    pump();

    click(100 + 20, 100 + 20);
    click(100 + 110, 100 + 20);
    EXPECT_TRUE(box->Log.empty());
    EXPECT_TRUE(pane->Log.empty());
    EXPECT_EQ(clicks, 0);
    // Perform delivers straight to the control, and still it refuses.
    box->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
    EXPECT_TRUE(box->Log.empty());

    box->SetEnabled(true);
    click(100 + 20, 100 + 20);
    EXPECT_EQ(box->kinds(), "dcu");
    EXPECT_EQ(clicks, 1);
}

TEST_F(ControlsTest, CaptureKeepsMovesAndDecidesTheClick)
{
    auto form = shownForm();
    auto* box = new TCtlBox(form.get());
    box->SetBounds(50, 50, 40, 40);
    box->SetParent(form.get());
    pump();

    // Press inside, drag out past the form's top-left corner, release outside: moves keep
    // coming with negative coordinates, and there is no click.
    clock->advanceMs(1000);
    display->pressMouse(100 + 60, 100 + 60);
    pump();
    EXPECT_EQ(GetCaptureControl(), box);
    display->moveMouse(90, 80);
    pump();
    display->releaseMouse(90, 80);
    pump();
    EXPECT_EQ(box->kinds(), "dmu");
    EXPECT_EQ(box->Log[1].x, 90 - 150);
    EXPECT_EQ(box->Log[1].y, 80 - 150);
    EXPECT_EQ(GetCaptureControl(), nullptr);

    // Press and release inside: one click, before the mouse-up as in the classic order.
    box->Log.clear();
    click(100 + 60, 100 + 60);
    EXPECT_EQ(box->kinds(), "dcu");

    // Dragging out and back in still clicks.
    box->Log.clear();
    clock->advanceMs(1000);
    display->pressMouse(100 + 60, 100 + 60);
    display->moveMouse(10, 10);
    display->moveMouse(100 + 61, 100 + 61);
    display->releaseMouse(100 + 61, 100 + 61);
    pump();
    EXPECT_EQ(box->kinds(), "dmmcu");
}

TEST_F(ControlsTest, DoubleClickNeedsCsDoubleClicks)
{
    auto form = shownForm();
    auto* box = new TCtlBox(form.get());
    box->SetBounds(10, 10, 40, 40);
    box->SetParent(form.get());
    pump();
    clock->advanceMs(1000);
    display->click(120, 120);
    display->click(120, 120);
    pump();
    EXPECT_EQ(box->kinds(), "dcuDdu");

    box->Log.clear();
    box->SetControlStyle(box->GetControlStyle() - TControlStyle{csDoubleClicks});
    clock->advanceMs(1000);
    display->click(120, 120);
    display->click(120, 120);
    pump();
    EXPECT_EQ(box->kinds(), "dcudcu");   // the second press is a plain press
}

TEST_F(ControlsTest, CursorOfTheControlUnderTheMouse)
{
    auto form = shownForm();
    auto* box = new TCtlBox(form.get());
    box->SetBounds(10, 10, 40, 40);
    box->SetCursor(crHandPoint);
    box->SetParent(form.get());
    auto* pane = new TCtlPane(form.get());
    pane->SetBounds(100, 10, 40, 40);
    pane->SetCursor(crIBeam);
    pane->SetParent(form.get());
    pump();

    display->moveMouse(120, 120);
    pump();
    EXPECT_EQ(display->cursor(), int(CursorHandle(crHandPoint)));
    display->moveMouse(220, 120);
    pump();
    EXPECT_EQ(display->cursor(), int(CursorHandle(crIBeam)));
    display->moveMouse(170, 200);
    pump();
    EXPECT_EQ(display->cursor(), int(CursorHandle(crArrow)));

    Screen->SetCursor(crHourGlass);
    display->moveMouse(121, 121);
    pump();
    EXPECT_EQ(display->cursor(), int(CursorHandle(crHourGlass)));
    Screen->SetCursor(crDefault);
}

TEST_F(ControlsTest, FontDefaultsSizeAndParentFont)
{
    TFont font;
    EXPECT_EQ(font.GetName(), "MS Sans Serif");
    EXPECT_EQ(font.GetHeight(), -11);
    EXPECT_EQ(font.GetSize(), 8);
    EXPECT_EQ(font.GetColor(), clWindowText);
    int changes = 0;
    font.OnChange = [&](TObject*) { ++changes; };
    HFONT first = font.GetHandle();
    EXPECT_NE(first, 0u);
    font.SetSize(12);
    EXPECT_EQ(font.GetHeight(), -16);
    font.SetStyle(TFontStyles{fsBold});
    font.SetStyle(TFontStyles{fsBold});
    EXPECT_EQ(changes, 2);
    EXPECT_NE(font.GetHandle(), 0u);

    auto form = shownForm();
    auto* pane = new TCtlPane(form.get());
    pane->SetParent(form.get());
    auto* box = new TCtlBox(form.get());
    box->SetParent(pane);
    form->GetFont()->SetHeight(-20);
    EXPECT_EQ(pane->GetFont()->GetHeight(), -20);
    EXPECT_EQ(box->GetFont()->GetHeight(), -20);   // through the pane
    pane->GetFont()->SetName("Agency FB");
    EXPECT_FALSE(pane->GetParentFont());
    form->GetFont()->SetHeight(-9);
    EXPECT_EQ(pane->GetFont()->GetHeight(), -20);   // its own font now
    pane->SetParentFont(true);
    EXPECT_EQ(pane->GetFont()->GetName(), "MS Sans Serif");
    EXPECT_EQ(box->GetFont()->GetHeight(), -9);
}

TEST_F(ControlsTest, CanvasTextUsesTheFont)
{
    TBitmap bitmap;
    bitmap.SetSize(80, 30);
    TCanvas* c = bitmap.Canvas();
    c->Brush()->SetColor(clWhite);
    c->FillRect(TRect(0, 0, 80, 30));
    int small = c->TextWidth("Hello");
    c->Font()->SetHeight(-20);
    int large = c->TextWidth("Hello");
    EXPECT_GT(small, 0);
    EXPECT_GT(large, small);
    EXPECT_GT(c->TextHeight("Hg"), 15);

    c->Font()->SetColor(clRed);
    c->Brush()->SetStyle(bsClear);
    c->TextOut(2, 2, "Hello");
    int red = 0, other = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x) {
            TColor p = c->GetPixel(x, y);
            red += p == clRed;
            other += p != clRed && p != clWhite && (p & 0xFF) < (p >> 16 & 0xFF);
        }
    EXPECT_GT(red, 10);
    EXPECT_EQ(other, 0);   // no background was painted under the text
}

TEST_F(ControlsTest, AlignedChildrenShareTheClientArea)
{
    auto form = shownForm();
    auto* top = new TCtlPane(form.get());
    top->SetHeight(30);
    top->SetAlign(alTop);
    top->SetParent(form.get());
    auto* rest = new TCtlPane(form.get());
    rest->SetAlign(alClient);
    rest->SetParent(form.get());
    EXPECT_EQ(top->GetBoundsRect(), TRect(0, 0, 200, 30));
    EXPECT_EQ(rest->GetBoundsRect(), TRect(0, 30, 200, 150));
    form->SetWidth(300);
    EXPECT_EQ(rest->GetBoundsRect(), TRect(0, 30, 300, 150));
}

TEST_F(ControlsTest, WindowLookupRefusesForeignAndStaleHandles)
{
    TCtlPane* pane;
    HWND window;
    {
        auto form = shownForm();
        pane = new TCtlPane(form.get());
        pane->SetParent(form.get());
        window = pane->Handle();
        EXPECT_EQ(TWinControl::FindControl(window), pane);
        // A window of another class with the same user data is not ours.
        HWND foreign = CreateWindowExA(0, "TCtlPane", "", WS_CHILD, 0, 0, 5, 5, form->Handle(), 0, nullptr, nullptr);
        if (foreign)
            SetWindowLongPtrA(foreign, GWLP_USERDATA, GetWindowLongPtrA(window, GWLP_USERDATA));
        ASSERT_NE(foreign, 0u);
        EXPECT_EQ(TWinControl::FindControl(foreign), nullptr);
        EXPECT_EQ(TWinControl::FindControl(0xDEAD), nullptr);
    }
    EXPECT_FALSE(IsWindow(window));   // the form freed the pane and its window
    EXPECT_EQ(TWinControl::FindControl(window), nullptr);
}

TEST_F(ControlsTest, ChildWithoutParentWindowRaises)
{
    TCtlPane orphan(nullptr);
    EXPECT_THROW(orphan.HandleNeeded(), EInvalidOperation);
    EXPECT_FALSE(orphan.HandleAllocated());
    auto form = std::make_unique<TForm>(nullptr, 0);
    EXPECT_THROW(form->SetParent(form.get()), EInvalidOperation);
}

}  // namespace

TEST_F(ControlsTest, WithoutAnApplicationAnExceptionFromAHandlerIsPrinted)
{
    auto form = shownForm();
    auto* box = new TCtlBox(form.get());
    box->SetBounds(10, 10, 40, 40);
    box->SetParent(form.get());
    box->OnClick = [](TObject*) { throw Exception("handler failed"); };
    pump();
    SetControlExceptionHandler(nullptr);   // as before the application object exists
    testing::internal::CaptureStderr();
    click(100 + 20, 100 + 20);
    const std::string printed = testing::internal::GetCapturedStderr();
    SetControlExceptionHandler([](const std::exception& e) { Application->HandleException(Application, e); });
    EXPECT_NE(printed.find("handler failed"), std::string::npos) << printed;
}
