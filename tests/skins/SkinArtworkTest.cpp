#include "SkinFixture.h"

// The artwork and colour model and the chain of cached pictures.

namespace {

using SkinArtwork = SkinFixture;

TEST_F(SkinArtwork, ShowsTheSelectedCellOfTheGridUnscaled)
{
    auto form = shownForm();
    auto set = gradient(96, 64);
    TTestSkin* skin = skinOn(form.get(), form.get(), set.get(), 3, 2, 10, 10, 32, 32);
    EXPECT_TRUE(skin->GetArtworkSetPresent());
    for (int v = 0; v < 2; ++v)
        for (int h = 0; h < 3; ++h) {
            skin->SetArtworkIndexes(h, v);
            ASSERT_EQ(skin->GetThemeHorzIndex(), h);
            ASSERT_EQ(skin->GetThemeVertIndex(), v);
            EXPECT_FALSE(skin->GetStretched());
            auto expected = cutByHand(set.get(), TRect(32 * h, 32 * v, 32 * h + 32, 32 * v + 32));
            EXPECT_EQ(pixelsOf(skin->GetSkinBitmap()), pixelsOf(expected.get())) << "cell " << h << "," << v;
            // Cut again from the set, the same cell.
            skin->InvalidateArtworkSet();
            EXPECT_EQ(pixelsOf(skin->GetSkinBitmap()), pixelsOf(expected.get())) << "cell " << h << "," << v;
            // What reaches the window is that picture too.
            pump();
            Screenshot shot = display->screenshot(form->Handle());
            EXPECT_EQ(rgbOf(shot.at(10 + 5, 10 + 7)), pixelsOf(expected.get()).at(5, 7));
            EXPECT_EQ(rgbOf(shot.at(10 + 31, 10 + 31)), pixelsOf(expected.get()).at(31, 31));
        }
}

TEST_F(SkinArtwork, TheRemainderStripOfASetIsNeverShown)
{
    auto form = shownForm();
    auto set = gradient(100, 10);
    TTestSkin* skin = skinOn(form.get(), form.get(), set.get(), 3, 1, 0, 0, 33, 10);
    skin->SetArtworkIndexes(2, 0);
    auto expected = cutByHand(set.get(), TRect(66, 0, 99, 10));
    EXPECT_EQ(pixelsOf(skin->GetSkinBitmap()), pixelsOf(expected.get()));
    EXPECT_FALSE(skin->GetStretched());
}

TEST_F(SkinArtwork, AControlOfAnotherSizeShowsTheStretchedCell)
{
    auto form = shownForm();
    auto art = gradient(8, 128);
    auto* skin = new TTestSkin(form.get());
    skin->SetParent(form.get());
    skin->SetBounds(0, 0, 8, 132);
    skin->SetArtwork(art.get());
    skin->SetArtworked(true);
    EXPECT_TRUE(skin->GetStretched());
    TBitmap expected;
    StretchBitmap(art.get(), &expected, 8, 132, 0);
    EXPECT_EQ(pixelsOf(skin->GetSkinBitmap()), pixelsOf(&expected));
    EXPECT_EQ(skin->GetSkinBitmap(), skin->GetStretchedArtwork());
    // Fitting the control to its artwork ends the stretching; asking for it does nothing.
    skin->SetStretched(true);
    EXPECT_EQ(skin->GetHeight(), 132);
    skin->SetStretched(false);
    EXPECT_EQ(skin->GetHeight(), 128);
    EXPECT_FALSE(skin->GetStretched());
    EXPECT_EQ(pixelsOf(skin->GetSkinBitmap()), pixelsOf(art.get()));
}

TEST_F(SkinArtwork, ColorizingTintsTheCellWithTheColourOfItsColourSetCell)
{
    auto form = shownForm();
    auto set = gradient(96, 32);
    TTestSkin* skin = skinOn(form.get(), form.get(), set.get(), 3, 1, 0, 0, 32, 32);
    skin->SetColorized(true);
    skin->SetColor(clRed);
    auto cell0 = cutByHand(set.get(), TRect(0, 0, 32, 32));
    TBitmap expected;
    ColorizeBitmap(cell0.get(), &expected, clRed);
    EXPECT_EQ(pixelsOf(skin->GetSkinBitmap()), pixelsOf(&expected));

    // With a colour set the tint is the top-left pixel of the cell's part of it.
    skin->SetArtworkIndexes(1, 0);
    auto colors = picture({"rrrrggggbbbbbb"});
    skin->SetColorSet(colors.get());
    EXPECT_TRUE(skin->GetColorSetPresent());
    skin->UpdateColorMap();
    auto cell1 = cutByHand(set.get(), TRect(32, 0, 64, 32));
    ColorizeBitmap(cell1.get(), &expected, TColor(0x008000));
    EXPECT_EQ(skin->GetColorMap(1, 0), TColor(0x008000));
    EXPECT_EQ(pixelsOf(skin->GetSkinBitmap()), pixelsOf(&expected));
}

TEST_F(SkinArtwork, WritingTheArtworkDropsTheArtworkSet)
{
    auto form = shownForm();
    auto set = gradient(96, 32);
    TTestSkin* skin = skinOn(form.get(), form.get(), set.get(), 3, 1, 0, 0, 32, 32);
    EXPECT_TRUE(skin->StoreArtworkSet());
    EXPECT_FALSE(skin->StoreArtwork());
    auto single = gradient(32, 32, 9);
    skin->SetArtwork(single.get());
    EXPECT_FALSE(skin->GetArtworkSetPresent());
    EXPECT_TRUE(skin->GetArtworkSet()->GetEmpty());
    EXPECT_FALSE(skin->StoreArtworkSet());
    EXPECT_TRUE(skin->StoreArtwork());
    EXPECT_EQ(pixelsOf(skin->GetSkinBitmap()), pixelsOf(single.get()));

    // Drawing on the artwork from outside counts as writing it.
    skin->SetArtworkSet(set.get());
    EXPECT_TRUE(skin->GetArtworkSetPresent());
    skin->GetArtwork()->Canvas()->SetPixel(0, 0, clWhite);
    EXPECT_FALSE(skin->GetArtworkSetPresent());
    EXPECT_EQ(pixelsOf(skin->GetSkinBitmap()).at(0, 0), 0xFFFFFFu);

    // Leaving the set on purpose keeps the cell shown as the single artwork.
    skin->SetArtworkSet(set.get());
    skin->SetArtworkIndexes(2, 0);
    skin->SetArtworkSetPresent(false);
    auto cell2 = cutByHand(set.get(), TRect(64, 0, 96, 32));
    EXPECT_EQ(pixelsOf(skin->GetArtwork()), pixelsOf(cell2.get()));
}

TEST_F(SkinArtwork, AssigningABitmapToItselfKeepsIt)
{
    auto form = shownForm();
    auto set = gradient(96, 32);
    TTestSkin* skin = skinOn(form.get(), form.get(), set.get(), 3, 1, 0, 0, 32, 32);
    const Pixels setPixels = pixelsOf(set.get());
    skin->SetArtworkSet(skin->GetArtworkSet());
    EXPECT_EQ(pixelsOf(skin->GetArtworkSet()), setPixels);
    EXPECT_TRUE(skin->GetArtworkSetPresent());

    const Pixels cell = pixelsOf(skin->GetArtwork());
    skin->SetArtwork(skin->GetArtwork());
    EXPECT_EQ(pixelsOf(skin->GetArtwork()), cell);
    EXPECT_FALSE(skin->GetArtworkSetPresent());   // still a write of the artwork

    auto colors = picture({"rgb"});
    skin->SetColorSet(colors.get());
    skin->SetColorSet(skin->GetColorSet());
    EXPECT_EQ(pixelsOf(skin->GetColorSet()), pixelsOf(colors.get()));
    // A null colour set empties it and still counts as present.
    skin->SetColorSet(nullptr);
    EXPECT_TRUE(skin->GetColorSet()->GetEmpty());
    EXPECT_TRUE(skin->GetColorSetPresent());
}

TEST_F(SkinArtwork, AnInvalidationRebuildsOnlyWhatDependsOnIt)
{
    auto form = shownForm();
    auto set = gradient(96, 32);
    TTestSkin* skin = skinOn(form.get(), form.get(), set.get(), 3, 1, 0, 0, 40, 40);   // stretched
    skin->SetColorized(true);
    pump();
    skin->GetSkinBitmap();
    skin->Rebuilds.clear();
    skin->GetSkinBitmap();
    skin->Repaint();
    EXPECT_TRUE(skin->Rebuilds.empty()) << "a valid chain rebuilds nothing";

    skin->SetColor(clBlue);   // repaints: only the tint is redone
    EXPECT_EQ(skin->rebuilds("PColorizedArtwork"), 1);
    EXPECT_EQ(skin->rebuilds("PArtwork"), 0);
    EXPECT_EQ(skin->rebuilds("PStretchedArtwork"), 0);

    skin->Rebuilds.clear();
    skin->SetBounds(0, 0, 48, 40);   // a new size: stretched again and tinted again
    skin->GetSkinBitmap();
    EXPECT_EQ(skin->rebuilds("PArtwork"), 0);
    EXPECT_EQ(skin->rebuilds("PStretchedArtwork"), 1);
    EXPECT_EQ(skin->rebuilds("PColorizedArtwork"), 1);

    skin->Rebuilds.clear();
    skin->SetBounds(5, 5, 48, 40);   // a move only
    skin->GetSkinBitmap();
    EXPECT_TRUE(skin->Rebuilds.empty());

    skin->Rebuilds.clear();
    skin->SetTransparentColor(clFuchsia);   // an unshaped control's pictures stay
    skin->GetSkinBitmap();
    EXPECT_TRUE(skin->Rebuilds.empty());

    skin->Rebuilds.clear();
    auto other = gradient(96, 32, 50);
    skin->SetArtworkSet(other.get());
    skin->GetSkinBitmap();
    EXPECT_EQ(skin->rebuilds("PArtwork"), 1);
    EXPECT_EQ(skin->rebuilds("PStretchedArtwork"), 1);
    EXPECT_EQ(skin->rebuilds("PColorizedArtwork"), 1);
    EXPECT_EQ(skin->rebuilds("PColor"), 0);
}

TEST_F(SkinArtwork, TheColourMapIsBoundedAndFollowsTheGrid)
{
    auto form = shownForm();
    auto* skin = new TTestSkin(form.get());
    skin->SetParent(form.get());
    skin->SetColor(clYellow);
    EXPECT_EQ(skin->GetColorMap(-1, 0), clYellow);
    skin->SetColorMap(-1, 0, clRed);
    skin->SetColorMap(1, 0, clRed);
    EXPECT_EQ(skin->GetColorMap(0, 0), clYellow);

    // A 1 x 1 control reads its colour set into a map it did not have.
    auto colors = picture({"bbb", "bbb"});
    skin->SetColorSet(colors.get());
    skin->UpdateColorMap();
    EXPECT_EQ(skin->GetColorMap(0, 0), clBlue);

    // The map grows with the grid; new cells hold the control's colour.
    skin->SetThemeHorzCount(3);
    EXPECT_EQ(skin->FColorMap.Columns(), 3);
    EXPECT_EQ(skin->GetColorMap(0, 0), clBlue);
    EXPECT_EQ(skin->GetColorMap(2, 0), clYellow);
    skin->SetColorMap(2, 0, clRed);
    EXPECT_EQ(skin->GetColorMap(2, 0), clRed);

    // A zero count leaves no sets and no map; reading it gives the colour.
    skin->SetThemeRange(0, 1);
    EXPECT_FALSE(skin->GetColorSetPresent());
    EXPECT_FALSE(skin->GetArtworkSetPresent());
    EXPECT_FALSE(skin->FColorMap.Allocated());
    EXPECT_EQ(skin->GetColorMap(0, 0), clYellow);
    // A set written after that counts as present again; the cut treats the zero count as one.
    auto set = gradient(20, 10);
    skin->SetArtworkSet(set.get());
    skin->SetArtworked(true);
    EXPECT_EQ(pixelsOf(skin->GetArtwork()), pixelsOf(set.get()));
    skin->UpdateColorMap();
}

TEST_F(SkinArtwork, AutomaticTransparencyTakesTheSetsCornerButNotFromNothing)
{
    auto form = shownForm();
    auto* skin = new TTestSkin(form.get());
    skin->SetParent(form.get());
    skin->SetTransparentMode(tmAuto);
    EXPECT_EQ(skin->GetTransparentColor(), clLime);   // an empty set has no corner

    skin->SetTransparentMode(tmFixed);
    auto set = picture({"www", "rww"});
    skin->SetArtworkSet(set.get());
    skin->SetTransparentMode(tmAuto);
    EXPECT_EQ(skin->GetTransparentColor(), clRed);
    skin->SetTransparentColor(clBlue);
    EXPECT_EQ(skin->GetTransparentMode(), tmFixed);
    EXPECT_EQ(ResolveColor(skin->GetArtworkSet()->GetTransparentColor()), clBlue);
}

TEST_F(SkinArtwork, ColourChangesAndWhatAppearsOfThem)
{
    auto form = shownForm();
    auto* skin = new TTestSkin(form.get());
    skin->SetParent(form.get());
    skin->SetBounds(0, 0, 20, 20);
    skin->SetColor(clRed);
    pump();
    // Without artwork the control shows its colour.
    EXPECT_EQ(rgbOf(display->screenshot(form->Handle()).at(5, 5)), 0xFF0000u);
    skin->Rebuilds.clear();
    skin->SetColor(clRed);
    EXPECT_TRUE(skin->Rebuilds.empty());
    // A colour taken from the parent reaches the new workspace at the next paint.
    form->SetColor(clBlue);
    skin->SetParentColor(true);
    pump();
    skin->Repaint();
    EXPECT_EQ(skin->GetColor(), clBlue);
    EXPECT_EQ(skin->FPColor[skin->NewWorkspace()], clBlue);
}

}  // namespace
