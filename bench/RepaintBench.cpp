// Repainting a full-screen form of standard controls on the headless display: everything
// invalidated, then the messages handled until every window has painted and the result has
// been presented. Reports milliseconds per repaint.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"
#include "platform/display/headless/HeadlessDisplay.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// 10 panels holding two labels and a button each, 9 labels on the form and a combo box:
// 50 controls, 22 of them with windows of their own.
std::unique_ptr<TForm> fiftyControls()
{
    auto form = std::make_unique<TForm>(nullptr, 0);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, kWidth, kHeight);
    form->SetColor(clBtnFace);
    for (int i = 0; i < 10; ++i) {
        auto* panel = new TPanel(form.get());
        panel->SetBounds(20 + (i % 5) * 370, 20 + (i / 5) * 420, 350, 400);
        panel->SetBevelInner(bvLowered);
        panel->SetCaption("Panel " + std::to_string(i));
        panel->SetParent(form.get());
        for (int j = 0; j < 2; ++j) {
            auto* label = new TLabel(form.get());
            label->SetBounds(12, 12 + j * 24, 0, 0);
            label->SetCaption("Frames captured: " + std::to_string(i * 100 + j));
            label->SetParent(panel);
        }
        auto* button = new TButton(form.get());
        button->SetBounds(260, 360, 75, 25);
        button->SetCaption("Record");
        button->SetParent(panel);
    }
    for (int i = 0; i < 9; ++i) {
        auto* label = new TLabel(form.get());
        label->SetBounds(20 + i * 200, 880, 0, 0);
        label->SetCaption("Status line " + std::to_string(i));
        label->SetParent(form.get());
    }
    auto* combo = new TComboBox(form.get());
    combo->SetBounds(20, 920, 200, 21);
    for (const char* item : {"Camera 0", "Camera 1", "Test pattern"})
        combo->GetItems()->Add(item);
    combo->SetItemIndex(2);
    combo->SetParent(form.get());
    form->Show();
    processPendingMessages();
    return form;
}

void BM_RepaintFullScreenForm(benchmark::State& state)
{
    auto display = installHeadlessDisplay();
    display->setScreenSize(kWidth, kHeight);
    auto form = fiftyControls();
    HWND window = form->Handle();
    int presentsBefore = display->presentCount(window);
    for (auto _ : state) {
        RedrawWindow(window, nullptr, 0, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        processPendingMessages();
    }
    if (display->presentCount(window) - presentsBefore < int(state.iterations()))
        state.SkipWithError("a repaint did not reach the display");
    state.counters["controls"] = form->ComponentCount();
    form.reset();
    installDisplayBackend(nullptr);
}
BENCHMARK(BM_RepaintFullScreenForm)->Unit(benchmark::kMillisecond);

}   // namespace

BENCHMARK_MAIN();
