#pragma once
// TVidCap on a form of a fresh desktop with the test-pattern camera as driver 0 and a clock
// that stands still (or, for waits that must run out, moves a step at every reading).
#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "avicap/audio/AudioInputTone.h"
#include "avicap/window/CaptureWindow.h"
#include "avicap/avi/Recorder.h"
#include "avicap/testpattern/TestPatternDriver.h"
#include "capture/Registration.h"
#include "capture/Vidcap.h"
#include "framework/Forms.h"
#include "tests/support/DesktopFixture.h"

// A fake clock that moves on by Step microseconds every time it is read.
class SteppingClock : public Clock
{
public:
    explicit SteppingClock(int64_t localMicroseconds) : inner(localMicroseconds) {}
    FakeClock inner;
    std::atomic<int64_t> stepUs{0};

    int64_t monotonicMs() override { return monotonicUs() / 1000; }
    int64_t monotonicUs() override
    {
        step();
        return inner.monotonicUs();
    }
    int64_t localMicroseconds() override
    {
        step();
        return inner.localMicroseconds();
    }
    void advanceMs(int64_t ms) { inner.advanceMs(ms); }

private:
    void step()
    {
        if (int64_t s = stepUs.load())
            inner.advanceUs(s);
    }
};

// Message boxes seen (and closed) while a test runs: caption and monotonic time.
struct SeenBox
{
    std::string caption;
    int64_t atMs;
};
inline std::vector<SeenBox> seenBoxes;

inline void closeMessageBox(HWND, UINT, UINT_PTR, DWORD)
{
    if (TCustomForm* box = Application->ActiveMessageBox()) {
        seenBoxes.push_back({box->GetCaption(), currentClock().monotonicMs()});
        box->SetModalResult(mrOk);
    }
}

class VidcapFixture : public BasicDesktopFixture<SteppingClock>
{
protected:
    std::unique_ptr<TForm> form;
    UINT_PTR boxTimer = 0;

    VidcapFixture() : BasicDesktopFixture(int64_t(12) * 3600 * 1000000) {}

    void SetUp() override
    {
        BasicDesktopFixture::SetUp();   // the test pattern is driver 0
        setCaptureRecorderFactory(makeCaptureRecorderFactory([] { return std::make_unique<ToneAudioInput>(); }));
        Capture::RegisterAll();
        seenBoxes.clear();
        form = std::make_unique<TForm>(nullptr, 0);
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, 800, 600);
        form->Show();
    }

    void TearDown() override
    {
        if (boxTimer)
            KillTimer(0, boxTimer);
        form.reset();
        BasicDesktopFixture::TearDown();
    }

    // A component of the given size on the form (connected to driver 0 by its parenting).
    TVidCap* place(int width = 160, int height = 120, TWinControl* parent = nullptr)
    {
        auto* v = new TVidCap(form.get());
        v->SetBounds(0, 0, width, height);
        v->SetParent(parent ? parent : form.get());
        return v;
    }

    // Moves the clock on, lets the camera deliver what fell due, handles the messages.
    void advance(int ms)
    {
        clock->advanceMs(ms);
        TestPatternDriver::pumpFrames();
        processPendingMessages();
    }

    // From now on the clock moves by itself and message boxes are closed as they appear.
    void closeBoxes(int64_t stepUs = 20000)
    {
        clock->stepUs = stepUs;
        boxTimer = SetTimer(0, 0, 50, &closeMessageBox);
    }

    static RECT windowRect(HWND window)
    {
        RECT r{};
        GetWindowRect(window, &r);
        return r;
    }
    // The capture window's place in its parent's client area.
    static TRect placement(TVidCap* v)
    {
        RECT r = windowRect(v->GetCapWnd());
        POINT origin{0, 0};
        ClientToScreen(v->Handle(), &origin);
        return TRect(r.left - origin.x, r.top - origin.y, r.right - origin.x, r.bottom - origin.y);
    }
};

// A temporary folder removed with its contents at the end of the test.
struct TempDir
{
    std::string path;
    TempDir()
    {
        char pattern[] = "/tmp/vidcap-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
};

// Logs the messages that reach a capture window, then hands them on.
class MessageLog
{
public:
    struct Entry
    {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Entry> entries;
    // Answers instead of the window for the messages it names.
    std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)> override;

    void attach(HWND window)
    {
        window_ = window;
        active() = this;
        previous_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, LONG_PTR(&proc)));
    }
    ~MessageLog()
    {
        if (active() == this)
            active() = nullptr;
        if (window_ && IsWindow(window_))
            SetWindowLongPtrA(window_, GWLP_WNDPROC, LONG_PTR(previous_));
    }
    std::vector<UINT> messages() const
    {
        std::vector<UINT> m;
        for (const Entry& e : entries)
            m.push_back(e.message);
        return m;
    }
    int count(UINT message) const
    {
        int n = 0;
        for (const Entry& e : entries)
            n += e.message == message;
        return n;
    }
    const Entry* last(UINT message) const
    {
        for (auto it = entries.rbegin(); it != entries.rend(); ++it)
            if (it->message == message)
                return &*it;
        return nullptr;
    }

private:
    static MessageLog*& active()
    {
        static MessageLog* log = nullptr;
        return log;
    }
    static LRESULT proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        MessageLog* log = active();
        if (message >= WM_CAP_START && message <= WM_CAP_END) {
            log->entries.push_back({message, wParam, lParam});
            LRESULT result = 0;
            if (log->override && log->override(message, wParam, lParam, result))
                return result;
        }
        return CallWindowProcA(log->previous_, window, message, wParam, lParam);
    }
    HWND window_ = 0;
    WNDPROC previous_ = nullptr;
};
