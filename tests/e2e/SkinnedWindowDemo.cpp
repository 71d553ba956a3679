// A borderless window built of skinned controls: a panel whose artwork has cut-away corners
// and a hole, and a button below it that cross-fades to its second cell when clicked. Both
// have ShapeParent, so the window's outline is the union of their opaque pixels. run.sh
// drives it in a real X server.
//   SkinnedWindowDemo --x11                    run on $DISPLAY; prints "click NAME X Y"
//   SkinnedWindowDemo --headless OUT.ppm       write the headless rendering of the window
//   SkinnedWindowDemo --outside REF.ppm SCREEN.ppm LEFT TOP
//   SkinnedWindowDemo --fade X Y SHOT...       pixel X,Y fades from the first cell to the second
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "PixelCompare.h"
#include "framework/Forms.h"
#include "platform/display/headless/HeadlessDisplay.h"
#include "skins/Customskinnedcontrol.h"

namespace {

constexpr int kLeft = 200, kTop = 150, kWidth = 200, kHeight = 140;
constexpr COLORREF kBody = RGB(30, 110, 200), kLime = RGB(0, 255, 0);
constexpr COLORREF kFrom = RGB(200, 40, 40), kTo = RGB(40, 40, 200);

void say(const std::string& text)
{
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

class TDemoSkin : public TCustomSkinnedControl
{
public:
    using TCustomSkinnedControl::TCustomSkinnedControl;
    std::function<void()> OnPress;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override
    {
        say("click " + std::string(GetName().c_str()) + " " + std::to_string(X) + " " + std::to_string(Y));
        TCustomSkinnedControl::MouseDown(Button, Shift, X, Y);
        if (OnPress)
            OnPress();
    }
};

void paint(TBitmap* Bitmap, int X, int Y, COLORREF Color)
{
    auto* p = static_cast<uint8_t*>(Bitmap->ScanLine(Y)) + 3 * X;
    p[0] = GetBValue(Color), p[1] = GetGValue(Color), p[2] = GetRValue(Color);
}

// The panel: cut-away triangles at the corners and a hole in the middle.
std::unique_ptr<TBitmap> panelArtwork()
{
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetSize(kWidth, 90);
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const int cx = std::min(x, kWidth - 1 - x), cy = std::min(y, 89 - y);
            const bool cut = cx + cy < 20 || (x >= 80 && x < 120 && y >= 30 && y < 60);
            paint(bmp.get(), x, y, cut ? kLime : kBody);
        }
    return bmp;
}

// The button: two cells of 80 x 40, each with cut-away corners.
std::unique_ptr<TBitmap> buttonSet()
{
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetSize(160, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 160; ++x) {
            const int cx = std::min(x % 80, 79 - x % 80), cy = std::min(y, 39 - y);
            paint(bmp.get(), x, y, cx < 8 && cy < 8 ? kLime : x < 80 ? kFrom : kTo);
        }
    return bmp;
}

std::unique_ptr<TForm> buildWindow()
{
    auto form = std::make_unique<TForm>(nullptr, 0);
    form->SetBorderStyle(bsNone);
    form->SetCaption("Lumo skin demo");
    form->SetBounds(kLeft, kTop, kWidth, kHeight);
    form->SetColor(clBlack);

    auto* panel = new TDemoSkin(form.get());
    panel->SetName("panel");
    panel->SetParent(form.get());
    panel->SetBounds(0, 0, kWidth, 90);
    auto art = panelArtwork();
    panel->SetArtwork(art.get());
    panel->SetArtworked(true);
    panel->SetShaped(true);
    panel->SetShapeParent(true);

    auto* button = new TDemoSkin(form.get());
    button->SetName("button");
    button->SetParent(form.get());
    button->SetBounds(60, 95, 80, 40);
    button->SetThemeRange(2, 1);
    auto set = buttonSet();
    button->SetArtworkSet(set.get());
    button->SetArtworked(true);
    button->SetShaped(true);
    button->SetEnableFading(true);
    button->SetFadingInterval(3000);
    button->OnPress = [button] { button->SetThemeHorzIndex(1 - button->GetThemeHorzIndex()); };
    form->Show();
    return form;
}

int runHeadless(const char* Out)
{
    auto display = installHeadlessDisplay();
    display->setScreenSize(1280, 1024);
    auto form = buildWindow();
    processPendingMessages();
    return writePpm(Out, display->screenshot(form->Handle())) ? 0 : 1;
}

int runX11()
{
    std::string error;
    if (!installDisplayFromEnvironment(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    auto form = buildWindow();
    say("ready");
    MSG msg;
    while (GetMessageA(&msg, 0, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

// Every cut-away pixel of the reference shows something else than the window's colours.
int outside(const char* Reference, const char* ScreenFile, int Left, int Top)
{
    Screenshot reference, screen;
    if (!readPpm(Reference, reference) || !readPpm(ScreenFile, screen))
        return 2;
    int cut = 0, clear = 0;
    for (int y = 0; y < reference.height; ++y)
        for (int x = 0; x < reference.width; ++x) {
            if (reference.at(x, y) != HeadlessDisplay::kOutsideShape)
                continue;
            ++cut;
            const COLORREF c = screen.at(Left + x, Top + y);
            clear += c != kLime && c != kBody && c != kFrom && c != kTo;
        }
    std::printf("%d of %d cut-away pixels show the desktop\n", clear, cut);
    return cut > 0 && clear == cut ? 0 : 1;
}

// The red of pixel X,Y never rises from shot to shot, starts at the first cell's, ends at
// the second cell's and shows an in-between value on some shot: a fade, not a jump.
int fade(int argc, char** argv)
{
    const int x = std::atoi(argv[2]), y = std::atoi(argv[3]);
    int previous = 256, first = -1, last = -1;
    bool falling = true, between = false;
    for (int i = 4; i < argc; ++i) {
        Screenshot shot;
        if (!readPpm(argv[i], shot))
            return 2;
        const int red = GetRValue(shot.at(x, y));
        std::printf("%d ", red);
        falling &= red <= previous;
        between |= red < GetRValue(kFrom) && red > GetRValue(kTo);
        previous = red;
        if (first < 0)
            first = red;
        last = red;
    }
    std::printf("\n");
    return falling && between && first == GetRValue(kFrom) && last == GetRValue(kTo) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && !std::strcmp(argv[1], "--headless"))
        return runHeadless(argv[2]);
    if (argc >= 2 && !std::strcmp(argv[1], "--x11"))
        return runX11();
    if (argc >= 6 && !std::strcmp(argv[1], "--outside"))
        return outside(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]));
    if (argc >= 6 && !std::strcmp(argv[1], "--fade"))
        return fade(argc, argv);
    std::fprintf(stderr, "usage: SkinnedWindowDemo --x11 | --headless OUT.ppm | --outside REF SCREEN LEFT TOP | "
                         "--fade X Y SHOT...\n");
    return 2;
}
