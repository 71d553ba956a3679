// Recording: Start, Stop, a new file every 30 minutes, the sound switch, and the two shell
// actions on the recordings.
#include "app/AppShell.h"
#include "app/Mainunit.h"
#include "app/VideoFiles.h"
#include "avicap/Vfw.h"
#include "framework/Files.h"

// Marks the window busy while a capture is started or stopped; what arrived meanwhile and
// had to wait (a Stop, a close) is done when the outermost one ends.
class TMainForm::TBusy
{
public:
    explicit TBusy(TMainForm* Form) : FForm(Form) { FForm->FBusy = true; }
    ~TBusy()
    {
        FForm->FBusy = false;
        FForm->RunPending();
    }

private:
    TMainForm* FForm;
};

void TMainForm::RunPending()
{
    if (FStopPending) {
        FStopPending = false;
        StopRecording();
    }
    if (FClosePending) {
        FClosePending = false;
        Close();
    }
}

void TMainForm::BuildVideoFileNames()
{
    TVideoFileNames names = UnusedVideoFileNames(VideoFileNamesAt(Now(), FDocumentsFolder, FVideosFolderName));
    FDateFolder = names.DateFolder;
    FVideoFolder = names.VideoFolder;
    FVideoFileName = names.VideoFileName;
    FVideoFilePath = names.VideoFilePath;
}

bool TMainForm::NextFile(AnsiString& Failure)
{
    if (VidCap->GetRecording())
        VidCap->SetRecording(false);
    // A camera that could not be opened (busy, forbidden) may be free by now.
    if (!VidCap->GetDeviceConnected() && FCameraError != 0)
        VidCap->ConnectDevice(VidCap->GetDeviceIndex());
    const AnsiString dateFolder = FDateFolder, folder = FVideoFolder, name = FVideoFileName, path = FVideoFilePath;
    BuildVideoFileNames();
    FFolderFailed = !FolderExists(FVideoFolder) && !CreateFolderTree(FVideoFolder);
    VidCap->SetFileName(FVideoFilePath);
    VidCap->SetRecording(true);
    if (VidCap->GetRecording())
        return true;
    Failure = FailureReason();
    // Videos and Playback keep to the last file there is.
    if (!FileExists(FVideoFilePath))
        FDateFolder = dateFolder, FVideoFolder = folder, FVideoFileName = name, FVideoFilePath = path;
    return false;
}

AnsiString TMainForm::FailureReason()
{
    if (!VidCap->GetDeviceConnected())
        return CameraTrouble();
    if (FFolderFailed)
        return "CANNOT CREATE FOLDER";
    const int id = VidCap->GetReturn();
    switch (id) {
    case IDS_CAP_CANTOPEN: return "CANNOT WRITE FILE";
    case IDS_CAP_WRITEERROR: return "DISK FULL OR WRITE ERROR";
    case IDS_CAP_OUTOFMEM: return "OUT OF MEMORY";
    case IDS_CAP_COMPRESSOR_ERROR: return "COMPRESSOR FAILED";
    default: break;
    }
    const AnsiString camera = Mainunit::CameraTroubleText(id);
    return camera.empty() ? AnsiString("RECORDING FAILED") : camera;
}

void TMainForm::SetRecordingControls(bool Recording)
{
    for (TCustomActiveSkin* control :
         std::initializer_list<TCustomActiveSkin*>{StartButton, CameraButton, SettingsButton, AudioButton, PlaybackButton})
        control->SetEnabled(!Recording);
}

void TMainForm::StartButtonStateChange(TObject*)
{
    if (FBusy || FClosing) {
        StartButton->SetSwitchedOn(false);
        return;
    }
    if (!FCompressionAsked) {
        VidCap->SetVideoCompression();
        FCompressionAsked = true;
    }
    // The window may have been closed while the dialog was up.
    if (FClosing || FBusy) {
        StartButton->SetSwitchedOn(false);
        return;
    }
    TBusy busy(this);
    SetRecordingControls(true);
    AutoRecordTimer->SetEnabled(true);
    AnsiString failure;
    const bool recording = NextFile(failure);
    StopButton->SetEnabled(true);
    if (recording) {
        ShowRecording();
        return;
    }
    ShowFailure(failure);
}

void TMainForm::ShowRecording()
{
    ShowReport(FVideoFileName, Mainunit::RecordingColor);
    FRecordingShown = true;
    FRecordingWatch->SetEnabled(true);
}

void TMainForm::AutoRecordTimerTimer(TObject*)
{
    if (FBusy || FClosing)
        return;
    TBusy busy(this);
    AnsiString failure;
    if (NextFile(failure))
        return;
    if (CameraLost())
        WaitForCamera();
    else
        ShowFailure(failure);
}

void TMainForm::ShowFailure(const AnsiString& Failure)
{
    AutoRecordTimer->SetEnabled(false);
    FRecordingWatch->SetEnabled(false);
    FRecordingShown = false;
    StartButton->SetSwitchedOn(false);
    StopButton->SetEnabled(false);
    SetRecordingControls(false);
    PlaybackButton->SetEnabled(FileExists(FVideoFilePath));
    ShowReport(Failure, Mainunit::FailureColor);
    // A camera that comes back clears it (VidCapStatus).
    FCameraTroubleShown = Failure == Mainunit::CameraTroubleText(FCameraError);
}

void TMainForm::RecordingWatchTimer(TObject*)
{
    if (FBusy || FClosing || !FRecordingShown || VidCap->GetRecording())
        return;
    if (CameraLost()) {
        WaitForCamera();
        return;
    }
    ShowFailure(FailureReason());
    // Why a recording ended stays, even once the camera is back.
    FCameraTroubleShown = false;
}

// The camera went while recording: the cut file is finished; the recording goes on once the
// camera is back (ResumeTimer).
void TMainForm::WaitForCamera()
{
    FWaitingForCamera = true;
    FRecordingShown = false;
    AutoRecordTimer->SetEnabled(false);
    FRecordingWatch->SetEnabled(false);
    ShowReport(Mainunit::CameraWaitingText, Mainunit::FailureColor);
}

void TMainForm::ResumeTimer()
{
    if (FBusy)
        return;   // a Stop under way: it ends the waiting, or the next tick starts the file
    FResume->SetEnabled(false);
    if (!FWaitingForCamera || FClosing)
        return;
    TBusy busy(this);
    AnsiString failure;
    if (NextFile(failure)) {
        FWaitingForCamera = false;
        // The 30 minutes count from the new file.
        AutoRecordTimer->SetEnabled(false);
        AutoRecordTimer->SetEnabled(true);
        ShowRecording();
    } else if (!CameraLost()) {
        FWaitingForCamera = false;
        ShowFailure(failure);
    }
    // Lost again at once: the capture looks for it as before, and the report still says so.
}

void TMainForm::StopButtonMouseUp(TObject*, TMouseButton, TShiftState, int, int)
{
    if (FBusy) {
        FStopPending = true;
        return;
    }
    StopRecording();
}

void TMainForm::StopRecording()
{
    // Idle: nothing at all. The window may still show a recording that ended by itself, or
    // one waiting for its camera.
    if (!VidCap->GetRecording() && !FRecordingShown && !FWaitingForCamera)
        return;
    TBusy busy(this);
    FWaitingForCamera = false;
    FResume->SetEnabled(false);
    StartButton->SetSwitchedOn(false);
    StopButton->SetEnabled(false);
    // Before the wait, so no tick can start a new file behind "STOPPED".
    AutoRecordTimer->SetEnabled(false);
    FRecordingWatch->SetEnabled(false);
    VidCap->SetRecording(false);
    FRecordingShown = false;
    SetRecordingControls(false);
    ShowReport("STOPPED", Mainunit::StoppedColor);
}

void TMainForm::AudioButtonStateChange(TObject*) { VidCap->SetCaptureAudio(AudioButton->GetSwitchedOn()); }

void TMainForm::VideosButtonMouseUp(TObject*, TMouseButton, TShiftState, int, int)
{
    AppShellExecute(Handle(), "explore", FVideoFolder.c_str(), "", nullptr, SW_RESTORE);
}

void TMainForm::PlaybackButtonMouseUp(TObject*, TMouseButton, TShiftState, int, int)
{
    AppShellExecute(Handle(), "open", FVideoFileName.c_str(), "", FVideoFolder.c_str(), SW_SHOW);
}
