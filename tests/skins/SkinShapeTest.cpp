#include "SkinFixture.h"

// Outlines: a shaped control's window region, and the region of an ordinary window whose
// skinned children have ShapeParent.

namespace {

// Artwork with cut-away (lime) pixels in a pattern that depends on Seed, and lime corners.
std::unique_ptr<TBitmap> cutaway(int W, int H, int Seed)
{
    auto bmp = gradient(W, H, Seed);
    for (int y = 0; y < H; ++y) {
        auto* p = static_cast<uint8_t*>(bmp->ScanLine(y));
        for (int x = 0; x < W; ++x) {
            const bool corner = (x < 3 || x >= W - 3) && (y < 3 || y >= H - 3);
            if (corner || (x * 3 + y * 7 + Seed) % 11 == 0 || (x > W / 2 && y == (Seed % H))) {
                p[3 * x] = 0;
                p[3 * x + 1] = 255;
                p[3 * x + 2] = 0;
            }
        }
    }
    return bmp;
}

bool opaqueAt(TBitmap* Artwork, int X, int Y)
{
    const auto* p = static_cast<const uint8_t*>(Artwork->ScanLine(Y)) + 3 * X;
    return !(p[0] == 0 && p[1] == 255 && p[2] == 0);
}

// The window's region as a mask of W x H; nullopt-like marker when it has none.
struct Mask
{
    bool hasRegion = false;
    std::vector<bool> bits;
    int width = 0;
    bool operator==(const Mask&) const = default;
};

Mask windowMask(HWND Window, int W, int H)
{
    Mask m;
    m.width = W;
    m.bits.assign(size_t(W * H), false);
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    m.hasRegion = GetWindowRgn(Window, r) != ERROR;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            m.bits[size_t(y * W + x)] = m.hasRegion && PtInRegion(r, x, y);
    DeleteObject(r);
    return m;
}

// Adds the opaque pixels of Artwork placed at (Left, Top), clipped to Clip.
void addOpaque(Mask& M, TBitmap* Artwork, int Left, int Top, const TRect& Clip)
{
    for (int y = 0; y < Artwork->GetHeight(); ++y)
        for (int x = 0; x < Artwork->GetWidth(); ++x) {
            const int fx = Left + x, fy = Top + y;
            if (fx >= Clip.Left && fx < Clip.Right && fy >= Clip.Top && fy < Clip.Bottom && opaqueAt(Artwork, x, y))
                M.bits[size_t(fy * M.width + fx)] = true;
        }
}

void addRect(Mask& M, const TRect& R)
{
    for (int y = R.Top; y < R.Bottom; ++y)
        for (int x = R.Left; x < R.Right; ++x)
            M.bits[size_t(y * M.width + x)] = true;
}

Mask emptyMask(int W, int H)
{
    Mask m;
    m.hasRegion = true;
    m.width = W;
    m.bits.assign(size_t(W * H), false);
    return m;
}

int regionType(HWND Window)
{
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    const int type = GetWindowRgn(Window, r);
    DeleteObject(r);
    return type;
}

class SkinShape : public SkinFixture
{
protected:
    static constexpr int W = 120, H = 90;
    std::unique_ptr<TForm> form;
    std::unique_ptr<TBitmap> panelArt, buttonSet, formButtonSet;
    TTestSkin* panel = nullptr;
    TTestSkin* button = nullptr;       // on the panel
    TTestSkin* formButton = nullptr;   // on the form

    void build()
    {
        form = shownForm(W, H);
        panelArt = cutaway(120, 60, 1);
        buttonSet = cutaway(96, 16, 2);
        formButtonSet = cutaway(40, 20, 3);
        panel = skinOn(form.get(), form.get(), panelArt.get(), 1, 1, 0, 0, 120, 60);
        panel->SetShaped(true);
        panel->SetShapeParent(true);
        button = skinOn(panel, form.get(), buttonSet.get(), 3, 1, 100, 10, 32, 16);   // sticks out
        button->SetShaped(true);
        formButton = skinOn(form.get(), form.get(), formButtonSet.get(), 1, 1, 20, 60, 40, 20);
        formButton->SetShaped(true);
        pump();
    }

    Mask expected()
    {
        Mask m = emptyMask(W, H);
        addOpaque(m, panelArt.get(), 0, 0, TRect(0, 0, 120, 60));
        auto cell = cutByHand(buttonSet.get(), TRect(0, 0, 32, 16));
        addOpaque(m, cell.get(), 100, 10, TRect(0, 0, 120, 60));   // clipped to the panel
        addOpaque(m, formButtonSet.get(), 20, 60, TRect(0, 0, W, H));
        return m;
    }
};

TEST_F(SkinShape, AFormOfSkinnedChildrenGetsTheUnionOfTheirOpaquePixels)
{
    build();
    EXPECT_TRUE(formButton->GetShapeParent()) << "the flag is shared by the form's skinned children";
    EXPECT_EQ(formButton->GetSkinnedSiblingCount(), 2);
    EXPECT_EQ(button->GetSkinnedSiblingCount(), 1);
    EXPECT_TRUE(button->GetShapeParent()) << "on a skinned parent it is the parent's Shaped";
    const Mask actual = windowMask(form->Handle(), W, H);
    ASSERT_TRUE(actual.hasRegion);
    EXPECT_TRUE(actual == expected());

    // The display shows the desktop through the cut-aways.
    Screenshot shot = display->screenshot(form->Handle());
    EXPECT_EQ(shot.at(0, 0), HeadlessDisplay::kOutsideShape);
    EXPECT_EQ(shot.at(110, 85), HeadlessDisplay::kOutsideShape);
    auto cell = cutByHand(buttonSet.get(), TRect(0, 0, 32, 16));
    EXPECT_EQ(rgbOf(shot.at(108, 14)), pixelsOf(cell.get()).at(8, 4));
    EXPECT_EQ(rgbOf(shot.at(30, 65)), pixelsOf(formButtonSet.get()).at(10, 5));
}

TEST_F(SkinShape, AChangeOfOneChildsArtworkRipplesToTheFormsRegion)
{
    build();
    buttonSet = cutaway(96, 16, 7);
    button->SetArtworkSet(buttonSet.get());
    EXPECT_TRUE(windowMask(form->Handle(), W, H) == expected());
    formButtonSet = cutaway(40, 20, 8);
    formButton->SetArtworkSet(formButtonSet.get());
    EXPECT_TRUE(windowMask(form->Handle(), W, H) == expected());
    // So does the transparent colour: white is now the one left out.
    formButton->SetTransparentColor(clWhite);
    Mask m = windowMask(form->Handle(), W, H);
    EXPECT_TRUE(m.bits[size_t(60 * W + 20)]) << "a lime corner is opaque now";
}

TEST_F(SkinShape, SelectingAnotherCellKeepsTheShape)
{
    build();
    const Mask before = windowMask(form->Handle(), W, H);
    button->Rebuilds.clear();
    button->SetArtworkIndexes(2, 0);
    EXPECT_EQ(button->rebuilds("ArtworkShape"), 0);
    EXPECT_TRUE(windowMask(form->Handle(), W, H) == before);
    EXPECT_EQ(pixelsOf(button->GetArtwork()), pixelsOf(cutByHand(buttonSet.get(), TRect(64, 0, 96, 16)).get()));
}

TEST_F(SkinShape, HidingAChildRebuildsTheOutlineWithoutIt)
{
    build();
    formButton->SetVisible(false);
    Mask m = emptyMask(W, H);
    addOpaque(m, panelArt.get(), 0, 0, TRect(0, 0, 120, 60));
    addOpaque(m, cutByHand(buttonSet.get(), TRect(0, 0, 32, 16)).get(), 100, 10, TRect(0, 0, 120, 60));
    EXPECT_TRUE(windowMask(form->Handle(), W, H) == m);
    formButton->SetVisible(true);
    EXPECT_TRUE(windowMask(form->Handle(), W, H) == expected());
    // Through the framework's own pointer too.
    static_cast<TControl*>(formButton)->SetVisible(false);
    EXPECT_TRUE(windowMask(form->Handle(), W, H) == m);
}

TEST_F(SkinShape, UnshapedChildrenCountWithTheirRectangles)
{
    build();
    panel->SetShaped(false);
    formButton->SetShaped(false);
    Mask m = emptyMask(W, H);
    addRect(m, TRect(0, 0, 120, 60));
    addRect(m, TRect(20, 60, 60, 80));
    EXPECT_TRUE(windowMask(form->Handle(), W, H) == m);
    EXPECT_EQ(regionType(panel->Handle()), ERROR) << "an unshaped control has no region";
}

TEST_F(SkinShape, ShapeParentFalseOnAnyChildRemovesTheFormsRegion)
{
    build();
    formButton->SetShapeParent(false);
    EXPECT_FALSE(panel->GetShapeParent());
    EXPECT_EQ(regionType(form->Handle()), ERROR);
    panel->SetShapeParent(true);
    EXPECT_TRUE(windowMask(form->Handle(), W, H) == expected());
}

TEST_F(SkinShape, TheLastChildLeavingRemovesTheFormsRegion)
{
    build();
    formButton->SetParent(nullptr);
    EXPECT_EQ(panel->GetSkinnedSiblingCount(), 1);
    EXPECT_EQ(formButton->GetSkinnedSiblingCount(), 0);
    EXPECT_EQ(regionType(form->Handle()), COMPLEXREGION);
    delete formButton;
    delete panel;   // the last one: the form is rectangular again
    EXPECT_EQ(regionType(form->Handle()), ERROR);
}

TEST_F(SkinShape, AShapedControlWithoutArtworkOrChildrenIsInvisible)
{
    form = shownForm(W, H);
    auto* empty = new TTestSkin(form.get());
    empty->SetParent(form.get());
    empty->SetBounds(10, 10, 30, 30);
    empty->SetShaped(true);
    EXPECT_EQ(regionType(empty->Handle()), NULLREGION);
    // With a child it takes the child's outline.
    auto* child = new TTestSkin(form.get());
    child->SetParent(empty);
    child->SetBounds(5, 5, 10, 8);
    Mask m = emptyMask(30, 30);
    addRect(m, TRect(5, 5, 15, 13));
    EXPECT_TRUE(windowMask(empty->Handle(), 30, 30) == m);
    // Its parent had no artwork: the last child leaving stops it being shaped.
    child->SetParent(nullptr);
    EXPECT_FALSE(empty->GetShaped());
    delete child;
}

TEST_F(SkinShape, ResizingKeepsTheShapeOfTheStretchedArtwork)
{
    build();
    formButton->SetBounds(20, 60, 60, 25);
    EXPECT_TRUE(formButton->GetStretched());
    TBitmap stretched;
    StretchBitmap(formButtonSet.get(), &stretched, 60, 25, 0);
    Mask m = emptyMask(60, 25);
    addOpaque(m, &stretched, 0, 0, TRect(0, 0, 60, 25));
    EXPECT_TRUE(windowMask(formButton->Handle(), 60, 25) == m);
    // The form's outline follows, clipped to the form.
    Mask f = emptyMask(W, H);
    addOpaque(f, panelArt.get(), 0, 0, TRect(0, 0, 120, 60));
    addOpaque(f, cutByHand(buttonSet.get(), TRect(0, 0, 32, 16)).get(), 100, 10, TRect(0, 0, 120, 60));
    addOpaque(f, &stretched, 20, 60, TRect(0, 0, W, H));
    EXPECT_TRUE(windowMask(form->Handle(), W, H) == f);
    // A move only rebuilds the form's outline.
    formButton->Rebuilds.clear();
    formButton->SetBounds(30, 62, 60, 25);
    EXPECT_EQ(formButton->rebuilds("ArtworkShape"), 0);
    f = emptyMask(W, H);
    addOpaque(f, panelArt.get(), 0, 0, TRect(0, 0, 120, 60));
    addOpaque(f, cutByHand(buttonSet.get(), TRect(0, 0, 32, 16)).get(), 100, 10, TRect(0, 0, 120, 60));
    addOpaque(f, &stretched, 30, 62, TRect(0, 0, W, H));
    EXPECT_TRUE(windowMask(form->Handle(), W, H) == f);
}

TEST_F(SkinShape, AShapeDecidedBeforeTheWindowExistsReachesIt)
{
    form = shownForm(W, H);
    auto art = cutaway(40, 20, 4);
    auto* skin = new TTestSkin(form.get());
    skin->SetBounds(5, 5, 40, 20);
    skin->SetArtwork(art.get());
    skin->SetShaped(true);
    skin->SetParent(form.get());
    skin->SetShapeParent(true);
    Mask m = emptyMask(W, H);
    addOpaque(m, art.get(), 5, 5, TRect(0, 0, W, H));
    EXPECT_TRUE(windowMask(form->Handle(), W, H) == m);
}

TEST_F(SkinShape, AFramedFormMeasuresFromItsOuterCorner)
{
    auto framed = std::make_unique<TForm>(nullptr, 0);
    framed->SetBounds(50, 50, 200, 150);
    framed->Show();
    pump();
    auto* skin = new TTestSkin(framed.get());
    skin->SetParent(framed.get());
    skin->SetBounds(0, 0, 30, 20);
    skin->SetShapeParent(true);
    const TPoint origin = skin->GetClientOrigin();
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(framed->Handle(), r), ERROR);
    RECT box;
    GetRgnBox(r, &box);
    DeleteObject(r);
    EXPECT_EQ(box.left, origin.X - 50);
    EXPECT_EQ(box.top, origin.Y - 50);
    EXPECT_GT(box.top, 0) << "the caption lies above the client area";
    EXPECT_EQ(box.right - box.left, 30);
}

}  // namespace

namespace {

TEST_F(SkinShape, AnOutlineRebuiltAsItWasGoesNoFurther)
{
    build();
    const Mask before = windowMask(form->Handle(), W, H);
    panel->Rebuilds.clear();
    button->Rebuilds.clear();
    button->InvalidateArtworkShape();
    EXPECT_EQ(button->rebuilds("ArtworkShape"), 1);
    EXPECT_EQ(panel->rebuilds("ClientShape"), 0) << "the panel's outline is made of the same regions";
    EXPECT_TRUE(windowMask(form->Handle(), W, H) == before);
    // A changed outline still goes up to the panel.
    button->SetTransparentColor(clWhite);
    EXPECT_GE(panel->rebuilds("ClientShape"), 1);
}

}  // namespace
