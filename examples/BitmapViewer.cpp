// A small viewer built on TBitmapPreview: opens a BMP file in a window the picture fills.
//   BitmapViewer FILE.bmp
// Mouse: the wheel zooms, dragging scrolls the picture by hand. Keys: + and - zoom, F fits
// and centres the whole picture, C centres it, 0, 1 and 2 choose the resampling quality
// (nearest pixel, whole-pixel averages, area averages), Q or Escape quits.
// After each action it prints one line: the zoom, the origin and the client area on the
// screen, so a script can follow it. A file that cannot be read gives a message on standard
// error and exit code 1.
#include <cmath>
#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "framework/Forms.h"
#include "platform/display/DisplayBackend.h"
#include "preview/Bitmappreview.h"

namespace {

constexpr double kZoomStep = 1.25;

// The preview, with the wheel (which the window layer sends to the window under the
// mouse when nothing has the focus) passed to the viewer.
class TViewerPreview : public TBitmapPreview
{
public:
    using TBitmapPreview::TBitmapPreview;
    std::function<void(int Steps)> OnWheel;

    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == WM_MOUSEWHEEL && OnWheel) {
            OnWheel(int16_t(HIWORD(Message.WParam)) / 120);
            return;
        }
        TBitmapPreview::WndProc(Message);
    }
};

class TViewerForm : public TForm
{
public:
    explicit TViewerForm(TComponent* AOwner) : TForm(AOwner, 0) {}

    void Open(TBitmap* Picture, const std::string& Name)
    {
        SetBorderStyle(bsSizeable);
        SetCaption(("Bitmap viewer - " + Name).c_str());
        SetBounds(80, 60, 660, 520);
        SetClientWidth(640);
        SetClientHeight(480);
        SetKeyPreview(true);
        FPreview = new TViewerPreview(this);
        FPreview->SetAlign(alClient);
        FPreview->SetParent(this);
        FPreview->SetQualityLevel(2);
        FPreview->SetHandScrollable(true);
        FPreview->SetBitmap(Picture);
        FPreview->SetCenterFitFrame(true);
        FPreview->OnWheel = [this](int steps) { Zoom(steps); };
        FPreview->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) { Report("scrolled"); };
        OnKeyDown = [this](TObject*, WORD& Key, TShiftState) { KeyDownHandler(Key); };
    }

    void Report(const char* What)
    {
        TPoint client = FPreview->ClientToScreen(TPoint(0, 0));
        std::printf("%s zoom=%g origin=%g,%g quality=%d client=%d,%d,%d,%d\n", What, FPreview->GetZoom(),
                    FPreview->GetOriginX(), FPreview->GetOriginY(), FPreview->GetQualityLevel(), client.X,
                    client.Y, FPreview->GetWidth(), FPreview->GetHeight());
        std::fflush(stdout);
    }

    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == WM_MOUSEWHEEL) {
            Zoom(int16_t(HIWORD(Message.WParam)) / 120);
            return;
        }
        TForm::WndProc(Message);
    }

private:
    void Zoom(int Steps)
    {
        if (Steps == 0)
            return;
        FPreview->SetZoom(FPreview->GetZoom() * std::pow(kZoomStep, Steps));
        Report("zoomed");
    }

    void KeyDownHandler(WORD& Key)
    {
        switch (Key) {
        case VK_ADD:
        case VK_OEM_PLUS:
            Zoom(1);
            break;
        case VK_SUBTRACT:
        case VK_OEM_MINUS:
            Zoom(-1);
            break;
        case 'F':
            // Modes already in force are not applied again: start from none.
            FPreview->ClearAlignments();
            FPreview->SetCenterFitFrame(true);
            Report("fitted");
            break;
        case 'C':
            FPreview->ClearAlignments();
            FPreview->SetCenterFrame(true);
            Report("centred");
            break;
        case '0':
        case '1':
        case '2':
            FPreview->SetQualityLevel(Key - '0');
            Report("quality");
            break;
        case 'Q':
        case VK_ESCAPE:
            Close();
            break;
        default:
            return;
        }
        Key = 0;
    }

    TViewerPreview* FPreview = nullptr;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: BitmapViewer FILE.bmp\n");
        return 2;
    }
    const std::string path = argv[1];
    auto picture = std::make_unique<TBitmap>();
    try {
        picture->LoadFromFile(path.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "BitmapViewer: cannot read '%s' as a BMP picture: %s\n", path.c_str(), e.what());
        return 1;
    }
    if (picture->GetEmpty()) {
        std::fprintf(stderr, "BitmapViewer: '%s' holds an empty picture\n", path.c_str());
        return 1;
    }
    std::string error;
    if (!installDisplayFromEnvironment(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    try {
        Bitmappreview::Register();
        Application->Initialize();
        Application->SetTitle("Bitmap viewer");
        Application->OnException = [](TObject*, const Exception& e) {
            std::fprintf(stderr, "BitmapViewer: %s\n", e.what());
        };
        TViewerForm* form = nullptr;
        Application->CreateForm(form);
        form->Open(picture.get(), path.substr(path.find_last_of('/') + 1));
        form->Show();
        Application->ProcessMessages();
        form->Report("ready");
        Application->Run();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "BitmapViewer: %s\n", e.what());
        return 1;
    }
}
