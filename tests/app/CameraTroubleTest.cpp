// Camera troubles through the simulated kernel and the real main window: each says what it
// is in the report, names the failing call on stderr and to the error callback, and the
// camera dialog still lists a camera it cannot use, with why.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>

#include "avicap/V4l2SimCamera.h"
#include "avicap/v4l2/V4l2Driver.h"
#include "framework/ComCtrls.h"
#include "tests/app/MainFormFixture.h"
#include "tests/avicap/AviProbe.h"

namespace {

const std::string kNode = "/dev/video0";

class CameraTrouble : public MainFormFixture
{
protected:
    std::shared_ptr<SimV4l2> sim = std::make_shared<SimV4l2>();

    // The window made anew on the simulated camera as changed; answers what went to stderr.
    std::string reopenWith(const std::function<void(SimNode&)>& change)
    {
        closeForm();
        sim->node(kNode).formats = {{V4L2_PIX_FMT_YUYV, {{160, 120}}, {30}}};
        change(sim->node(kNode));
        setCameraDriver(std::make_shared<V4l2Driver>(sim));
        testing::internal::CaptureStderr();
        makeForm();
        return testing::internal::GetCapturedStderr();
    }
    static std::string listed(WORD index)
    {
        char name[80] = {}, version[80] = {};
        return capGetDriverDescriptionA(index, name, sizeof name, version, sizeof version) ? name : "";
    }
    static SimControl brightness(int value)
    {
        SimControl c;
        c.query.id = V4L2_CID_BRIGHTNESS;
        std::snprintf(reinterpret_cast<char*>(c.query.name), sizeof c.query.name, "Brightness");
        c.query.type = V4L2_CTRL_TYPE_INTEGER;
        c.query.maximum = 255;
        c.query.step = 1;
        c.value = value;
        return c;
    }
    // A frame every 2 s over a long span: the recording takes a camera silent for longer as stalled.
    void feedFrames(int64_t ms)
    {
        const std::vector<uint8_t> grey(160 * 120 * 2, 128);
        for (int64_t t = 0; t < ms; t += 2000) {
            ASSERT_TRUE(sim->pushFrameWait(kNode, grey) && sim->waitTaken(kNode));
            advance(std::min<int64_t>(2000, ms - t), 1000);
        }
    }
    // Unplugged under the recording: the window finishes the file and waits.
    void loseCamera()
    {
        ASSERT_TRUE(form->VidCap->GetRecording()) << report();
        sim->unplug(kNode);
        for (int i = 0; i < 400 && (form->VidCap->GetRecording() || !form->GetWaitingForCamera()); ++i) {
            usleep(5000);   // the camera thread looks in real time
            pump();
        }
        ASSERT_TRUE(form->GetWaitingForCamera()) << report();
        capWaitForFiles(form->VidCap->GetCapWnd());
    }
    static int64_t frames(const std::string& path)
    {
        return aviprobe::number(aviprobe::stream(path, "v:0"), "nb_read_frames");
    }
    void pushFrames(int count)
    {
        const std::vector<uint8_t> grey(160 * 120 * 2, 128);
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(sim->pushFrameWait(kNode, grey) && sim->waitTaken(kNode));
            advance(250);
        }
    }
};

TEST_F(CameraTrouble, EachIsToldAtStartWithItsCallAndTheDialogListsTheCameraWithWhy)
{
    struct Case
    {
        const char* what;
        std::function<void(SimNode&)> change;
        const char* report;
        const char* logged;
        const char* listed;
    };
    const Case cases[] = {
        {"busy at open", [](SimNode& n) { n.openErrno = EBUSY; }, "CAMERA BUSY",
         "open on /dev/video0: Device or resource busy", "Sim Camera (busy)"},
        {"not in the video group", [](SimNode& n) { n.openErrno = EACCES; }, "NO CAMERA ACCESS",
         "open on /dev/video0: Permission denied", "Sim Camera (no access)"},
        {"streamed by another program", [](SimNode& n) { n.heldElsewhere = true; }, "CAMERA BUSY",
         "VIDIOC_S_FMT on /dev/video0: Device or resource busy", "Sim Camera (busy)"},
        {"busy at stream start", [](SimNode& n) { n.streamOnErrno = EBUSY; }, "CAMERA BUSY",
         "VIDIOC_STREAMON on /dev/video0: Device or resource busy", "Sim Camera"},
        {"no format we read", [](SimNode& n) { n.formats = {{V4L2_PIX_FMT_H264, {{640, 480}}, {30}}}; },
         "CAMERA FORMAT NOT SUPPORTED", "offers no picture format Lumo free reads", "Sim Camera"},
        {"too little USB bandwidth", [](SimNode& n) { n.streamOnErrno = ENOSPC; }, "CAMERA ERROR",
         "VIDIOC_STREAMON on /dev/video0: No space left on device", "Sim Camera"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim = std::make_shared<SimV4l2>();
        const std::string log = reopenWith(c.change);
        EXPECT_EQ(report(), c.report);
        TBitmap measure;   // the longest of them fits the report too
        measure.Canvas()->Font()->Assign(form->ReportText->GetFont());
        EXPECT_LE(measure.Canvas()->TextWidth(report()), 140);
        EXPECT_NE(log.find(c.logged), std::string::npos) << log;
        EXPECT_EQ(listed(0), c.listed);
        // Start says the same and leaves the window idle.
        start();
        EXPECT_EQ(report(), c.report);
        EXPECT_FALSE(form->VidCap->GetRecording());
        EXPECT_FALSE(form->StartButton->GetSwitchedOn());
        EXPECT_TRUE(form->StartButton->GetEnabled());
    }
}

// Another program holds the camera while the window starts; once it lets go, the picture
// comes back by itself and Start records. Whether the camera could be opened at all (its
// mode was usable as it was) or not (it had to be set, which a busy camera refuses).
TEST_F(CameraTrouble, ABusyCameraIsUsedOnceTheOtherProgramLetsGo)
{
    REQUIRE_FFMPEG();
    for (bool opened : {true, false}) {
        SCOPED_TRACE(opened ? "opened" : "not opened");
        sim = std::make_shared<SimV4l2>();
        reopenWith([&](SimNode& n) {
            if (opened)
                n.fourcc = V4L2_PIX_FMT_YUYV, n.width = 160, n.height = 120, n.bytesPerLine = 320;
            n.heldElsewhere = true;
        });
        EXPECT_EQ(report(), "CAMERA BUSY");
        EXPECT_EQ(form->VidCap->GetDeviceConnected(), opened);
        std::vector<std::string> errors;
        auto shown = form->VidCap->OnError;
        form->VidCap->OnError = [&](TObject* sender, int id, LPSTR text) {
            errors.push_back(text);
            shown(sender, id, text);
        };
        start();
        EXPECT_EQ(report(), "CAMERA BUSY");
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors.back(), opened ? "VIDIOC_REQBUFS on /dev/video0: Device or resource busy"
                                        : "VIDIOC_S_FMT on /dev/video0: Device or resource busy");

        sim->node(kNode).heldElsewhere = false;
        advance(kCameraRetryMs, 250);   // the window looks for the camera again
        EXPECT_EQ(report(), "STOPPED") << "the trouble is over";
        EXPECT_EQ(listed(0), "Sim Camera") << "our own stream is not another program's";
    }
    start();
    pushFrames(8);
    ASSERT_TRUE(form->VidCap->GetRecording()) << report();
    const std::string path = form->GetVideoFilePath();
    stop();
    EXPECT_GE(aviprobe::number(aviprobe::stream(path, "v:0"), "nb_read_frames"), 6);
}

// The camera goes while only the preview runs: the report says so at once, with the call.
TEST_F(CameraTrouble, ACameraGoneWhilePreviewingIsShownAtOnce)
{
    reopenWith([](SimNode&) {});
    EXPECT_EQ(report(), "STOPPED");
    pushFrames(2);
    std::vector<std::string> errors;
    auto shown = form->VidCap->OnError;
    form->VidCap->OnError = [&](TObject* sender, int id, LPSTR text) {
        errors.push_back(text);
        shown(sender, id, text);
    };
    sim->unplug(kNode);
    for (int i = 0; i < 400 && errors.empty(); ++i) {   // the camera thread looks in real time
        usleep(5000);
        pump();
    }
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "VIDIOC_DQBUF on /dev/video0: No such device");
    EXPECT_EQ(report(), "CAMERA LOST");
}


// The camera goes while recording and the same one comes back, soon or after a long while:
// the cut file is finished and plays, the report says the recording waits, and a new file
// starts by itself within the capture's look-again period, with the brightness the person
// set (the camera came back with its own); the 30 minutes count from the new file.
TEST_F(CameraTrouble, ARecordingCutByALostCameraGoesOnInANewFileWhenTheSameCameraReturns)
{
    REQUIRE_FFMPEG();
    for (int64_t awayMs : {int64_t(5000), int64_t(10 * 60 * 1000)}) {
        SCOPED_TRACE(awayMs);
        sim = std::make_shared<SimV4l2>();
        reopenWith([](SimNode& n) { n.controls = {brightness(128)}; });
        setCaptureDialogHook([](TForm& dialog) {
            if (auto* bar = dynamic_cast<TTrackBar*>(dialog.FindComponent("Control0")))
                bar->SetPosition(200);
            dialog.SetModalResult(mrOk);
        });
        form->VidCap->SetVideoSource();
        ASSERT_EQ(sim->node(kNode).controls[0].value, 200);
        start();
        pushFrames(8);
        const std::string cut = form->GetVideoFilePath();
        EXPECT_EQ(report(), form->GetVideoFileName());
        loseCamera();
        EXPECT_EQ(report(), Mainunit::CameraWaitingText);
        EXPECT_EQ(reportColour(), Mainunit::FailureColor);
        EXPECT_TRUE(form->StartButton->GetSwitchedOn());
        EXPECT_TRUE(form->StopButton->GetEnabled());
        EXPECT_GE(frames(cut), 6) << "the cut file is finished";

        advance(awayMs, 1000);
        EXPECT_EQ(report(), Mainunit::CameraWaitingText);
        EXPECT_FALSE(form->VidCap->GetRecording());
        sim->replug(kNode);
        sim->node(kNode).controls[0].value = 128;
        int64_t waited = 0;
        for (; waited < 3 * kCameraRetryMs && !form->VidCap->GetRecording(); waited += 100)
            advance(100, 100);
        EXPECT_LE(waited, kCameraRetryMs + 100) << "the camera was looked for every " << kCameraRetryMs << " ms";
        const std::string resumed = form->GetVideoFilePath();
        EXPECT_NE(resumed, cut) << "a file of its own";
        EXPECT_EQ(report(), form->GetVideoFileName());
        expectRecording();
        EXPECT_EQ(sim->node(kNode).controls[0].value, 200);

        pushFrames(8);   // 2 s of the new file
        if (awayMs < TMainForm::AutoRecordInterval / 2) {
            // Had the 30 minutes gone on from the cut file, the next would be due already.
            feedFrames(TMainForm::AutoRecordInterval - 3000);
            EXPECT_EQ(form->GetVideoFilePath(), resumed);
            feedFrames(2000);
            EXPECT_NE(form->GetVideoFilePath(), resumed);
        }
        stop();
        EXPECT_EQ(report(), "STOPPED");
        EXPECT_GE(frames(resumed), 6);
        EXPECT_EQ(aviprobe::decodeErrors(cut), "");
        EXPECT_EQ(aviprobe::decodeErrors(resumed), "");
    }
}

// While the recording waits, another camera plugged in at the node is not recorded from
// (stderr says why); a close while waiting exits and leaves the cut file playable. (Stop
// during the wait: MainFormRecording and RecordingFaults.)
TEST_F(CameraTrouble, AWaitingRecordingRefusesAnotherCameraAndEndsOnClose)
{
    REQUIRE_FFMPEG();
    reopenWith([](SimNode&) {});
    start();
    pushFrames(4);
    const std::string cut = form->GetVideoFilePath();
    loseCamera();
    sim->replug(kNode);
    sim->node(kNode).card = "Another Camera";
    testing::internal::CaptureStderr();
    advance(3 * kCameraRetryMs);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("now holds \"Another Camera\""), std::string::npos) << log;
    EXPECT_FALSE(form->VidCap->GetRecording());
    EXPECT_EQ(form->GetVideoFilePath(), cut);
    EXPECT_EQ(report(), Mainunit::CameraWaitingText);

    clickOn(form->CloseButton);
    EXPECT_TRUE(Application->Terminated());
    EXPECT_FALSE(form->GetWaitingForCamera());
    sim->node(kNode).card = SimNode{}.card;
    advance(2 * kCameraRetryMs);
    EXPECT_FALSE(form->VidCap->GetRecording());
    EXPECT_GE(frames(cut), 3);
}

}  // namespace
