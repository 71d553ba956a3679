#pragma once
// A display kept entirely in memory: top-level surfaces are pixel buffers that present()
// copies into, input is injected by the caller, the screen size is whatever it is told.
// Every unit test runs on it; with a FakeClock installed, timers fire as the clock advances.
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "platform/display/DisplayBackend.h"

// A copy of a top-level window's presented pixels, as 0x00BBGGRR colours, row by row.
struct Screenshot
{
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;
    COLORREF at(int x, int y) const
    {
        return x >= 0 && y >= 0 && x < width && y < height ? pixels[size_t(y * width + x)]
                                                           : CLR_INVALID;
    }
};

class HeadlessDisplay : public DisplayBackend
{
public:
    // What a screenshot shows where the window's shape cuts the window away.
    static constexpr COLORREF kOutsideShape = 0x00FF00FF;

    HeadlessDisplay();

    // ---- For tests: the screen and injected input (screen coordinates) ----
    void setScreenSize(int width, int height);
    void moveMouse(int x, int y);
    void pressMouse(int x, int y, int button = 0);
    void releaseMouse(int x, int y, int button = 0);
    void click(int x, int y, int button = 0);   // press and release
    void keyDown(int virtualKey);
    void keyUp(int virtualKey);
    void requestClose(HWND window);

    // ---- For tests: what reached the display ----
    // Empty (zero size) when the window has no surface here.
    Screenshot screenshot(HWND window) const;
    bool hasSurface(HWND window) const;
    bool isShown(HWND window) const;
    bool isMinimized(HWND window) const;
    bool isFullScreen(HWND window) const;
    RECT surfaceRect(HWND window) const;
    std::string title(HWND window) const;
    int presentCount(HWND window) const;
    int cursor() const;
    std::vector<HWND> stacking() const;
    std::string clipboardType() const;
    std::vector<uint8_t> clipboardBytes() const;

    // ---- DisplayBackend ----
    void createSurface(HWND window, const RECT& screenRect) override;
    void destroySurface(HWND window) override;
    void placeSurface(HWND window, const RECT& screenRect) override;
    void showSurface(HWND window, bool visible) override;
    void setShape(HWND window, const pixman_region32_t* shape) override;
    void present(HWND window, const PixelSurface& pixels, const pixman_region32_t& damage) override;
    void setTitle(HWND window, const std::string& title) override;
    void setFullScreen(HWND window, bool fullScreen) override;
    void setMinimized(HWND window, bool minimized) override;
    void restack(const std::vector<HWND>& topFirst) override;
    void setCursor(int cursorId) override;
    SIZE screenSize() override;
    bool putClipboard(const std::string& mimeType, std::vector<uint8_t> bytes) override;
    bool nextInput(InputEvent& event) override;
    void waitForInput(int timeoutMs) override;
    void wake() override;

private:
    struct Surface
    {
        RECT rect{};
        bool shown = false;
        bool minimized = false;
        bool fullScreen = false;
        bool shaped = false;
        std::vector<RECT> shape;   // window coordinates, when shaped
        std::string title;
        int width = 0;
        int height = 0;
        std::vector<COLORREF> pixels;
        int presents = 0;
    };
    void inject(InputEvent event);
    const Surface* find(HWND window) const;

    mutable std::mutex mutex_;
    std::condition_variable wakeup_;
    bool woken_ = false;
    std::deque<InputEvent> input_;
    std::map<HWND, Surface> surfaces_;
    std::vector<HWND> stacking_;
    SIZE screen_{1920, 1080};
    int cursor_ = 32512;
    std::string clipboardType_;
    std::vector<uint8_t> clipboardBytes_;
};

// Installs a fresh headless display as the backend in force and answers it.
std::shared_ptr<HeadlessDisplay> installHeadlessDisplay();
