// What cannot be clicked looks it: each control the main window disables fades to the disabled
// cell of its artwork and back, on the real window with the fake clock, and the window keeps
// its outline throughout.
#include "tests/app/MainFormFixture.h"

namespace {

struct Cell
{
    int column, row;
};

class MainFormDisabledLook : public MainFormFixture
{
protected:
    // The control's rectangle in its window's screenshot.
    std::vector<COLORREF> onScreen(TControl* c)
    {
        const Screenshot shot = display->screenshot(form->Handle());
        const POINT origin = windowPoint(c);
        std::vector<COLORREF> pixels;
        for (int y = 0; y < c->GetHeight(); ++y)
            for (int x = 0; x < c->GetWidth(); ++x)
                pixels.push_back(shot.at(origin.x + x, origin.y + y));
        return pixels;
    }

    // How many of a cell's pixels that its outline keeps the screen shows otherwise; -1 when
    // the artwork has no such cell.
    int differingFrom(TCustomActiveSkin* c, Cell cell)
    {
        if (cell.column >= c->GetThemeHorzCount() || cell.row >= c->GetThemeVertCount())
            return -1;
        TBitmap* set = c->GetArtworkSet();
        const TColor key = set->Canvas()->GetPixel(0, set->GetHeight() - 1);   // as tmAuto takes it
        const Screenshot shot = display->screenshot(form->Handle());
        const POINT origin = windowPoint(c);
        const int w = c->GetWidth(), h = c->GetHeight();
        int differing = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const TColor art = set->Canvas()->GetPixel(cell.column * w + x, cell.row * h + y);
                if (art != key && COLORREF(art) != shot.at(origin.x + x, origin.y + y))
                    ++differing;
            }
        return differing;
    }

    static Cell disabledCell(TCustomActiveSkin* c) { return {c->GetThemeHorzCount() - 1, c->GetSwitchedOn() ? 1 : 0}; }
    static Cell normalCell(TCustomActiveSkin* c) { return {0, c->GetSwitchedOn() ? 1 : 0}; }

    POINT windowPoint(TControl* c)
    {
        RECT r{};
        GetWindowRect(form->Handle(), &r);
        const POINT p = at(c, 0, 0);
        return {p.x - r.left, p.y - r.top};
    }

    HRGN windowRegion()
    {
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        EXPECT_NE(GetWindowRgn(form->Handle(), region), ERROR);
        return region;
    }
    // The control's outline rebuilt from the cell it shows now.
    static HRGN outlineNow(TCustomActiveSkin* c)
    {
        c->InvalidateArtworkShape();
        HRGN copy = CreateRectRgn(0, 0, 0, 0);
        CombineRgn(copy, c->GetArtworkShape()->GetHandle(), 0, RGN_COPY);
        return copy;
    }

    std::vector<TCustomActiveSkin*> lockedWhileRecording() const
    {
        return {form->StartButton, form->CameraButton, form->SettingsButton, form->AudioButton, form->PlaybackButton};
    }
};

int reddish(const std::vector<COLORREF>& pixels)
{
    int n = 0;
    for (COLORREF c : pixels)
        n += int(GetRValue(c)) - std::max(GetGValue(c), GetBValue(c)) > 40;
    return n;
}

TEST_F(MainFormDisabledLook, AtStartOnlyPlaybackAndPauseLookDisabled)
{
    for (TCustomActiveSkin* c : {static_cast<TCustomActiveSkin*>(form->PlaybackButton),
                                 static_cast<TCustomActiveSkin*>(form->SkinnedButton3)}) {
        SCOPED_TRACE(c->GetName().c_str());
        ASSERT_EQ(c->GetThemeHorzCount(), 4) << "a disabled column";
        EXPECT_EQ(differingFrom(c, {3, 0}), 0);
        EXPECT_GT(differingFrom(c, {0, 0}), 20) << "the disabled cell looks like the normal one";
    }
    for (TCustomActiveSkin* c : {static_cast<TCustomActiveSkin*>(form->StopButton),
                                 static_cast<TCustomActiveSkin*>(form->CameraButton),
                                 static_cast<TCustomActiveSkin*>(form->SettingsButton),
                                 static_cast<TCustomActiveSkin*>(form->AudioButton),
                                 static_cast<TCustomActiveSkin*>(form->StartButton)}) {
        SCOPED_TRACE(c->GetName().c_str());
        EXPECT_EQ(c->GetThemeHorzCount(), 4);
        EXPECT_EQ(differingFrom(c, {0, 0}), 0);
    }
    // Videos is never disabled: it keeps the three interactive columns only.
    EXPECT_EQ(form->VideosButton->GetThemeHorzCount(), 3);
    EXPECT_EQ(differingFrom(form->VideosButton, {0, 0}), 0);
}

// Sound on, then Start: every locked control fades over the layout's 500 ms to its disabled
// cell (the switches in their on row), keeps it under the pointer, and Stop brings back the
// very pixels of before; Stop itself goes disabled. No outline changes on the way.
TEST_F(MainFormDisabledLook, RecordingLocksControlsVisiblyAndStopFreesThem)
{
    clickOn(form->AudioButton);
    ASSERT_TRUE(form->AudioButton->GetSwitchedOn());
    clickOn(form->PlaybackButton);   // disabled: nothing happens, nothing lights up
    advance(600);
    EXPECT_TRUE(shell.empty());
    EXPECT_EQ(differingFrom(form->PlaybackButton, {3, 0}), 0);
    display->moveMouse(0, 0);
    advance(600);

    std::map<TCustomActiveSkin*, std::vector<COLORREF>> idle;
    std::map<TCustomActiveSkin*, HRGN> outline;
    for (TCustomActiveSkin* c : lockedWhileRecording()) {
        idle[c] = onScreen(c);
        outline[c] = outlineNow(c);
    }
    HRGN idleRegion = windowRegion();
    const std::vector<COLORREF> idleStart = onScreen(form->StartButton);

    start();
    expectRecording();
    advance(250, 250);
    EXPECT_GT(differingFrom(form->CameraButton, {0, 0}), 0) << "halfway through the fade";
    EXPECT_GT(differingFrom(form->CameraButton, {3, 0}), 0) << "halfway through the fade";
    advance(500);
    for (TCustomActiveSkin* c : lockedWhileRecording()) {
        SCOPED_TRACE(c->GetName().c_str());
        if (c != form->PlaybackButton) {
            EXPECT_NE(onScreen(c), idle[c]);
        }
        EXPECT_EQ(differingFrom(c, disabledCell(c)), 0);
    }
    EXPECT_EQ(form->StartButton->GetThemeVertIndex(), 1);
    EXPECT_EQ(form->AudioButton->GetThemeVertIndex(), 1);
    // The locked Start still says it records: more red than the idle record mark shows.
    EXPECT_GT(reddish(onScreen(form->StartButton)), 2 * reddish(idleStart) + 20);
    EXPECT_EQ(differingFrom(form->StopButton, {0, 0}), 0);
    EXPECT_EQ(differingFrom(form->VideosButton, {0, 0}), 0);

    // The pointer over a locked control lights nothing.
    const POINT camera = at(form->CameraButton, 16, 16);
    display->moveMouse(camera.x, camera.y);
    advance(600);
    EXPECT_EQ(differingFrom(form->CameraButton, {3, 0}), 0);

    HRGN recordingRegion = windowRegion();
    EXPECT_TRUE(EqualRgn(recordingRegion, idleRegion));
    for (TCustomActiveSkin* c : lockedWhileRecording()) {
        HRGN disabled = outlineNow(c);
        EXPECT_TRUE(EqualRgn(disabled, outline[c])) << c->GetName().c_str() << ": the disabled cell's outline";
        DeleteObject(disabled);
    }

    stop();
    expectIdle(true);
    advance(600);
    display->moveMouse(0, 0);
    advance(600);
    for (TCustomActiveSkin* c : {static_cast<TCustomActiveSkin*>(form->StartButton),
                                 static_cast<TCustomActiveSkin*>(form->CameraButton),
                                 static_cast<TCustomActiveSkin*>(form->SettingsButton),
                                 static_cast<TCustomActiveSkin*>(form->AudioButton)}) {
        SCOPED_TRACE(c->GetName().c_str());
        EXPECT_EQ(onScreen(c), idle[c]);
    }
    EXPECT_EQ(differingFrom(form->PlaybackButton, {0, 0}), 0) << "a file to play";
    EXPECT_EQ(differingFrom(form->StopButton, {3, 0}), 0);
    HRGN stoppedRegion = windowRegion();
    EXPECT_TRUE(EqualRgn(stoppedRegion, idleRegion));
    for (HRGN r : {idleRegion, recordingRegion, stoppedRegion})
        DeleteObject(r);
    for (auto& [c, r] : outline)
        DeleteObject(r);
}

}   // namespace
