// Windows made while a layout is read: a component that asks for its window (or its parent's)
// during the read sees the geometry the layout gives, as if everything had been made from code.
#include "tests/framework/ControlsFixture.h"

#include "framework/Layouts.h"

namespace {

struct TGeometry
{
    HWND Handle = 0;
    RECT WindowRect{};   // screen coordinates, as the window layer has it
    TPoint ClientOrigin;
    int ParentWidth = 0;
    int ParentHeight = 0;
    int ParentClientWidth = 0;
    int ParentClientHeight = 0;
    bool WindowEnabled = true;
};

// Like the capture component: makes its window as soon as it has a parent; and like the
// shape chain of the skinned controls: while read (Measure), takes the geometry and gives
// the form a window region clipped to the form's size.
class TGeoProbe : public TCustomControl
{
public:
    explicit TGeoProbe(TComponent* AOwner) : TCustomControl(AOwner) {}
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    void SetParent(TWinControl* AParent) override
    {
        TCustomControl::SetParent(AParent);
        if (AParent)
            AtParent = Take();
    }
    int GetMeasure() const { return FMeasure; }
    void SetMeasure(int Value)
    {
        FMeasure = Value;
        AtMeasure = Take();
        MeasuredWhileLoading = Loading();
        // The form's outline: a rectangle wider than anything, clipped to the form.
        TWinControl* form = GetParent();
        while (form->GetParent())
            form = form->GetParent();
        HRGN everything = CreateRectRgn(-50, -50, 5000, 5000);
        HRGN clip = CreateRectRgn(0, 0, form->GetWidth(), form->GetHeight());
        CombineRgn(everything, everything, clip, RGN_AND);
        DeleteObject(clip);
        SetWindowRgn(form->Handle(), everything, TRUE);
    }

    TGeometry AtParent;
    TGeometry AtMeasure;
    bool MeasuredWhileLoading = false;

private:
    TGeometry Take()
    {
        TGeometry g;
        g.Handle = Handle();
        GetWindowRect(g.Handle, &g.WindowRect);
        g.ClientOrigin = GetClientOrigin();
        g.ParentWidth = GetParent()->GetWidth();
        g.ParentHeight = GetParent()->GetHeight();
        g.ParentClientWidth = GetParent()->GetClientWidth();
        g.ParentClientHeight = GetParent()->GetClientHeight();
        g.WindowEnabled = IsWindowEnabled(g.Handle);
        return g;
    }
    int FMeasure = 0;
};

TClass TGeoProbe::StaticClass()
{
    static const TClass Class = TPublished<TGeoProbe, TCustomControl>("TGeoProbe")
        .Property("Enabled", &TGeoProbe::GetEnabled, &TGeoProbe::SetEnabled, Default(true))
        .Property("Measure", &TGeoProbe::GetMeasure, &TGeoProbe::SetMeasure, Default(0));
    return Class;
}

class TGeoForm : public TForm
{
public:
    explicit TGeoForm(TComponent* AOwner) : TForm(AOwner, 0) {}
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }
    TCtlPane* Holder = nullptr;
    TGeoProbe* Probe = nullptr;
};

TClass TGeoForm::StaticClass()
{
    static const TClass Class = TPublished<TGeoForm, TForm>("TGeoForm")
        .Field("Holder", &TGeoForm::Holder)
        .Field("Probe", &TGeoForm::Probe);
    return Class;
}

// The form's own size comes as a client size; the probe is made before its bounds are read.
const char* const geoLayout = R"(object GeoForm: TGeoForm
  Left = 100
  Top = 80
  BorderStyle = bsNone
  Caption = 'Geometry'
  ClientWidth = 400
  ClientHeight = 300
  object Holder: TCtlPane
    Left = 20
    Top = 30
    Width = 300
    Height = 200
    object Probe: TGeoProbe
      Left = 10
      Top = 12
      Width = 250
      Height = 150
      Enabled = False
      Measure = 1
    end
  end
end
)";

class LoadingWindowsTest : public ControlsFixture
{
protected:
    static void SetUpTestSuite() { RegisterClasses({ClassOf<TGeoForm>(), ClassOf<TGeoProbe>(), ClassOf<TCtlPane>()}); }
};

TEST_F(LoadingWindowsTest, AComponentReadingItsWindowDuringTheReadSeesTheFinalGeometry)
{
    TGeoForm form(nullptr);
    ReadLayout(&form, geoLayout, "GeoForm.lfm", nullptr);
    ASSERT_NE(form.Probe, nullptr);
    const TGeometry& at = form.Probe->AtMeasure;
    ASSERT_TRUE(form.Probe->MeasuredWhileLoading);
    ASSERT_NE(at.Handle, HWND(0));
    EXPECT_EQ(at.Handle, form.Probe->Handle());   // the window made early is the one kept

    // The parent's size as the layout gives it.
    EXPECT_EQ(at.ParentWidth, 300);
    EXPECT_EQ(at.ParentHeight, 200);
    EXPECT_EQ(at.ParentClientWidth, 300);
    EXPECT_EQ(at.ParentClientHeight, 200);
    // The window stands where the layout puts it: form 100,80 + holder 20,30 + probe 10,12.
    EXPECT_EQ(at.ClientOrigin, TPoint(130, 122));
    EXPECT_EQ(at.WindowRect.left, 130);
    EXPECT_EQ(at.WindowRect.top, 122);
    EXPECT_EQ(at.WindowRect.right - at.WindowRect.left, 250);
    EXPECT_EQ(at.WindowRect.bottom - at.WindowRect.top, 150);
    EXPECT_FALSE(at.WindowEnabled);   // Enabled = False reached the window when read

    // When it got its parent, the parent chain was already in place.
    EXPECT_EQ(form.Probe->AtParent.ParentWidth, 300);
    EXPECT_EQ(form.Probe->AtParent.Handle, at.Handle);

    // The form's window region, built during the read, is clipped to 400 x 300, not to
    // the size the form had before its client size was read.
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(form.Handle(), region), 0);
    RECT box;
    GetRgnBox(region, &box);
    DeleteObject(region);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right, 400);
    EXPECT_EQ(box.bottom, 300);

    // Once shown, the windows are the ones made during the read, with the same geometry.
    form.Show();
    pump();
    EXPECT_TRUE(display->isShown(form.Handle()));
    EXPECT_EQ(display->title(form.Handle()), "Geometry");
    RECT surface = display->surfaceRect(form.Handle());
    EXPECT_EQ(surface.right - surface.left, 400);
    EXPECT_EQ(surface.bottom - surface.top, 300);
    EXPECT_EQ(form.Probe->GetClientOrigin(), TPoint(130, 122));
}

TEST_F(LoadingWindowsTest, AFrameReadAfterTheClientSizeStillEndsWithThatClientSize)
{
    // bsDialog after ClientWidth: the client size is applied when read and once more when
    // the frame is final, with the probe's early windows in place.
    const char* layout = R"(object GeoForm: TGeoForm
  ClientWidth = 240
  ClientHeight = 160
  BorderStyle = bsDialog
  object Holder: TCtlPane
    Width = 100
    Height = 80
    object Probe: TGeoProbe
      Width = 40
      Height = 30
    end
  end
end
)";
    TGeoForm form(nullptr);
    ReadLayout(&form, layout, "GeoForm.lfm", nullptr);
    ASSERT_TRUE(form.HandleAllocated());   // made during the read for the probe
    EXPECT_EQ(form.GetClientWidth(), 240);
    EXPECT_EQ(form.GetClientHeight(), 160);
    RECT client;
    GetClientRect(form.Handle(), &client);
    EXPECT_EQ(client.right, 240);
    EXPECT_EQ(client.bottom, 160);
    EXPECT_TRUE(GetWindowLongA(form.Handle(), GWL_EXSTYLE) & LONG(WS_EX_DLGMODALFRAME));
    EXPECT_GT(form.GetWidth(), 240);   // the dialog frame around it
}

}   // namespace
