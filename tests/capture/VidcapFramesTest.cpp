#include <cstring>
#include <fstream>
#include <iterator>

#include "VidcapFixture.h"
#include "tests/avicap/AviProbe.h"

namespace {

class VidcapFrames : public VidcapFixture
{
protected:
    // A component whose driver reports an image of w x h and grabs nothing (so reading
    // CaptureFrame shows what the copies left).
    TVidCap* withImage(MessageLog& log, int w, int h)
    {
        TVidCap* v = place();
        v->SetPreview(false);
        log.attach(v->GetCapWnd());
        imageOverride(log, w, h);
        v->GetCapStatus();
        return v;
    }
    static void imageOverride(MessageLog& log, int w, int h)
    {
        log.override = [w, h](UINT m, WPARAM size, LPARAM l, LRESULT& r) {
            r = 0;
            if (m == WM_CAP_GRAB_FRAME_NOSTOP)
                return true;
            if (m != WM_CAP_GET_STATUS || !l)
                return false;
            CAPSTATUS s{};
            s.uiImageWidth = uint32_t(w);
            s.uiImageHeight = uint32_t(h);
            std::memcpy(reinterpret_cast<void*>(l), &s, std::min<size_t>(size, sizeof s));
            r = 1;
            return true;
        };
    }

    static std::vector<uint8_t> line(TBitmap* b, int row, int bytes)
    {
        auto* p = static_cast<uint8_t*>(b->ScanLine(row));
        return std::vector<uint8_t>(p, p + bytes);
    }
    static std::vector<uint8_t> iota(int from, int to)
    {
        std::vector<uint8_t> v;
        for (int i = from; i < to; ++i)
            v.push_back(uint8_t(i));
        return v;
    }

    // The first frame of a file as RGB bytes, top row first.
    static std::vector<uint8_t> firstFrame(const std::string& path, const std::string& raw)
    {
        aviprobe::run("ffmpeg -nostdin -v error -y -i '" + path + "' -frames:v 1 -f rawvideo -pix_fmt rgb24 '" + raw + "'");
        std::ifstream in(raw, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(VidcapFrames, FramesAreFlippedIntoBothBitmapsAndBoundedByTheBytesUsed)
{
    MessageLog log;
    TVidCap* v = withImage(log, 4, 2);
    std::vector<uint8_t> buffer = iota(0, 24);
    VIDEOHDR h{};
    h.lpData = buffer.data();
    h.dwBufferLength = h.dwBytesUsed = 24;
    v->UpdateFrameBitmaps(&h);
    EXPECT_TRUE(v->GetFrameUpdated());
    for (TBitmap* b : {v->GetCaptureFrame(), v->GetVideoFrame()}) {
        EXPECT_EQ(b->GetWidth(), 4);
        EXPECT_EQ(b->GetHeight(), 2);
        EXPECT_EQ(line(b, 1, 12), iota(0, 12));   // the buffer's first row is the bottom
        EXPECT_EQ(line(b, 0, 12), iota(12, 24));
    }

    // 15 bytes used: the bottom row whole, one pixel of the top row, the rest kept.
    std::vector<uint8_t> next(24, 0xEE);
    h.lpData = next.data();
    h.dwBytesUsed = 15;
    v->UpdateFrameBitmaps(&h);
    std::vector<uint8_t> top = iota(12, 24);
    std::fill(top.begin(), top.begin() + 3, 0xEE);
    EXPECT_EQ(line(v->GetVideoFrame(), 0, 12), top);
    EXPECT_EQ(line(v->GetCaptureFrame(), 1, 12), std::vector<uint8_t>(12, 0xEE));

    // More bytes claimed than the buffer holds: only the buffer is read.
    std::vector<uint8_t> shortBuffer(15, 0x33);
    h.lpData = shortBuffer.data();
    h.dwBufferLength = 15;
    h.dwBytesUsed = 1000;
    v->UpdateFrameBitmaps(&h);
    top[0] = top[1] = top[2] = 0x33;
    EXPECT_EQ(line(v->GetCaptureFrame(), 0, 12), top);

    // Back into the buffer: flipped again, never past the bytes used.
    std::vector<uint8_t> out(24, 0);
    h.lpData = out.data();
    h.dwBufferLength = 24;
    h.dwBytesUsed = 15;
    v->CopyBackVideoFrame(&h);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 12), std::vector<uint8_t>(12, 0x33));
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 12, out.begin() + 15), std::vector<uint8_t>(3, 0x33));
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 15, out.end()), std::vector<uint8_t>(9, 0));

    // A null buffer copies nothing and still counts as an update.
    h.lpData = nullptr;
    v->UpdateFrameBitmaps(&h);
    v->CopyBackVideoFrame(&h);
    EXPECT_TRUE(v->GetFrameUpdated());
}

TEST_F(VidcapFrames, ANewImageSizeOrFormatIsTakenBeforeTheCopy)
{
    MessageLog log;
    TVidCap* v = withImage(log, 4, 2);
    VIDEOHDR none{};
    v->UpdateFrameBitmaps(&none);   // a first frame, so reading CaptureFrame does not wait
    v->GetVideoFrame()->SetPixelFormat(pf8bit);
    int changes = 0;
    v->GetCaptureFrame()->OnChange = [&](TObject*) { ++changes; };
    std::vector<uint8_t> buffer(3 * 6 * 3, 7);
    VIDEOHDR h{};
    h.lpData = buffer.data();
    h.dwBufferLength = h.dwBytesUsed = DWORD(buffer.size());
    imageOverride(log, 6, 3);
    v->GetCapStatus();
    changes = 0;
    v->UpdateFrameBitmaps(&h);
    for (TBitmap* b : {v->GetCaptureFrame(), v->GetVideoFrame()}) {
        EXPECT_EQ(b->GetPixelFormat(), pf24bit);
        EXPECT_EQ(b->GetWidth(), 6);
        EXPECT_EQ(b->GetHeight(), 3);
        EXPECT_EQ(line(b, 0, 18), std::vector<uint8_t>(18, 7));
    }
    EXPECT_GE(changes, 1);   // the pixels' change is announced
}

TEST_F(VidcapFrames, DrawingOnVideoFrameChangesThePreviewButCaptureFrameDoesNot)
{
    TVidCap* v = place(160, 120);
    v->OnFrame = [v](TObject*, LPVIDEOHDR) {
        // Top-left quarter red in VideoFrame, bottom-right quarter green in CaptureFrame
        // (read inside the event: no second grab, which would run this handler again).
        TCanvas* c = v->GetVideoFrame()->Canvas();
        c->Brush()->SetColor(clRed);
        c->FillRect(TRect(0, 0, 320, 240));
        TCanvas* k = v->GetCaptureFrame()->Canvas();
        k->Brush()->SetColor(clLime);
        k->FillRect(TRect(320, 240, 640, 480));
    };
    for (int i = 0; i < 4; ++i)
        advance(100);
    Screenshot shot = display->screenshot(form->Handle());
    EXPECT_EQ(shot.at(20, 20), RGB(255, 0, 0));
    EXPECT_NE(shot.at(140, 100), RGB(0, 255, 0));
    // The frame buffer that was shown carries the red pixels; the bitmap for readers keeps
    // its own drawing.
    EXPECT_EQ(static_cast<uint8_t*>(v->GetCaptureFrame()->ScanLine(479))[639 * 3 + 1], 255);
}

TEST_F(VidcapFrames, DrawingInTheHandlersChangesTheRecordedFrames)
{
    REQUIRE_FFMPEG();
    TempDir dir;
    TVidCap* v = place(160, 120);
    v->SetCaptureAudio(false);
    auto paintRed = [v](TObject*, LPVIDEOHDR) {
        TCanvas* c = v->GetVideoFrame()->Canvas();
        c->Brush()->SetColor(clRed);
        c->FillRect(TRect(0, 0, 64, 64));
    };
    // Continuous recording: frames pass the video-stream callback.
    v->OnVideoStream = paintRed;
    const std::string clip = dir.path + "/stream.avi";
    v->SetFileName(clip);
    v->SetRecording(true);
    ASSERT_TRUE(v->GetRecording());
    for (int i = 0; i < 6; ++i)
        advance(250);
    v->SetRecording(false);
    std::vector<uint8_t> rgb = firstFrame(clip, dir.path + "/stream.raw");
    ASSERT_EQ(rgb.size(), 640u * 480 * 3);
    EXPECT_GT(rgb[(10 * 640 + 10) * 3], 200);       // red, top-left
    EXPECT_LT(rgb[(10 * 640 + 10) * 3 + 1], 60);

    // Single frames: SaveFrame grabs through the frame callback, so OnFrame draws on them.
    v->OnVideoStream = nullptr;
    v->OnFrame = paintRed;
    v->SetStopGap(true);
    const std::string steps = dir.path + "/steps.avi";
    v->SetFileName(steps);
    v->SetRecording(true);
    ASSERT_TRUE(v->GetRecording());
    v->SaveFrame();
    v->SaveFrame();
    v->SetRecording(false);
    rgb = firstFrame(steps, dir.path + "/steps.raw");
    ASSERT_EQ(rgb.size(), 640u * 480 * 3);
    EXPECT_GT(rgb[(10 * 640 + 10) * 3], 200);
    EXPECT_LT(rgb[(10 * 640 + 10) * 3 + 1], 60);
    // Outside the square the camera's picture is left alone (its top-left is not red).
    EXPECT_FALSE(rgb[(100 * 640 + 100) * 3] > 200 && rgb[(100 * 640 + 100) * 3 + 1] < 60 &&
                 rgb[(100 * 640 + 100) * 3 + 2] < 60);
}

TEST_F(VidcapFrames, CaptureFrameGrabsAFreshFrameAtOnce)
{
    TVidCap* v = place();
    v->SetPreview(false);
    EXPECT_FALSE(v->GetFrameUpdated());
    closeBoxes();
    TBitmap* b = v->GetCaptureFrame();
    EXPECT_EQ(b, v->GetCaptureFrame());
    EXPECT_TRUE(v->GetFrameUpdated());
    EXPECT_EQ(b->GetWidth(), 640);
    EXPECT_EQ(b->GetHeight(), 480);
    EXPECT_TRUE(seenBoxes.empty());
}

TEST_F(VidcapFrames, CaptureFrameWithoutAnyFrameComplainsOnceAfterFiveSeconds)
{
    TVidCap* v = place();
    v->DisconnectDevice();
    closeBoxes();
    const int64_t start = clock->inner.monotonicMs();
    // A step back of the wall clock must not stretch the wait.
    clock->inner.setLocalMicroseconds(0);
    TBitmap* b = v->GetCaptureFrame();
    EXPECT_TRUE(b->GetEmpty());
    ASSERT_EQ(seenBoxes.size(), 1u);
    EXPECT_EQ(seenBoxes[0].caption, "Velkor Error");
    EXPECT_GE(seenBoxes[0].atMs - start, 5000);
    EXPECT_LT(seenBoxes[0].atMs - start, 8000);
}

}  // namespace
