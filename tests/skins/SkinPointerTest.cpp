#include "ActiveSkinFixture.h"
#include "skins/Skinnedbutton.h"

// Where the pointer is, as the skinned controls learn it: from the mouse message being
// handled, asking the display (a round trip to the X server) only outside one.

namespace {

// A headless display that counts the questions about the pointer.
class AskedDisplay : public HeadlessDisplay
{
public:
    int asked = 0;
    bool cursorPosition(POINT&) override
    {
        ++asked;
        return false;
    }
};

class SkinPointer : public SkinFixture
{
protected:
    std::shared_ptr<AskedDisplay> asking = std::make_shared<AskedDisplay>();
    std::unique_ptr<TForm> form;
    std::unique_ptr<TBitmap> set;

    void SetUp() override
    {
        SkinFixture::SetUp();
        installDisplayBackend(asking);
        display = asking;
        form = shownForm(200, 100);
    }
    void TearDown() override
    {
        form.reset();
        SkinFixture::TearDown();
    }
    TSkinnedButton* button(int Left)
    {
        auto* b = new TSkinnedButton(form.get());
        b->SetParent(form.get());
        b->SetBounds(Left, 10, 32, 32);
        set = cellSet(b->GetThemeHorzCount(), b->GetThemeVertCount(), 32, 32);
        b->SetArtworkSet(set.get());
        b->SetArtworked(true);
        b->SetShaped(true);
        pump();
        return b;
    }
};

TEST_F(SkinPointer, HandlersLearnWhereThePointerIsFromTheMessage)
{
    TSkinnedButton* a = button(10);
    TSkinnedButton* b = button(60);
    // Each handler asks whether the pointer is over its control, and what asking cost.
    std::vector<std::string> log;
    auto watch = [&](TSkinnedButton* c, const std::string& name) {
        auto look = [&, c, name](const std::string& what) {
            const int before = asking->asked;
            const bool in = c->GetMouseInControl();
            log.push_back(what + " " + name + (in ? " in" : " out") +
                          (asking->asked == before ? "" : " asked the display"));
        };
        c->OnMouseEnterControl = [look](TObject*, TShiftState, int, int) { look("enter"); };
        c->OnMouseExitControl = [look](TObject*, TShiftState, int, int) { look("exit"); };
        c->OnMouseDown = [look](TObject*, TMouseButton, TShiftState, int, int) { look("down"); };
        c->OnMouseUp = [look](TObject*, TMouseButton, TShiftState, int, int) { look("up"); };
    };
    watch(a, "a");
    watch(b, "b");
    display->moveMouse(100 + 20, 100 + 20);
    pump();
    EXPECT_EQ(a->GetThemeHorzIndex(), 1) << "hovered";
    display->moveMouse(100 + 70, 100 + 20);
    pump();
    display->moveMouse(100 + 75, 100 + 25);
    pump();
    display->pressMouse(100 + 75, 100 + 25);
    pump();
    EXPECT_EQ(b->GetThemeHorzIndex(), 2) << "pressed";
    display->releaseMouse(100 + 150, 100 + 80);   // away: cancelled
    pump();
    EXPECT_TRUE(b->GetPressCancelled());
    EXPECT_EQ(log, (std::vector<std::string>{"enter a in", "exit a out", "enter b in", "down b in", "up b out"}));
    // Outside a message the platform answers from the input it has read, still without asking.
    const int before = asking->asked;
    EXPECT_FALSE(b->GetMouseInControl());
    EXPECT_EQ(asking->asked, before);
}

TEST_F(SkinPointer, AHandlerThatMovesTheControlAwayIsSeenInTheSameMove)
{
    TSkinnedButton* a = button(10);
    std::vector<std::string> log;
    a->OnMouseEnterControl = [&](TObject*, TShiftState, int, int) {
        log.push_back("enter");
        a->SetBounds(120, 50, 32, 32);
    };
    a->OnMouseExitControl = [&](TObject*, TShiftState, int, int) { log.push_back("exit"); };
    display->moveMouse(100 + 20, 100 + 20);
    pump();
    EXPECT_EQ(log, (std::vector<std::string>{"enter", "exit"}));
    EXPECT_FALSE(a->GetMouseIsCaptured());
    EXPECT_EQ(a->GetThemeHorzIndex(), 0) << "not hovered: the pointer is no longer over it";
}

}  // namespace
