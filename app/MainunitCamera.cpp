// The camera's state in the report: a camera another program holds, one this user may not
// open, one whose formats the program cannot read, one that went away. The capture says
// which through its error callback and dwReturn; the report says it until the camera works.
// A camera lost while recording does not end the person's recording: the cut file is
// finished, the window waits (the capture looks for the camera every few seconds), and the
// recording goes on in a new file once the same camera streams again.
#include "app/Mainunit.h"
#include "avicap/CaptureDriver.h"
#include "avicap/Vfw.h"

AnsiString Mainunit::CameraTroubleText(int Id)
{
    switch (Id) {
    case IDS_CAP_CAMERA_BUSY: return "CAMERA BUSY";
    case IDS_CAP_CAMERA_DENIED: return "NO CAMERA ACCESS";
    case IDS_CAP_CAMERA_UNSUPPORTED: return "CAMERA FORMAT NOT SUPPORTED";
    case IDS_CAP_CAMERA_ERROR: return "CAMERA ERROR";
    case IDS_CAP_VIDEO_OPEN_ERROR: return "NO CAMERA";
    case IDS_CAP_DRIVER_ERROR: return "CAMERA LOST";
    default: return {};
    }
}

namespace {

// As often as the capture looks for a lost camera.
constexpr unsigned CameraRetryInterval = 2000;
// The next file starts just after the callback that said the camera is back.
constexpr unsigned ResumeDelay = 10;

}   // namespace

void TMainForm::WatchCamera()
{
    FCameraRetry = new TTimer(this);
    FCameraRetry->SetEnabled(false);
    FCameraRetry->SetInterval(CameraRetryInterval);
    FCameraRetry->SetOnTimer([this](TObject*) { CameraRetryTimer(); });
    FResume = new TTimer(this);
    FResume->SetEnabled(false);
    FResume->SetInterval(ResumeDelay);
    FResume->SetOnTimer([this](TObject*) { ResumeTimer(); });
    VidCap->OnError = [this](TObject*, int Id, LPSTR Text) { VidCapError(Id, Text); };
    VidCap->OnStatus = [this](TObject*, int Id, LPSTR) { VidCapStatus(Id); };
    // The camera was opened while the window was being read, before anyone listened: ask
    // again, so that a camera that failed then says why now.
    if (!VidCap->GetDeviceConnected())
        VidCap->ConnectDevice(VidCap->GetDeviceIndex());
    else if (const int id = VidCap->GetReturn(); !Mainunit::CameraTroubleText(id).empty())
        VidCapError(id, "");
}

// Outside a recording the report shows the trouble at once; while recording, or while a
// start is under way, the recording's own report says it.
void TMainForm::VidCapError(int Id, const char*)
{
    const AnsiString text = Mainunit::CameraTroubleText(Id);
    if (text.empty())
        return;
    FCameraError = Id;
    // A camera busy when it was to be opened has no preview to come back by itself: look
    // for it here. One opened but busy at streaming is looked for by the capture.
    if (Id == IDS_CAP_CAMERA_BUSY && !VidCap->GetDeviceConnected())
        FCameraRetry->SetEnabled(true);
    if (Id == IDS_CAP_DRIVER_ERROR && FRecordingShown && !FBusy && !FClosing) {
        WaitForCamera();
        return;
    }
    if (FBusy || FRecordingShown || FWaitingForCamera || FClosing)
        return;
    ShowReport(text, Mainunit::FailureColor);
    FCameraTroubleShown = true;
}

// The preview came back by itself (the other program let the camera go, the camera was
// plugged in again): the trouble is over.
void TMainForm::VidCapStatus(int Id)
{
    if (Id != IDS_CAP_STAT_LIVE_MODE)
        return;
    FCameraError = 0;
    if (FWaitingForCamera)
        FResume->SetEnabled(true);
    if (FCameraTroubleShown)
        ShowReport(FReportIdle, FReportColour);
}

// Quietly: the list says whether the camera is still busy, and only a free one is opened
// (opening a busy one would report it again).
void TMainForm::CameraRetryTimer()
{
    if (VidCap->GetDeviceConnected() || FCameraError != IDS_CAP_CAMERA_BUSY) {
        FCameraRetry->SetEnabled(false);
        return;
    }
    if (FBusy || FClosing || FRecordingShown || FWaitingForCamera)
        return;
    const int index = VidCap->GetDeviceIndex();
    const std::vector<CaptureDeviceInfo> devices = listCaptureDevices();
    if (index < 0 || size_t(index) >= devices.size() || devices[size_t(index)].state == CaptureDeviceInfo::Busy)
        return;
    FCameraError = 0;
    if (VidCap->ConnectDevice(index) && FCameraError == 0) {
        FCameraRetry->SetEnabled(false);
        if (FCameraTroubleShown)
            ShowReport(FReportIdle, FReportColour);
    }
}

// Why there is no camera to record from: what the capture said when it failed to open it.
AnsiString TMainForm::CameraTrouble()
{
    const AnsiString text = Mainunit::CameraTroubleText(FCameraError);
    return text.empty() || FCameraError == IDS_CAP_DRIVER_ERROR ? AnsiString("NO CAMERA") : text;
}

bool TMainForm::CameraLost() { return VidCap->GetDeviceConnected() && VidCap->GetReturn() == IDS_CAP_DRIVER_ERROR; }
