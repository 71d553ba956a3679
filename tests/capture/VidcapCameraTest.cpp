// TVidCap against the kernel's vivid test camera as /dev/video0, in the virtual machine of
// scripts/vm-tests.sh, on the real clock. Skipped anywhere else.

#include <chrono>
#include <thread>

#include "VidcapFixture.h"
#include "avicap/v4l2/V4l2Driver.h"
#include "tests/avicap/AviProbe.h"
#include "tests/avicap/Vivid.h"

namespace {

using namespace std::chrono_literals;

class VidcapCamera : public DesktopFixture
{
protected:
    std::unique_ptr<TForm> form;
    TVidCap* v = nullptr;
    std::vector<std::pair<int, std::string>> errors;
    std::string describeErrors() const
    {
        std::string all = "errors:";
        for (const auto& [id, text] : errors)
            all += " [" + std::to_string(id) + "] " + text;
        return all;
    }

    void SetUp() override
    {
        if (!vivid::isFirstCamera())
            GTEST_SKIP() << "skipped: /dev/video0 is not the vivid camera";
        DesktopFixture::SetUp();
        setClock(nullptr);
        setCameraDriver(std::make_shared<V4l2Driver>());
        setCaptureRecorderFactory(makeCaptureRecorderFactory(createAlsaAudioInput));
        Capture::RegisterAll();
        form = std::make_unique<TForm>(nullptr, 0);
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, 400, 300);
        form->Show();
        v = new TVidCap(form.get());
        v->SetBounds(0, 0, 320, 240);
        v->SetCaptureAudio(false);
        v->SetFrameRate(4.0f);
        v->OnError = [this](TObject*, int id, LPSTR text) { errors.push_back({id, text ? text : ""}); };
        v->SetParent(form.get());
    }

    void TearDown() override
    {
        form.reset();
        DesktopFixture::TearDown();
    }

    // Handles messages for a while of real time.
    static void pumpFor(std::chrono::milliseconds span)
    {
        auto until = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < until) {
            Application->ProcessMessages();
            std::this_thread::sleep_for(10ms);
        }
    }
};

TEST_F(VidcapCamera, ConnectsAsDriverZeroAndPreviews)
{
    ASSERT_TRUE(v->GetDeviceConnected());
    EXPECT_EQ(v->GetDeviceIndex(), 0);
    EXPECT_NE(v->GetDriverName(), "Lumo Test Pattern");
    EXPECT_GT(v->GetImageWidth(), 0);
    pumpFor(1500ms);
    EXPECT_TRUE(v->GetFrameUpdated());
    EXPECT_EQ(v->GetVideoFrame()->GetWidth(), v->GetImageWidth());
    EXPECT_EQ(v->GetVideoFrame()->GetHeight(), v->GetImageHeight());
}

TEST_F(VidcapCamera, RecordsTwoSecondsThatFfprobeReads)
{
    const std::string path = aviprobe::tempDir() + "/vivid.avi";
    v->SetFileName(path);
    v->SetRecording(true);
    ASSERT_TRUE(v->GetRecording()) << describeErrors();
    pumpFor(2000ms);
    v->SetRecording(false);
    EXPECT_FALSE(v->GetRecording());
    EXPECT_TRUE(errors.empty());
    capWaitForFiles(v->GetCapWnd());   // the writer finishes the file on its own thread
    auto video = aviprobe::stream(path, "v:0");
    EXPECT_EQ(video.count("error"), 0u) << video["error"];
    EXPECT_EQ(video["r_frame_rate"], "4/1");
    EXPECT_GE(aviprobe::number(video, "nb_read_frames"), 4);
}

// Last: the camera is gone for a moment afterwards.
TEST_F(VidcapCamera, DisconnectMidRecordingEndsRecordingWithAnError)
{
    const std::string path = aviprobe::tempDir() + "/vivid-unplug.avi";
    v->SetFileName(path);
    v->SetRecording(true);
    ASSERT_TRUE(v->GetRecording()) << describeErrors();
    pumpFor(1000ms);
    if (!vivid::pressDisconnect()) {
        v->SetRecording(false);
        GTEST_SKIP() << "skipped: the camera has no Disconnect control";
    }
    // Recording turns false by itself (no statistics getter is read here).
    auto pressed = std::chrono::steady_clock::now();
    while (v->GetRecording() && std::chrono::steady_clock::now() - pressed < 10s)
        pumpFor(50ms);
    EXPECT_FALSE(v->GetRecording());
    ASSERT_FALSE(errors.empty());
    EXPECT_FALSE(errors.front().second.empty());
    v->SetRecording(false);   // returns at once
}

}  // namespace
