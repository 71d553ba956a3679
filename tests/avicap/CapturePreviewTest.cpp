#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "CaptureFixture.h"
#include "framework/BmpFormat.h"

namespace {

struct FrameLog
{
    int calls = 0;
    DWORD bytesUsed = 0;
    std::vector<uint8_t> seen;   // the buffer as the callback left it
    bool paintRed = false;
    bool splitHalves = false;     // left half red, right half blue
    int width = 640;
};
FrameLog frames;

void fill(uint8_t* p, uint8_t b, uint8_t g, uint8_t r)
{
    p[0] = b;
    p[1] = g;
    p[2] = r;
}

LRESULT onFrame(HWND, LPVIDEOHDR header)
{
    ++frames.calls;
    frames.bytesUsed = header->dwBytesUsed;
    for (DWORD i = 0; frames.paintRed && i + 2 < header->dwBytesUsed; i += 3)
        fill(header->lpData + i, 0, 0, 255);
    for (DWORD i = 0; frames.splitHalves && i + 2 < header->dwBytesUsed; i += 3)
        fill(header->lpData + i, 255 * (i / 3 % frames.width >= DWORD(frames.width / 2)), 0,
             255 * (i / 3 % frames.width < DWORD(frames.width / 2)));
    frames.seen.assign(header->lpData, header->lpData + header->dwBytesUsed);
    return TRUE;
}

std::vector<std::pair<int, std::string>> errors;
LRESULT onError(HWND, int id, LPCSTR text)
{
    errors.push_back({id, text ? text : ""});
    return TRUE;
}

class CapturePreview : public CaptureFixture
{
protected:
    void SetUp() override
    {
        CaptureFixture::SetUp();
        frames = FrameLog{};
        errors.clear();
        ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_FRAME, 0, LPARAM(&onFrame)));
        ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_ERROR, 0, LPARAM(&onError)));
    }
};

const uint8_t* pixel(const std::vector<uint8_t>& frame, int width, int height, int x, int yFromTop)
{
    return frame.data() + (size_t(height - 1 - yFromTop) * size_t(width) + size_t(x)) * 3;
}

}  // namespace

TEST_F(CapturePreview, FramesReachTheCallbackBottomUpAtThePreviewRate)
{
    connectPreview(100);
    advance(1);
    ASSERT_EQ(frames.calls, 1);
    EXPECT_EQ(frames.bytesUsed, 640u * 480u * 3u);
    // The first buffer row is the bottom of the picture: plain bar colour there, while the
    // black box behind the clock sits near the top.
    const uint8_t* bottom = pixel(frames.seen, 640, 480, 7, 479);
    const uint8_t* clockBox = pixel(frames.seen, 640, 480, 7, 7);
    EXPECT_EQ(bottom[0] + bottom[1] + bottom[2], 3 * 255);
    EXPECT_EQ(clockBox[0] + clockBox[1] + clockBox[2], 0);

    for (int i = 0; i < 30; ++i)
        advance(34);   // about a second of 30 fps camera frames
    EXPECT_GE(frames.calls, 10);
    EXPECT_LE(frames.calls, 11);
}

TEST_F(CapturePreview, WhatTheCallbackPaintsIsWhatThePreviewShows)
{
    frames.paintRed = true;
    connectPreview();
    advance(1);
    ASSERT_EQ(frames.calls, 1);
    Screenshot shot = display->screenshot(cap);
    EXPECT_EQ(shot.at(10, 10), RGB(255, 0, 0));
    EXPECT_EQ(shot.at(300, 200), RGB(255, 0, 0));
}

TEST_F(CapturePreview, ScalingFitsTheFrameToTheWindowElseNaturalSize)
{
    frames.splitHalves = true;
    connectPreview();
    ASSERT_TRUE(send(WM_CAP_SET_SCALE, TRUE));
    advance(1);
    Screenshot scaled = display->screenshot(cap);
    EXPECT_EQ(scaled.at(100, 100), RGB(255, 0, 0));
    EXPECT_EQ(scaled.at(250, 100), RGB(0, 0, 255));
    ASSERT_TRUE(send(WM_CAP_SET_SCALE, FALSE));
    processPendingMessages();
    Screenshot natural = display->screenshot(cap);
    EXPECT_EQ(natural.at(250, 100), RGB(255, 0, 0));   // the left half of 640 covers 320
}

TEST_F(CapturePreview, CallbacksStopAfterRemoval)
{
    connectPreview();
    advance(1);
    ASSERT_EQ(frames.calls, 1);
    ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_FRAME, 0, 0));
    for (int i = 0; i < 10; ++i)
        advance(50);
    EXPECT_TRUE(send(WM_CAP_GRAB_FRAME_NOSTOP));
    EXPECT_EQ(frames.calls, 1);
}

TEST_F(CapturePreview, GrabNoStopRunsTheCallbackInsideTheSendAndKeepsPreview)
{
    connectPreview();
    frames.paintRed = true;
    ASSERT_TRUE(send(WM_CAP_GRAB_FRAME_NOSTOP));
    EXPECT_EQ(frames.calls, 1);   // no message was handled in between
    EXPECT_EQ(status().fLiveWindow, 1);
    processPendingMessages();
    EXPECT_EQ(display->screenshot(cap).at(5, 5), RGB(255, 0, 0));
    const int before = frames.calls;   // the camera thread may have delivered one meanwhile
    ASSERT_TRUE(send(WM_CAP_GRAB_FRAME));
    EXPECT_EQ(frames.calls, before + 1);
    EXPECT_EQ(status().fLiveWindow, 0);
}

TEST_F(CapturePreview, SavedDibReadsBackAsTheFrame)
{
    ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
    ASSERT_TRUE(send(WM_CAP_GRAB_FRAME_NOSTOP));
    std::string path = ::testing::TempDir() + "lumo_capture_frame.bmp";
    ASSERT_TRUE(send(WM_CAP_FILE_SAVEDIB, 0, LPARAM(path.c_str())));
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    BmpImage image = ReadBmp(bytes.data(), bytes.size());
    ASSERT_EQ(image.Width, 640);
    ASSERT_EQ(image.Height, 480);
    EXPECT_EQ(image.Pixels, frames.seen);   // 640 x 3 needs no row padding

    EXPECT_FALSE(send(WM_CAP_FILE_SAVEDIB, 0, LPARAM("/nonexistent-dir/x.bmp")));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].first, IDS_CAP_ERRORDIBSAVE);
    EXPECT_FALSE(send(WM_CAP_FILE_SAVEDIB, 0, 0));
}

TEST_F(CapturePreview, EditCopyPutsTheFrameOnTheClipboard)
{
    ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
    ASSERT_TRUE(send(WM_CAP_EDIT_COPY));
    EXPECT_EQ(display->clipboardType(), "image/bmp");
    std::vector<uint8_t> bytes = display->clipboardBytes();
    BmpImage image = ReadBmp(bytes.data(), bytes.size());
    EXPECT_EQ(image.Width, 640);
    EXPECT_EQ(image.Pixels, frames.seen);
}

TEST_F(CapturePreview, ASlowInterfaceDropsFramesAndCountsThem)
{
    connectPreview();
    advance(1);
    CaptureWindow* state = findCaptureWindow(cap);
    ASSERT_NE(state, nullptr);
    uint64_t before = state->framesDropped();
    for (int i = 0; i < 5; ++i) {   // the camera goes on while no message is handled
        clock->advanceMs(34);
        TestPatternDriver::pumpFrames();
    }
    EXPECT_EQ(state->framesDropped() - before, 4u);
    processPendingMessages();
    EXPECT_EQ(state->framesDropped() - before, 4u);
}

TEST_F(CapturePreview, ADeviceFailureReachesTheErrorCallbackAndStopsPreview)
{
    connectPreview();
    advance(1);
    findCaptureWindow(cap)->deviceFailed(captureFault(CaptureFault::CameraLost, "unplugged"));
    processPendingMessages();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].first, IDS_CAP_DRIVER_ERROR);
    EXPECT_EQ(errors[0].second, "unplugged");
    EXPECT_EQ(status().fLiveWindow, 0);
}

std::vector<int> statusIds;
LRESULT onStatus(HWND, int id, LPCSTR)
{
    statusIds.push_back(id);
    return TRUE;
}

// A preview the camera's failure stopped comes back by itself once the camera streams again,
// quietly, and says so on the status callback so that a copy of the status is read again.
// A grab that stops the preview, or a failing program callback, ends the looking.
TEST_F(CapturePreview, APreviewLostWithTheCameraResumesUnlessSomethingStoppedItMeanwhile)
{
    statusIds.clear();
    ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_STATUSA, 0, LPARAM(&onStatus)));
    connectPreview();
    advance(1);
    const int framesBefore = frames.calls;
    findCaptureWindow(cap)->deviceFailed(captureFault(CaptureFault::CameraLost, "unplugged"));
    processPendingMessages();
    ASSERT_EQ(status().fLiveWindow, 0);
    advance(kCameraRetryMs);
    EXPECT_EQ(status().fLiveWindow, 1);
    EXPECT_EQ(std::count(statusIds.begin(), statusIds.end(), IDS_CAP_STAT_LIVE_MODE), 1);
    EXPECT_EQ(errors.size(), 1u) << "the loss was reported once";
    advance(200);
    EXPECT_GT(frames.calls, framesBefore);

    // Lost again, then a grab that stops the preview: nothing restarts it.
    findCaptureWindow(cap)->deviceFailed(captureFault(CaptureFault::CameraLost, "unplugged"));
    processPendingMessages();
    EXPECT_TRUE(send(WM_CAP_GRAB_FRAME, 0, 0));
    advance(3 * kCameraRetryMs);
    EXPECT_EQ(status().fLiveWindow, 0);

    // Lost again, then a frame callback that throws: the failure stops everything.
    ASSERT_TRUE(send(WM_CAP_SET_PREVIEW, TRUE, 0));
    advance(100);
    findCaptureWindow(cap)->deviceFailed(captureFault(CaptureFault::CameraLost, "unplugged"));
    processPendingMessages();
    auto throwing = [](HWND, LPVIDEOHDR) -> LRESULT { throw std::runtime_error("bad handler"); };
    ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_FRAME, 0, LPARAM(+throwing)));
    send(WM_CAP_GRAB_FRAME_NOSTOP, 0, 0);   // its frame callback throws
    EXPECT_EQ(errors.back().first, IDS_CAP_CALLBACK_EXCEPTION);
    advance(3 * kCameraRetryMs);
    EXPECT_EQ(status().fLiveWindow, 0);
}

TEST_F(CapturePreview, DisconnectDuringAFrameCallbackIsSafe)
{
    static HWND target;
    target = cap;
    auto disconnecting = [](HWND, LPVIDEOHDR) -> LRESULT {
        SendMessageA(target, WM_CAP_DRIVER_DISCONNECT, 0, 0);
        DestroyWindow(target);
        return TRUE;
    };
    connectPreview();
    ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_FRAME, 0, LPARAM(+disconnecting)));
    advance(1);
    EXPECT_FALSE(IsWindow(cap));
    advance(100);
}
