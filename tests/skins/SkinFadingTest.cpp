#include "SkinFixture.h"

// Cross-fades on the frame timer, measured on the fake clock.

namespace {

class SkinFading : public SkinFixture
{
protected:
    std::unique_ptr<TForm> form;
    std::unique_ptr<TBitmap> set;
    TTestSkin* skin = nullptr;

    TTestSkin* fadingSkin(int Left = 10)
    {
        auto* s = skinOn(form.get(), form.get(), set.get(), 3, 1, Left, 10, 32, 32);
        s->SetEnableFading(true);
        s->SetFadingInterval(250);
        pump();
        return s;
    }
    void build()
    {
        form = shownForm();
        set = gradient(96, 32);
        skin = fadingSkin();
    }
    std::unique_ptr<TBitmap> cell(int H) { return cutByHand(set.get(), TRect(32 * H, 0, 32 * H + 32, 32)); }
    static Pixels blend(TBitmap* A, TBitmap* B, double WeightA, double WeightB)
    {
        TBitmap out;
        BlendBitmaps(A, B, &out, WeightA, WeightB);
        return pixelsOf(&out);
    }
    Pixels onScreen(TTestSkin* S)
    {
        Screenshot shot = display->screenshot(form->Handle());
        Pixels p{S->GetWidth(), S->GetHeight(), {}};
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x)
                p.values.push_back(rgbOf(shot.at(S->GetLeft() + x, S->GetTop() + y)));
        return p;
    }
};

TEST_F(SkinFading, ACellChangeFadesFrameByFrameByTheTimeElapsed)
{
    build();
    auto from = cell(0), to = cell(1);
    skin->SetArtworkIndexes(1, 0);
    EXPECT_TRUE(skin->GetFadingInProgress());
    EXPECT_EQ(pixelsOf(skin->GetFadingSkinBitmap()), pixelsOf(from.get())) << "the fade starts at its old end";
    skin->Rebuilds.clear();
    int frames = 0;
    for (int t = 40; t <= 240; t += 40) {
        run(40, 40);
        ++frames;
        ASSERT_TRUE(skin->GetFadingInProgress()) << t;
        const double w = t / 250.0;
        const Pixels expected = blend(from.get(), to.get(), 1.0 - w, w);
        EXPECT_EQ(pixelsOf(skin->GetFadingSkinBitmap()), expected) << t;
        pump();
        EXPECT_EQ(onScreen(skin), expected) << t;
    }
    run(40, 40);   // 280 ms: past the interval, the last frame shows the new end exactly
    ++frames;
    EXPECT_FALSE(skin->GetFadingInProgress());
    EXPECT_FALSE(skin->FadingFrameTimer()->GetEnabled());
    EXPECT_EQ(skin->GetNewWeight(), 1.0);
    EXPECT_EQ(frames, 7);
    EXPECT_EQ(skin->rebuilds("FadingSkinBitmap"), 7);
    EXPECT_EQ(pixelsOf(skin->GetFadingSkinBitmap()), pixelsOf(to.get()));
    EXPECT_EQ(pixelsOf(skin->GetSkinBitmap()), pixelsOf(to.get()));
    pump();
    EXPECT_EQ(onScreen(skin), pixelsOf(to.get()));
    // The timer stays off once the fade is over.
    skin->Rebuilds.clear();
    run(200, 40);
    EXPECT_EQ(skin->rebuilds("FadingSkinBitmap"), 0);
}

TEST_F(SkinFading, LateTicksShortenTheFadeButNotItsDuration)
{
    build();
    skin->SetArtworkIndexes(2, 0);
    clock->advanceMs(200);   // one late tick
    pump();
    EXPECT_DOUBLE_EQ(skin->GetNewWeight(), 0.8);
    clock->advanceMs(200);
    pump();
    EXPECT_FALSE(skin->GetFadingInProgress());
    EXPECT_EQ(pixelsOf(skin->GetSkinBitmap()), pixelsOf(cell(2).get()));
}

TEST_F(SkinFading, AChangeDuringAFadeStartsFromWhatIsOnScreen)
{
    build();
    skin->SetFadingFrameRate(50);
    EXPECT_EQ(skin->FadingFrameTimer()->GetInterval(), 20u);
    skin->SetArtworkIndexes(1, 0);
    run(100, 20);
    EXPECT_DOUBLE_EQ(skin->GetNewWeight(), 0.4);
    const Pixels reached = blend(cell(0).get(), cell(1).get(), 0.6, 0.4);
    skin->SetArtworkIndexes(2, 0);
    TBitmap mix;
    BlendBitmaps(cell(0).get(), cell(1).get(), &mix, 0.6, 0.4);
    EXPECT_EQ(pixelsOf(skin->GetPArtwork(skin->OldWorkspace())), reached);
    run(20, 20);
    EXPECT_EQ(pixelsOf(skin->GetFadingSkinBitmap()), blend(&mix, cell(2).get(), 1.0 - 0.08, 0.08));
    run(300, 20);
    EXPECT_EQ(pixelsOf(skin->GetSkinBitmap()), pixelsOf(cell(2).get()));
}

TEST_F(SkinFading, AColourFadeMovesColorAndEndsOnTheNewColourExactly)
{
    build();
    skin->SetColor(clBlack);   // fades too
    run(300, 40);
    ASSERT_EQ(skin->GetColor(), clBlack);
    const Pixels picture = pixelsOf(skin->GetSkinBitmap());
    EXPECT_EQ(picture, pixelsOf(cell(0).get()));
    skin->SetColor(TColor(0x00C8FF64));
    EXPECT_EQ(pixelsOf(skin->GetPArtwork(skin->OldWorkspace())), picture);
    EXPECT_EQ(pixelsOf(skin->GetPArtwork(skin->NewWorkspace())), picture);
    EXPECT_EQ(skin->GetColor(), clBlack) << "the frames move the colour, not the setter";
    run(40, 40);
    EXPECT_EQ(skin->GetColor(), MixColors(clBlack, TColor(0x00C8FF64), 1.0 - 0.16, 0.16));
    EXPECT_NE(skin->GetColor(), clBlack);
    EXPECT_EQ(pixelsOf(skin->GetFadingSkinBitmap()), picture) << "an uncolourised picture stays";
    run(240, 40);
    EXPECT_FALSE(skin->GetFadingInProgress());
    EXPECT_EQ(skin->GetColor(), TColor(0x00C8FF64));
}

TEST_F(SkinFading, AColourisedColourFadeBlendsTheTwoTints)
{
    build();
    skin->SetEnableFading(false);
    skin->SetColorized(true);
    skin->SetColor(clRed);
    skin->SetEnableFading(true);
    pump();
    skin->SetColor(clBlue);
    run(80, 40);
    TBitmap red, blue;
    ColorizeBitmap(cell(0).get(), &red, clRed);
    ColorizeBitmap(cell(0).get(), &blue, clBlue);
    EXPECT_EQ(pixelsOf(skin->GetFadingSkinBitmap()), blend(&red, &blue, 1.0 - 0.32, 0.32));
    run(200, 40);
    EXPECT_EQ(pixelsOf(skin->GetSkinBitmap()), pixelsOf(&blue));
}

TEST_F(SkinFading, ANestedFrameIsRefusedAndAFailingFrameFreezesNothing)
{
    build();
    TTestSkin* other = fadingSkin(60);
    skin->SetArtworkIndexes(1, 0);
    other->SetArtworkIndexes(1, 0);
    int nestedRuns = 0;
    skin->DuringFrame = [&] {
        EXPECT_FALSE(TCustomSkinnedControl::FrameGuardSet());
        const int before = other->rebuilds("FadingSkinBitmap");
        other->FadingFrameTimerOnTimer(other->FadingFrameTimer());
        nestedRuns += other->rebuilds("FadingSkinBitmap") - before;
    };
    run(40, 40);
    EXPECT_EQ(nestedRuns, 0);
    EXPECT_TRUE(TCustomSkinnedControl::FrameGuardSet());
    EXPECT_DOUBLE_EQ(other->GetNewWeight(), 0.16) << "the other control's own tick ran";

    std::vector<std::string> reported;
    SetControlExceptionHandler([&](const std::exception& e) { reported.push_back(e.what()); });
    skin->DuringFrame = [] { throw EInvalidOperation("frame failed"); };
    run(40, 40);
    SetControlExceptionHandler(nullptr);
    EXPECT_EQ(reported, std::vector<std::string>{"frame failed"});
    EXPECT_TRUE(TCustomSkinnedControl::FrameGuardSet());
    EXPECT_FALSE(skin->GetFadingInProgress()) << "a failing fade ends";
    run(200, 40);
    EXPECT_FALSE(other->GetFadingInProgress()) << "other fades go on to their end";
    EXPECT_EQ(pixelsOf(other->GetSkinBitmap()), pixelsOf(cell(1).get()));
}

TEST_F(SkinFading, WhenFadingIsNotAllowedChangesAreImmediate)
{
    build();
    skin->SetEnableFading(false);
    skin->SetArtworkIndexes(1, 0);
    EXPECT_FALSE(skin->GetFadingInProgress());
    pump();
    EXPECT_EQ(onScreen(skin), pixelsOf(cell(1).get()));

    skin->SetEnableFading(true);
    skin->SetFadingInterval(0);
    skin->SetArtworkIndexes(2, 0);
    EXPECT_FALSE(skin->GetFadingInProgress());
    skin->SetFadingInterval(250);

    skin->SetAllowFading(false);
    skin->SetAllowFading(false);
    skin->SetAllowFading(true);
    EXPECT_FALSE(skin->GetAllowFading());
    skin->SetAllowFading(true);
    EXPECT_TRUE(skin->GetAllowFading());
    skin->SetAllowFading(true);   // never below 0
    skin->SetAllowFading(false);
    EXPECT_FALSE(skin->GetAllowFading());
    skin->SetAllowFading(true);

    skin->SetColorized(true);
    skin->SetArtworked(false);
    EXPECT_FALSE(skin->GetAllowFading());
    skin->SetArtworked(true);
    EXPECT_TRUE(skin->GetAllowFading());
    skin->setDesigning(true);
    EXPECT_FALSE(skin->GetAllowFading());
    skin->SetColor(clRed);
    EXPECT_FALSE(skin->GetFadingInProgress());
    EXPECT_EQ(skin->GetColor(), clRed);
}

TEST_F(SkinFading, FrameRatesAreKeptWithinOneToAThousand)
{
    build();
    EXPECT_EQ(skin->GetFadingFrameRate(), 25);
    skin->SetFadingFrameRate(0);
    EXPECT_EQ(skin->GetFadingFrameRate(), 1);
    skin->SetFadingFrameRate(5000);
    EXPECT_EQ(skin->GetFadingFrameRate(), 1000);
    skin->SetArtworkIndexes(1, 0);
    run(300, 10);
    EXPECT_FALSE(skin->GetFadingInProgress()) << "a 1 ms timer still fires and ends the fade";
}

TEST_F(SkinFading, AFadeAcrossMidnightEndsWithinItsInterval)
{
    clock->setLocalMicroseconds((int64_t(20000) * 86400 - 0) * 1000000 - 100000);   // 23:59:59.900
    build();
    skin->SetArtworkIndexes(1, 0);
    run(120, 40);
    EXPECT_TRUE(skin->GetFadingInProgress());
    EXPECT_DOUBLE_EQ(skin->GetNewWeight(), 0.48);
    run(160, 40);
    EXPECT_FALSE(skin->GetFadingInProgress());
    EXPECT_EQ(pixelsOf(skin->GetSkinBitmap()), pixelsOf(cell(1).get()));
}

}  // namespace

namespace {

TEST_F(SkinFading, CellsChangedFasterThanFramesComeFadeFromThePictureShown)
{
    build();
    skin->SetFadingFrameRate(50);
    const Pixels shown = onScreen(skin);
    EXPECT_EQ(shown, pixelsOf(cell(0).get()));
    skin->SetArtworkIndexes(1, 0);
    skin->SetArtworkIndexes(2, 0);   // before any frame: cell 1 never reached the screen
    EXPECT_EQ(pixelsOf(skin->GetPArtwork(skin->OldWorkspace())), shown);
    EXPECT_EQ(pixelsOf(skin->GetArtwork()), pixelsOf(cell(2).get()));
    run(100, 20);
    EXPECT_EQ(onScreen(skin), blend(cell(0).get(), cell(2).get(), 0.6, 0.4));
    run(300, 20);
    EXPECT_FALSE(skin->GetFadingInProgress());
    EXPECT_EQ(onScreen(skin), pixelsOf(cell(2).get()));
}

}  // namespace
