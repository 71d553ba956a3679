// The recorder seam: what a recorder receives and how its state reaches the status.
#include "CaptureFixture.h"

namespace {

struct RecorderLog
{
    CaptureSession session;
    int frames = 0;
    bool capturing = false;
    LRESULT streamAnswer = 0;
};
RecorderLog recorded;

int streamCalls = 0;
LRESULT onVideoStream(HWND, LPVIDEOHDR header)
{
    ++streamCalls;
    return header->dwBytesUsed == 640u * 480u * 3u;
}

class FakeRecorder : public CaptureRecorder
{
public:
    bool start(const CaptureSession& session, CaptureRecorderHost& host) override
    {
        recorded.session = session;
        recorded.capturing = true;
        host_ = &host;
        return true;
    }
    bool stop(bool) override
    {
        bool was = recorded.capturing;
        recorded.capturing = false;
        return was;
    }
    bool singleFrameOpen(const CaptureSession&, CaptureRecorderHost&) override { return false; }
    bool singleFrame(const VIDEOHDR&) override { return false; }
    bool singleFrameClose() override { return false; }
    void videoFrame(VIDEOHDR& frame) override
    {
        ++recorded.frames;
        recorded.streamAnswer = host_->videoStream(&frame);
    }
    bool capturing() const override { return recorded.capturing; }
    void fillStatus(CAPSTATUS& status) const override
    {
        status.fCapturingNow = recorded.capturing;
        status.dwCurrentVideoFrame = DWORD(recorded.frames);
    }
    bool allocateFile(const std::string&, DWORD) override { return false; }
    bool saveAs(const std::string&, const std::string&) override { return false; }
    bool setInfoChunk(const void*) override { return false; }

private:
    CaptureRecorderHost* host_ = nullptr;
};

class CaptureSeam : public CaptureFixture
{
protected:
    void installRecorder() override { setCaptureRecorderFactory([] { return std::make_unique<FakeRecorder>(); }); }

    void SetUp() override
    {
        recorded = RecorderLog{};
        streamCalls = 0;
        CaptureFixture::SetUp();
    }
};

}  // namespace

TEST_F(CaptureSeam, SequenceHandsTheSettingsOverAndStreamsToTheRecorder)
{
    ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
    ASSERT_TRUE(send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, LPARAM("/tmp/out.avi")));
    CAPTUREPARMS parms{};
    ASSERT_TRUE(send(WM_CAP_GET_SEQUENCE_SETUP, &parms));
    parms.dwRequestMicroSecPerFrame = 250000;
    ASSERT_TRUE(send(WM_CAP_SET_SEQUENCE_SETUP, &parms));
    ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_VIDEOSTREAM, 0, LPARAM(&onVideoStream)));

    ASSERT_TRUE(send(WM_CAP_SEQUENCE));
    EXPECT_EQ(recorded.session.fileName, "/tmp/out.avi");
    EXPECT_TRUE(recorded.session.toFile);
    EXPECT_EQ(recorded.session.parms.dwRequestMicroSecPerFrame, 250000u);
    const LONG width = recorded.session.videoFormat.biWidth;   // a packed member
    EXPECT_EQ(width, 640);
    EXPECT_EQ(recorded.session.compression, VideoCompression{});
    EXPECT_EQ(status().fCapturingNow, 1);
    EXPECT_FALSE(send(WM_CAP_SEQUENCE));   // one capture at a time
    // Callbacks cannot change under a running capture.
    EXPECT_FALSE(send(WM_CAP_SET_CALLBACK_FRAME, 0, 0));

    // Recording streams without preview.
    advance(1);
    advance(34);
    EXPECT_EQ(recorded.frames, 2);
    EXPECT_EQ(streamCalls, 2);
    EXPECT_EQ(recorded.streamAnswer, TRUE);
    EXPECT_EQ(status().dwCurrentVideoFrame, 2u);

    ASSERT_TRUE(send(WM_CAP_STOP));
    EXPECT_EQ(status().fCapturingNow, 0);
    advance(100);
    EXPECT_EQ(recorded.frames, 2);   // streaming ended with the capture
}

TEST_F(CaptureSeam, NoFileSequenceAndDisconnectEndTheCapture)
{
    ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
    ASSERT_TRUE(send(WM_CAP_SEQUENCE_NOFILE));
    EXPECT_FALSE(recorded.session.toFile);
    ASSERT_TRUE(send(WM_CAP_DRIVER_DISCONNECT));
    EXPECT_FALSE(recorded.capturing);
}
