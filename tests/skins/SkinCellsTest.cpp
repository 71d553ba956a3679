#include "SkinFixture.h"

// The theme grid, single cells, copying one control into another, and resizing.

namespace {

using SkinCells = SkinFixture;

TEST_F(SkinCells, IndexesOutsideTheGridOrUnchangedAreIgnored)
{
    auto form = shownForm();
    auto set = gradient(96, 32);
    TTestSkin* skin = skinOn(form.get(), form.get(), set.get(), 3, 1, 0, 0, 32, 32);
    skin->SetArtworkIndexes(1, 0);
    skin->Rebuilds.clear();
    for (auto [h, v] : {std::pair{3, 0}, {-1, 0}, {1, 1}, {1, -1}, {1, 0}})
        skin->SetArtworkIndexes(h, v);
    skin->SetThemeHorzIndex(1);
    skin->SetThemeVertIndex(1);
    EXPECT_EQ(skin->GetThemeHorzIndex(), 1);
    EXPECT_EQ(skin->GetThemeVertIndex(), 0);
    EXPECT_TRUE(skin->Rebuilds.empty());
    skin->SetThemeHorzIndex(2);
    EXPECT_EQ(pixelsOf(skin->GetSkinBitmap()), pixelsOf(cutByHand(set.get(), TRect(64, 0, 96, 32)).get()));
}

TEST_F(SkinCells, ThemeRangeChangesTheGridKeepingTheCellSize)
{
    auto form = shownForm();
    auto set = gradient(96, 32);
    TTestSkin* skin = skinOn(form.get(), form.get(), set.get(), 3, 1, 0, 0, 32, 32);
    auto colors = picture({"rrrrrrggggggbbbbbb"});
    skin->SetColorSet(colors.get());
    skin->SetThemeRange(6, 1);
    EXPECT_EQ(skin->GetArtworkSet()->GetWidth(), 192);
    EXPECT_EQ(skin->GetArtworkSet()->GetHeight(), 32);
    EXPECT_EQ(skin->GetColorSet()->GetWidth(), 36);
    EXPECT_EQ(skin->FColorMap.Columns(), 6);
    EXPECT_FALSE(skin->GetStretched());
    // Cells keep their place; the new ones hold no picture of the old set.
    skin->SetArtworkIndexes(2, 0);
    EXPECT_EQ(pixelsOf(skin->GetArtwork()), pixelsOf(cutByHand(set.get(), TRect(64, 0, 96, 32)).get()));
    skin->SetThemeRange(6, 2);
    EXPECT_EQ(skin->GetArtworkSet()->GetHeight(), 64);
    skin->SetThemeRange(-1, 2);
    EXPECT_EQ(skin->GetThemeHorzCount(), 6);

    auto wide = gradient(100, 10);
    TTestSkin* other = skinOn(form.get(), form.get(), wide.get(), 3, 1, 40, 0, 33, 10);
    other->SetThemeRange(2, 1);
    EXPECT_EQ(other->GetArtworkSet()->GetWidth(), 66);
}

TEST_F(SkinCells, GridCountsChangeOnlyTheDivisionOfTheSet)
{
    auto form = shownForm();
    auto set = gradient(96, 32);
    TTestSkin* skin = skinOn(form.get(), form.get(), set.get(), 3, 1, 0, 0, 32, 32);
    skin->SetThemeHorzCount(0);
    skin->SetThemeVertCount(-1);
    EXPECT_EQ(skin->GetThemeHorzCount(), 3);
    EXPECT_EQ(skin->GetThemeVertCount(), 1);
    skin->SetThemeHorzCount(2);
    EXPECT_EQ(skin->GetArtworkSet()->GetWidth(), 96);
    EXPECT_EQ(skin->GetArtwork()->GetWidth(), 48);
    EXPECT_TRUE(skin->GetStretched());
    TBitmap expected;
    StretchBitmap(cutByHand(set.get(), TRect(0, 0, 48, 32)).get(), &expected, 32, 32, 0);
    EXPECT_EQ(pixelsOf(skin->GetSkinBitmap()), pixelsOf(&expected));
}

TEST_F(SkinCells, SingleCellsAreHandedOutAsNewBitmaps)
{
    auto form = shownForm();
    auto set = gradient(96, 64);
    TTestSkin* skin = skinOn(form.get(), form.get(), set.get(), 3, 2, 0, 0, 32, 32);
    std::unique_ptr<TBitmap> cell = skin->GetArtworkMap(2, 1);
    EXPECT_EQ(pixelsOf(cell.get()), pixelsOf(cutByHand(set.get(), TRect(64, 32, 96, 64)).get()));
    auto single = gradient(20, 10, 4);
    skin->SetArtwork(single.get());
    EXPECT_EQ(pixelsOf(skin->GetArtworkMap(2, 1).get()), pixelsOf(single.get()));
    // The unsettled operations change nothing.
    skin->SetArtworkMap(0, 0, set.get());
    skin->Assign(set.get(), 3, 2, clRed, 0);
    EXPECT_EQ(pixelsOf(skin->GetArtwork()), pixelsOf(single.get()));
}

TEST_F(SkinCells, AssigningABitmapWithCountsTakesItsTopLeftCell)
{
    auto form = shownForm();
    auto set = gradient(96, 32);
    TTestSkin* skin = skinOn(form.get(), form.get(), set.get(), 3, 1, 0, 0, 32, 32);
    auto source = gradient(96, 32, 21);
    skin->Assign(source.get(), 3, 1);
    EXPECT_FALSE(skin->GetArtworkSetPresent());
    EXPECT_EQ(pixelsOf(skin->GetArtwork()), pixelsOf(cutByHand(source.get(), TRect(0, 0, 32, 32)).get()));
    // Counts of 0 take the whole bitmap rather than dividing by zero.
    skin->Assign(source.get(), 0, 0);
    EXPECT_EQ(pixelsOf(skin->GetArtwork()), pixelsOf(source.get()));
    skin->Assign(static_cast<TBitmap*>(nullptr), 3, 1);
    EXPECT_EQ(pixelsOf(skin->GetArtwork()), pixelsOf(source.get()));
    // A paletted bitmap is read through a 24-bit copy.
    TBitmap grey;
    ConvertBitmap(source.get(), &grey, pf8bit, true, true);
    skin->Assign(&grey, 3, 1);
    TBitmap grey24;
    AssignBitmap(&grey, &grey24, false);
    grey24.SetPixelFormat(pf24bit);
    EXPECT_EQ(pixelsOf(skin->GetArtwork()), pixelsOf(cutByHand(&grey24, TRect(0, 0, 32, 32)).get()));
}

TEST_F(SkinCells, AssignOfAPersistentCopiesWhatTheControlIsMadeOf)
{
    auto form = shownForm();
    auto set = gradient(96, 64);
    TTestSkin* source = skinOn(form.get(), form.get(), set.get(), 3, 2, 0, 0, 40, 30);
    source->SetArtworkIndexes(2, 1);
    source->SetColor(clRed);
    source->SetTransparentColor(clFuchsia);
    source->SetColorized(true);
    source->SetShaped(true);
    source->SetDragable(true);
    source->SetDragParent(true);
    source->SetEnableFading(true);
    source->SetFadingInterval(120);
    source->SetTag(7);
    source->OnMouseCancelled = [](TObject*) {};
    auto colors = picture({"rgbrgb"});
    source->SetColorSet(colors.get());

    auto* dest = new TTestSkin(form.get());
    dest->SetParent(form.get());
    dest->SetBounds(60, 70, 10, 10);
    dest->SetVisible(false);
    dest->Assign(source);
    EXPECT_EQ(dest->GetColor(), clRed);
    EXPECT_TRUE(dest->GetArtworkSetPresent());
    EXPECT_EQ(pixelsOf(dest->GetArtworkSet()), pixelsOf(set.get()));
    EXPECT_EQ(dest->GetThemeHorzCount(), 3);
    EXPECT_EQ(dest->GetThemeVertCount(), 2);
    EXPECT_EQ(dest->GetThemeHorzIndex(), 2);
    EXPECT_EQ(dest->GetThemeVertIndex(), 1);
    EXPECT_EQ(pixelsOf(dest->GetArtwork()), pixelsOf(cutByHand(set.get(), TRect(64, 32, 96, 64)).get()));
    EXPECT_EQ(dest->GetTransparentColor(), clFuchsia);
    EXPECT_TRUE(dest->GetColorized());
    EXPECT_TRUE(dest->GetArtworked());
    EXPECT_TRUE(dest->GetShaped());
    EXPECT_TRUE(dest->GetDragable());
    EXPECT_EQ(dest->GetCursor(), crHandPoint);
    EXPECT_TRUE(dest->GetDragParent());
    EXPECT_TRUE(dest->GetEnableFading());
    EXPECT_EQ(dest->GetFadingInterval(), 120);
    // Its size, but not its place, its visibility, its colour set, its tag or its handlers.
    EXPECT_EQ(dest->GetBoundsRect(), TRect(60, 70, 100, 100));
    EXPECT_FALSE(dest->GetVisible());
    EXPECT_FALSE(dest->GetColorSetPresent());
    EXPECT_EQ(dest->GetTag(), 0);
    EXPECT_FALSE(bool(dest->OnMouseCancelled));
    EXPECT_TRUE(dest->GetStretched()) << "40 x 30 against cells of 32 x 32";

    // A bitmap becomes the single artwork; anything else is refused.
    auto single = gradient(40, 30, 3);
    dest->Assign(static_cast<TPersistent*>(single.get()));
    EXPECT_FALSE(dest->GetArtworkSetPresent());
    EXPECT_EQ(pixelsOf(dest->GetArtwork()), pixelsOf(single.get()));
    EXPECT_FALSE(dest->GetStretched());
    TFont font;
    EXPECT_THROW(dest->Assign(static_cast<TPersistent*>(&font)), EConvertError);
}

TEST_F(SkinCells, ASizeChangeRebuildsTheStretchedPicturesOfBothWorkspaces)
{
    auto form = shownForm();
    auto set = gradient(96, 32);
    TTestSkin* skin = skinOn(form.get(), form.get(), set.get(), 3, 1, 0, 0, 40, 40);
    skin->GetPStretchedArtwork(0);
    skin->GetPStretchedArtwork(1);
    skin->Rebuilds.clear();
    skin->GetPStretchedArtwork(0);
    skin->GetPStretchedArtwork(1);
    EXPECT_EQ(skin->rebuilds("PStretchedArtwork"), 0);
    skin->SetBounds(0, 0, 50, 40);
    skin->GetPStretchedArtwork(0);
    skin->GetPStretchedArtwork(1);
    EXPECT_EQ(skin->rebuilds("PStretchedArtwork"), 2);
    EXPECT_EQ(skin->GetPStretchedArtwork(skin->NewWorkspace())->GetWidth(), 50);
    // Back to the cell size: no longer stretched, the cell itself is shown.
    skin->SetBounds(0, 0, 32, 32);
    EXPECT_FALSE(skin->GetStretched());
    EXPECT_EQ(skin->GetSkinBitmap(), skin->GetArtwork());
}

}  // namespace
