// Camera troubles through the simulated kernel and the real main window: each says what it
// is in the report, names the failing call on stderr and to the error callback, and the
// camera dialog still lists a camera it cannot use, with why.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>

#include "avicap/V4l2SimCamera.h"
#include "avicap/v4l2/V4l2Driver.h"
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


// The camera goes while recording and comes back: the picture returns, and the report keeps
// why the recording ended, for whoever comes back to the window later.
TEST_F(CameraTrouble, ARecordingCutByALostCameraKeepsItsReasonWhenTheCameraReturns)
{
    reopenWith([](SimNode&) {});
    start();
    pushFrames(4);
    ASSERT_TRUE(form->VidCap->GetRecording()) << report();
    sim->unplug(kNode);
    for (int i = 0; i < 400 && form->VidCap->GetRecording(); ++i) {
        usleep(5000);
        pump();
    }
    advance(TMainForm::RecordingWatchInterval, 250);
    EXPECT_EQ(report(), "CAMERA LOST");
    sim->replug(kNode);
    advance(kCameraRetryMs, 250);
    pushFrames(2);
    EXPECT_TRUE(form->VidCap->GetPreview()) << "the picture is back";
    EXPECT_EQ(report(), "CAMERA LOST");
}

}  // namespace
