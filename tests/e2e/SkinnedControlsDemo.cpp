// A borderless window of skinned components: a panel that drags the window, a push button
// and a switch, each with cut-away corners and each giving the window its outline. run.sh
// drives it with xdotool in a real X server and checks the screen.
//   SkinnedControlsDemo     run on $DISPLAY; prints "ready", then one line per event:
//                           "enter Button", "exit Button", "state Switch on", "window at X Y", ...
#include <cstdio>
#include <memory>
#include <string>

#include "framework/Forms.h"
#include "platform/display/DisplayBackend.h"
#include "skins/Skinnedbutton.h"
#include "skins/Skinnedpanel.h"
#include "skins/Skinnedswitch.h"

namespace {

constexpr COLORREF kLime = RGB(0, 255, 0);

void say(const std::string& Text)
{
    std::printf("%s\n", Text.c_str());
    std::fflush(stdout);
}

void paint(TBitmap* Bitmap, int X, int Y, COLORREF Color)
{
    auto* p = static_cast<uint8_t*>(Bitmap->ScanLine(Y)) + 3 * X;
    p[0] = GetBValue(Color), p[1] = GetGValue(Color), p[2] = GetRValue(Color);
}

// Cells of W x H in rows of colours, each cell cut away where x + y < Cut from a corner.
std::unique_ptr<TBitmap> cells(int W, int H, int Cut, std::initializer_list<std::initializer_list<COLORREF>> Rows)
{
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetPixelFormat(pf24bit);
    bmp->SetSize(W * int(Rows.begin()->size()), H * int(Rows.size()));
    int v = 0;
    for (const auto& row : Rows) {
        int h = 0;
        for (COLORREF colour : row) {
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) {
                    const int cx = std::min(x, W - 1 - x), cy = std::min(y, H - 1 - y);
                    paint(bmp.get(), h * W + x, v * H + y, cx + cy < Cut ? kLime : colour);
                }
            ++h;
        }
        ++v;
    }
    return bmp;
}

template <class T>
T* place(TForm* Form, const char* Name, int Left, int Top, TBitmap* Set, int W, int H)
{
    auto* c = new T(Form);
    c->SetName(Name);
    c->SetParent(Form);
    c->SetBounds(Left, Top, W, H);
    c->SetArtworkSet(Set);
    c->SetArtworked(true);
    c->SetShaped(true);
    c->SetShapeParent(true);
    const std::string name = Name;
    c->OnMouseEnterControl = [name](TObject*, TShiftState, int, int) { say("enter " + name); };
    c->OnMouseExitControl = [name](TObject*, TShiftState, int, int) { say("exit " + name); };
    c->OnMouseCancelled = [name](TObject*) { say("cancel " + name); };
    c->OnMouseUp = [name, Form](TObject*, TMouseButton, TShiftState, int, int) {
        say("up " + name);
        say("window at " + std::to_string(Form->GetLeft()) + " " + std::to_string(Form->GetTop()));
    };
    return c;
}

}  // namespace

int main()
{
    std::string error;
    if (!installDisplayFromEnvironment(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    auto form = std::make_unique<TForm>(nullptr, 0);
    form->SetBorderStyle(bsNone);
    form->SetCaption("Lumo skinned controls");
    form->SetBounds(300, 200, 240, 150);
    form->SetColor(clBlack);

    auto panelArt = cells(240, 80, 12, {{RGB(90, 90, 120)}});
    auto* panel = place<TSkinnedPanel>(form.get(), "Panel", 0, 0, panelArt.get(), 240, 80);
    panel->SetDragable(true);
    panel->SetDragParent(true);

    // Normal, hover, pressed.
    auto buttonArt = cells(48, 32, 8, {{RGB(40, 80, 200), RGB(250, 160, 40), RGB(200, 30, 30)}});
    place<TSkinnedButton>(form.get(), "Button", 20, 100, buttonArt.get(), 48, 32);

    // The same three columns, off above and on below.
    auto switchArt = cells(32, 32, 6,
                           {{RGB(80, 80, 80), RGB(112, 112, 112), RGB(48, 48, 48)},
                            {RGB(32, 160, 32), RGB(64, 208, 64), RGB(16, 128, 16)}});
    auto* sw = place<TSkinnedSwitch>(form.get(), "Switch", 120, 100, switchArt.get(), 32, 32);
    sw->OnStateChange = [sw](TObject*) { say(std::string("state Switch ") + (sw->GetSwitchedOn() ? "on" : "off")); };

    // B: a message box, modal over the window.
    form->SetKeyPreview(true);
    form->OnKeyDown = [](TObject*, WORD& Key, TShiftState) {
        if (Key != 'B')
            return;
        say("box open");
        Application->MessageBox("A message over the window", "Lumo e2e message", MB_OK);
        say("box closed");
    };

    form->Show();
    say("ready");
    MSG msg;
    while (GetMessageA(&msg, 0, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
