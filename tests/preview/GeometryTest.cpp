#include <cmath>
#include <limits>
#include <random>

#include "PreviewFixture.h"

using Bitmappreview::RoundDecimal;

namespace {

using PreviewGeometry = PreviewFixture;

std::unique_ptr<TBitmap> plain(int w, int h, int level = 200)
{
    return picture(w, h, [level](int, int) { return grey(level); });
}

}  // namespace

TEST_F(PreviewGeometry, ConstructionDefaultsAndPublishedTable)
{
    TBitmapPreview fresh(nullptr);
    EXPECT_EQ(fresh.GetWidth(), 128);
    EXPECT_EQ(fresh.GetHeight(), 72);
    EXPECT_EQ(fresh.GetColor(), clGray);
    EXPECT_TRUE(fresh.GetIsEmpty());
    EXPECT_EQ(fresh.GetZoom(), 1.0);
    EXPECT_EQ(fresh.GetQualityLevel(), 0);
    EXPECT_EQ(fresh.GetBitmap()->GetPixelFormat(), pf24bit);
    EXPECT_TRUE(fresh.GetBitmap()->GetEmpty());
    EXPECT_FALSE(fresh.StoreBitmap());
    EXPECT_TRUE(fresh.GetControlStyle().Contains(csAcceptsControls));

    Bitmappreview::Register();
    TClass cls = FindClass("TBitmapPreview");
    EXPECT_EQ(cls->Page(), "VK Controls");
    const TPropertyInfo* color = cls->FindProperty("Color");
    ASSERT_NE(color, nullptr);
    for (const char* name : {"IsEmpty", "Bitmap", "OriginX", "Zoom", "CenterFitVert", "QualityLevel", "Dragable",
                             "DragParent", "HandScrollable", "OnDragTo", "OnHandScrollTo", "OnUpdateDisplay",
                             "OnChange", "OnMouseCancelled", "OnClick"})
        EXPECT_NE(cls->FindProperty(name), nullptr) << name;
    // A layout names the component and gets a working one.
    std::unique_ptr<TComponent> made(CreateComponent("TBitmapPreview", nullptr));
    EXPECT_NE(dynamic_cast<TBitmapPreview*>(made.get()), nullptr);
}

TEST_F(PreviewGeometry, ZoomKeepsTheCentreAndIsRounded)
{
    auto src = plain(400, 300);
    preview->SetBitmap(src.get());
    preview->SetZoom(2.0);
    EXPECT_DOUBLE_EQ(preview->GetOriginX(), 50.0);
    EXPECT_DOUBLE_EQ(preview->GetOriginY(), 25.0);
    EXPECT_EQ(preview->ClientToBitmapPoint(TPoint(100, 50)).X, 100.0);

    preview->SetZoom(1.23456);
    EXPECT_DOUBLE_EQ(preview->GetZoom(), 1.235);
    for (double bad : {0.0004, -1.0, 0.0, std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity()}) {
        int before = changes;
        preview->SetZoom(bad);
        EXPECT_DOUBLE_EQ(preview->GetZoom(), 1.235) << bad;
        EXPECT_EQ(changes, before);
    }
    // Origins stay finite and rounded.
    preview->SetOriginX(std::numeric_limits<double>::quiet_NaN());
    preview->SetOriginY(-std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isfinite(preview->GetOriginX()) && std::isfinite(preview->GetOriginY()));
    preview->SetOriginX(3e9 + 0.12345);
    EXPECT_DOUBLE_EQ(preview->GetOriginX(), 3e9 + 0.123);
}

TEST_F(PreviewGeometry, FitAndCentreInTheDefaultSize)
{
    preview->SetBounds(10, 20, 128, 72);
    auto src = plain(640, 480);
    preview->SetBitmap(src.get());
    preview->SetFitFrame(true);
    EXPECT_DOUBLE_EQ(preview->GetZoom(), 0.15);
    preview->SetCenterFitFrame(true);
    EXPECT_DOUBLE_EQ(preview->GetOriginX(), -106.667);
    EXPECT_DOUBLE_EQ(preview->GetOriginY(), 0.0);
    EXPECT_TRUE(preview->GetFitFrame() && preview->GetCenterFrame() && preview->GetCenterFitFrame());
    EXPECT_TRUE(preview->GetCenterHorz() && preview->GetCenterVert());
    // Setting a mode to false clears nothing.
    preview->SetFitFrame(false);
    EXPECT_TRUE(preview->GetFitFrame());
}

// For each shape of picture: fit shows the whole picture with one axis filled, and centring
// puts the picture's centre on the client's centre.
TEST_F(PreviewGeometry, CenterFitFrameForWideTallAndSquarePictures)
{
    struct Case
    {
        int w, h;
        bool fillsWidth;
    };
    for (Case c : {Case{800, 200, true}, Case{100, 400, false}, Case{300, 300, false}}) {
        auto src = plain(c.w, c.h);
        preview->SetBitmap(src.get());
        preview->SetCenterFitFrame(true);
        TPoint topLeft = preview->BitmapToClientPoint(TDblPoint{0, 0});
        TPoint bottomRight = preview->BitmapToClientPoint(TDblPoint{double(c.w), double(c.h)});
        EXPECT_GE(topLeft.X, 0);
        EXPECT_GE(topLeft.Y, 0);
        EXPECT_LE(bottomRight.X, 200);
        EXPECT_LE(bottomRight.Y, 100);
        if (c.fillsWidth)
            EXPECT_NEAR(bottomRight.X - topLeft.X, 200, 1) << c.w;
        else
            EXPECT_NEAR(bottomRight.Y - topLeft.Y, 100, 1) << c.w;
        TPoint centre = preview->BitmapToClientPoint(TDblPoint{c.w / 2.0, c.h / 2.0});
        EXPECT_NEAR(centre.X, 100, 1);
        EXPECT_NEAR(centre.Y, 50, 1);
        preview->Clear();
    }
}

TEST_F(PreviewGeometry, SingleAxisFitsAndCentres)
{
    auto wide = plain(1000, 50);
    preview->SetBitmap(wide.get());
    preview->SetFitHorz(true);
    EXPECT_DOUBLE_EQ(preview->GetZoom(), 0.2);
    preview->SetCenterFitVert(true);   // zooms to 100 / 50 and centres vertically
    EXPECT_DOUBLE_EQ(preview->GetZoom(), 2.0);
    EXPECT_FALSE(preview->GetFitHorz());   // a zoom cancels the other fit
    EXPECT_TRUE(preview->GetFitVert() && preview->GetCenterVert() && preview->GetCenterFitVert());
    EXPECT_DOUBLE_EQ(preview->GetOriginY(), 0.0);
    // Centring an axis alone.
    preview->SetCenterHorz(true);
    EXPECT_DOUBLE_EQ(preview->GetOriginX(), (1000 * 2.0 - 200) * 0.5 / 2.0);
}

TEST_F(PreviewGeometry, OriginAndZoomCancelTheModesTheyBreak)
{
    auto src = plain(640, 480);
    preview->SetBitmap(src.get());
    preview->SetCenterFrame(true);
    preview->SetOriginX(5);
    EXPECT_FALSE(preview->GetCenterFrame());
    EXPECT_FALSE(preview->GetCenterHorz());
    EXPECT_TRUE(preview->GetCenterVert());
    // Zooming keeps the centre modes; a centre setter finding its flag set does nothing.
    preview->SetZoom(3);
    EXPECT_TRUE(preview->GetCenterVert());
    EXPECT_DOUBLE_EQ(preview->GetOriginY(), RoundDecimal((480 * 3.0 - 100) * 0.5 / 3.0, 3));
    int before = changes;
    preview->SetCenterVert(true);
    EXPECT_EQ(changes, before);

    preview->SetCenterFitFrame(true);
    preview->SetZoom(1);
    EXPECT_FALSE(preview->GetFitFrame());
    EXPECT_FALSE(preview->GetCenterFitFrame());
    EXPECT_TRUE(preview->GetCenterFrame());
}

TEST_F(PreviewGeometry, ResizingRefitsButMovingDoesNot)
{
    auto src = plain(400, 200);
    preview->SetBitmap(src.get());
    preview->SetCenterFitFrame(true);
    EXPECT_DOUBLE_EQ(preview->GetZoom(), 0.5);
    int before = changes;
    preview->SetBounds(50, 60, 200, 100);
    EXPECT_DOUBLE_EQ(preview->GetZoom(), 0.5);
    EXPECT_EQ(changes, before);   // resizing repaints directly, without OnChange
    preview->SetBounds(50, 60, 100, 100);
    EXPECT_DOUBLE_EQ(preview->GetZoom(), 0.25);
    EXPECT_DOUBLE_EQ(preview->GetOriginY(), (200 * 0.25 - 100) * 0.5 / 0.25);
    EXPECT_TRUE(preview->GetCenterFitFrame());
    // A component of size 0 keeps its zoom (a fit of 0 is refused) and renders nothing.
    preview->SetBounds(50, 60, 0, 0);
    EXPECT_DOUBLE_EQ(preview->GetZoom(), 0.25);
    EXPECT_EQ(preview->GetOffscreenBitmap()->GetWidth(), 0);
    EXPECT_EQ(preview->GetDisplayedBitmap()->GetHeight(), 0);
}

TEST_F(PreviewGeometry, ReplacingTheBitmapReappliesTheModes)
{
    auto first = plain(400, 200);
    preview->SetBitmap(first.get());
    preview->SetCenterFitFrame(true);
    auto second = plain(100, 400);
    int before = changes;
    preview->SetBitmap(second.get());
    EXPECT_EQ(changes, before + 1);
    EXPECT_DOUBLE_EQ(preview->GetZoom(), 0.25);
    EXPECT_DOUBLE_EQ(preview->GetOriginX(), (100 * 0.25 - 200) * 0.5 / 0.25);
    EXPECT_TRUE(preview->GetCenterFitFrame());
    // Drawing on the component's bitmap is a change too.
    preview->GetBitmap()->SetSize(200, 400);
    EXPECT_DOUBLE_EQ(preview->GetOriginX(), (200 * 0.25 - 200) * 0.5 / 0.25);
    // The component keeps its own copy.
    second->SetSize(5, 5);
    EXPECT_EQ(preview->GetBitmap()->GetWidth(), 200);
}

TEST_F(PreviewGeometry, ConversionsAreEachOthersInverse)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> zoomDist(0.05, 12.0), originDist(-500, 500);
    std::uniform_int_distribution<int> pointDist(-300, 300);
    for (int i = 0; i < 200; ++i) {
        preview->SetZoom(zoomDist(rng));
        preview->SetOriginX(originDist(rng));
        preview->SetOriginY(originDist(rng));
        TPoint p(pointDist(rng), pointDist(rng));
        EXPECT_EQ(preview->BitmapToClientPoint(preview->ClientToBitmapPoint(p)), p);
        TPoint d = preview->ClientToDisplayPoint(p);
        EXPECT_EQ(preview->DisplayToClientPoint(d), p);
        EXPECT_EQ(preview->BitmapToDisplayPoint(preview->DisplayToBitmapPoint(d)), d);
        TDblPoint b = preview->ClientToBitmapPoint(p);
        TDblPoint back = preview->ClientToBitmapPoint(preview->BitmapToClientPoint(TDblPoint{b.X + 0.3 / preview->GetZoom(), b.Y}));
        EXPECT_NEAR(back.X, b.X, 1.0 / preview->GetZoom());
    }
    preview->SetZoom(2);
    preview->SetOriginX(10);
    preview->SetOriginY(20);
    EXPECT_EQ(preview->BitmapToClientPoint(TDblPoint{10.25, 20}), TPoint(1, 0));   // 0.5 rounds up
    EXPECT_EQ(preview->BitmapToDisplayPoint(TDblPoint{10.25, 20}), TPoint(201, 100));
}

TEST_F(PreviewGeometry, NotificationsAreSuppressedAndSentOncePerOperation)
{
    auto src = plain(640, 480);
    preview->SetBitmap(src.get());
    changes = 0;
    preview->SetCenterFitFrame(true);
    EXPECT_EQ(changes, 1);
    preview->SetQualityLevel(2);
    preview->SetQualityLevel(2);
    EXPECT_EQ(changes, 2);

    preview->SetEnableChangeEvent(false);
    preview->SetEnableChangeEvent(false);
    preview->SetZoom(4);
    preview->SetEnableChangeEvent(true);
    EXPECT_FALSE(preview->GetEnableChangeEvent());
    preview->SetOriginX(1);
    EXPECT_EQ(changes, 2);
    preview->SetEnableChangeEvent(true);
    preview->SetEnableChangeEvent(true);   // extra: the counter stays at 0
    EXPECT_TRUE(preview->GetEnableChangeEvent());
    preview->SetOriginX(2);
    EXPECT_EQ(changes, 3);
    preview->SetEnableChangeEvent(false);
    EXPECT_FALSE(preview->GetEnableChangeEvent());
    preview->SetEnableChangeEvent(true);

    // OnUpdateDisplay: one per resampling, suppressible on its own counter. (OnChange
    // paints, which resamples: keep it quiet here.)
    preview->SetEnableChangeEvent(false);
    preview->SetOriginY(6);
    rebuilds = 0;
    preview->GetOffscreenBitmap();
    preview->GetOffscreenBitmap();
    EXPECT_EQ(rebuilds, 1);
    preview->SetEnableUpdateDisplayEvent(false);
    preview->SetOriginY(7);
    preview->GetOffscreenBitmap();
    EXPECT_EQ(rebuilds, 1);
    preview->SetEnableUpdateDisplayEvent(true);
    preview->SetEnableUpdateDisplayEvent(true);
    preview->SetOriginY(8);
    preview->GetOffscreenBitmap();
    EXPECT_EQ(rebuilds, 2);
}

TEST_F(PreviewGeometry, PicturesAreMadeLazilyAndOnceForAChainOfChanges)
{
    auto src = picture(50, 40, [](int x, int y) { return Pixel{uint8_t(x), uint8_t(y), 9}; });
    preview->SetEnableChangeEvent(false);   // OnChange paints: keep the counting to the getters
    preview->SetBitmap(src.get());
    preview->SetZoom(2);
    preview->SetOriginX(10);
    preview->SetOriginY(5);
    preview->SetColor(clRed);
    rebuilds = 0;
    TBitmap* off = preview->GetOffscreenBitmap();
    EXPECT_EQ(rebuilds, 1);
    ASSERT_EQ(off->GetWidth(), 600);
    ASSERT_EQ(off->GetHeight(), 300);
    // Display pixel (Width, Height) shows the bitmap point at the origin.
    EXPECT_EQ(pixelAt(off, 200, 100), (Pixel{10, 5, 9}));
    EXPECT_EQ(pixelAt(off, 0, 0), (Pixel{0, 0, 255}));
    TBitmap* shownPart = preview->GetDisplayedBitmap();
    EXPECT_EQ(shownPart->GetWidth(), 200);
    EXPECT_EQ(pixelAt(shownPart, 2, 0), (Pixel{11, 5, 9}));
    preview->SetColor(clRed);
    preview->GetDisplayedBitmap();
    EXPECT_EQ(rebuilds, 1);
    preview->SetColor(clBlue);
    preview->GetDisplayedBitmap();
    EXPECT_EQ(rebuilds, 2);
    preview->SetEnableChangeEvent(true);
}

TEST_F(PreviewGeometry, EmptyPicturesAndClearing)
{
    EXPECT_TRUE(preview->GetIsEmpty());
    rebuilds = 0;
    EXPECT_EQ(preview->GetOffscreenBitmap()->GetWidth(), 0);   // nothing is resampled
    EXPECT_EQ(rebuilds, 0);
    // Centring an empty picture centres a width of 0; fitting it gives zoom 1.
    preview->SetZoom(2);
    preview->SetCenterFitFrame(true);
    EXPECT_DOUBLE_EQ(preview->GetZoom(), 1.0);
    EXPECT_DOUBLE_EQ(preview->GetOriginX(), -100.0);

    auto one = plain(1, 1, 77);
    preview->SetBitmap(one.get());
    EXPECT_FALSE(preview->GetIsEmpty());
    EXPECT_TRUE(preview->StoreBitmap());
    EXPECT_DOUBLE_EQ(preview->GetZoom(), 100.0);   // still fitted: a 1 x 1 picture fills the height
    EXPECT_EQ(pixelAt(preview->GetDisplayedBitmap(), 100, 50), grey(77));
    preview->SetIsEmpty(false);   // ignored
    EXPECT_FALSE(preview->GetIsEmpty());
    preview->SetIsEmpty(true);
    EXPECT_TRUE(preview->GetIsEmpty());
    EXPECT_TRUE(preview->GetBitmap()->GetEmpty());

    preview->SetBitmap(one.get());
    preview->GetBitmap()->SetWidth(0);   // a picture of width 0 is empty
    EXPECT_TRUE(preview->GetIsEmpty());
    preview->SetBitmap(one.get());
    int before = changes;
    preview->SetBitmap(nullptr);
    EXPECT_TRUE(preview->GetIsEmpty());
    EXPECT_EQ(changes, before + 1);
}

TEST_F(PreviewGeometry, OtherPixelFormatsAreNormalisedWithoutANotification)
{
    auto src = plain(8, 8, 255);
    src->SetPixelFormat(pf8bit);
    preview->SetBitmap(src.get());
    EXPECT_EQ(preview->GetBitmap()->GetPixelFormat(), pf24bit);
    int before = changes;
    preview->GetBitmap();
    preview->GetOffscreenBitmap();
    EXPECT_EQ(changes, before);
    EXPECT_EQ(pixelAt(preview->GetDisplayedBitmap(), 0, 0), grey(255));
}
