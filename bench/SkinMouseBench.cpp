// Routing the mouse over a window of twenty skinned buttons (shaped, the cursor tested
// against their outlines, every move leaving one button and entering the next, each of
// which picks its cell and starts its fade) beside the same window of twenty plain
// framework buttons, on the headless display. One iteration is a round of twenty moves,
// from the input event to the last message handled.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "PairedReporter.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"
#include "platform/Clock.h"
#include "platform/WindowTree.h"
#include "platform/display/headless/HeadlessDisplay.h"
#include "skins/Skinnedbutton.h"

namespace {

constexpr int kColumns = 5, kRows = 4, kCell = 40, kSize = 32;

// Three cells of 32 x 32 with cut-away corners.
std::unique_ptr<TBitmap> buttonSet()
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf24bit);
    bitmap->SetSize(3 * kSize, kSize);
    for (int y = 0; y < kSize; ++y) {
        auto* row = static_cast<uint8_t*>(bitmap->ScanLine(y));
        for (int x = 0; x < 3 * kSize; ++x) {
            const int cx = std::min(x % kSize, kSize - 1 - x % kSize), cy = std::min(y, kSize - 1 - y);
            const bool cut = cx + cy < 6;
            row[3 * x] = cut ? 0 : uint8_t(x * 5);
            row[3 * x + 1] = cut ? 255 : uint8_t(y * 7);
            row[3 * x + 2] = cut ? 0 : uint8_t(40 + 60 * (x / kSize));
        }
    }
    return bitmap;
}

struct Window
{
    std::shared_ptr<HeadlessDisplay> display = installHeadlessDisplay();
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::unique_ptr<TForm> form;
    std::vector<TPoint> centres;

    Window()
    {
        display->setScreenSize(1280, 1024);
        setClock(clock);
        form = std::make_unique<TForm>(nullptr, 0);
        form->SetBorderStyle(bsNone);
        form->SetBounds(100, 100, kColumns * kCell, kRows * kCell);
        form->Show();
        processPendingMessages();
        for (int i = 0; i < kColumns * kRows; ++i)
            centres.push_back(TPoint(100 + (i % kColumns) * kCell + kSize / 2, 100 + (i / kColumns) * kCell + kSize / 2));
    }
    ~Window()
    {
        SetCaptureControl(nullptr);
        form.reset();
        destroyAllWindows();
        setClock(nullptr);
        installDisplayBackend(nullptr);
    }
    void place(TControl* Control, int Index)
    {
        Control->SetBounds((Index % kColumns) * kCell, (Index / kColumns) * kCell, kSize, kSize);
    }
    // Once over every button: each move leaves one and enters the next.
    void round()
    {
        for (const TPoint& p : centres)
            moveTo(p);
    }
    // Out of line so that a profiler can count what one event costs
    // (valgrind --tool=callgrind --toggle-collect='*Window::moveTo*').
    [[gnu::noinline]] void moveTo(const TPoint& p)
    {
        display->moveMouse(p.X, p.Y);
        processPendingMessages();
    }
};

void Ours(benchmark::State& State, bool Fading)
{
    Window window;
    auto set = buttonSet();
    for (int i = 0; i < kColumns * kRows; ++i) {
        auto* button = new TSkinnedButton(window.form.get());
        button->SetParent(window.form.get());
        window.place(button, i);
        button->SetArtworkSet(set.get());
        button->SetArtworked(true);
        button->SetShaped(true);
        button->SetEnableFading(Fading);
    }
    processPendingMessages();
    window.round();
    for (auto _ : State)
        window.round();
}

void Ref(benchmark::State& State)
{
    Window window;
    for (int i = 0; i < kColumns * kRows; ++i) {
        auto* button = new TButton(window.form.get());
        button->SetParent(window.form.get());
        window.place(button, i);
    }
    processPendingMessages();
    window.round();
    for (auto _ : State)
        window.round();
}

}  // namespace

// As the program's buttons are: a move starts a fade, whose frames come later.
BENCHMARK_CAPTURE(Ours, fading, true)->Name("ours/20 moves over 20 controls")->Unit(benchmark::kMillisecond);
BENCHMARK(Ref)->Name("ref/20 moves over 20 controls")->Unit(benchmark::kMillisecond);
// Without fading every move also draws the two buttons' new cells at once.
BENCHMARK_CAPTURE(Ours, immediate, false)->Name("ours/20 moves, cells drawn at once")->Unit(benchmark::kMillisecond);
BENCHMARK(Ref)->Name("ref/20 moves, cells drawn at once")->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    PairedReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
