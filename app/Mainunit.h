#pragma once
// Unit Mainunit: the main window. A frameless window of skinned panels around the live camera
// picture, in a compact form (148 x 348) or with the picture filling the screen and the two
// control panels floating over it; it records into dated folders under the documents folder.
//
// Split by concern: Mainunit.cpp (construction, the buttons that are not about recording,
// closing), MainunitModes.cpp (compact and full-screen layouts), MainunitRecording.cpp
// (Start, Stop, the 30-minute files, Audio, Videos, Playback), MainunitCamera.cpp (what the
// report says when the camera is busy, forbidden, unreadable or gone, and a recording that
// waits for a lost camera and goes on by itself, in a new file, once it is back).
//
// Setting Recording of VidCap waits and handles messages meanwhile, so clicks and timer ticks
// can arrive while Start, Stop or a new file is under way: FBusy turns those away (a Stop or
// a close that arrives then is done as soon as the work in progress ends).
#include "capture/Vidcap.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"
#include "skins/Skinnedbutton.h"
#include "skins/Skinnedpanel.h"
#include "skins/Skinnedswitch.h"

class TSettingsForm;

class TMainForm : public TForm
{
public:
    explicit TMainForm(TComponent* Owner);
    ~TMainForm() override;
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    // Published components, in declaration order.
    TTimer* AutoRecordTimer = nullptr;
    TSkinnedPanel* TopPanel = nullptr;
    TSkinnedPanel* MiddlePanel = nullptr;
    TSkinnedPanel* VidCapFrameTopLeft = nullptr;
    TSkinnedPanel* VidCapFrameTopRight = nullptr;
    TSkinnedPanel* VidCapFrameBottomLeft = nullptr;
    TSkinnedPanel* VidCapFrameBottomRight = nullptr;
    TSkinnedPanel* VidCapFrameTop = nullptr;
    TSkinnedPanel* VidCapFrameBottom = nullptr;
    TSkinnedPanel* VidCapFrameLeft = nullptr;
    TSkinnedPanel* VidCapFrameRight = nullptr;
    TSkinnedPanel* VidCapPanel = nullptr;
    TSkinnedPanel* BottomPanel = nullptr;
    TSkinnedButton* ProgramLogo = nullptr;
    TSkinnedButton* InfoButton = nullptr;
    TSkinnedButton* CompactButton = nullptr;
    TSkinnedButton* FullScreenButton = nullptr;
    TSkinnedButton* CloseButton = nullptr;
    TSkinnedButton* SettingsButton = nullptr;
    TSkinnedButton* CameraButton = nullptr;
    TSkinnedButton* VideosButton = nullptr;
    TSkinnedButton* PlaybackButton = nullptr;
    TSkinnedButton* SkinnedButton3 = nullptr;
    TSkinnedButton* StopButton = nullptr;
    TVidCap* VidCap = nullptr;
    TSkinnedPanel* InfoPanel = nullptr;
    TSkinnedSwitch* AudioButton = nullptr;
    TSkinnedSwitch* StartButton = nullptr;
    TLabel* ReportText = nullptr;

    // Published handlers.
    void CloseButtonMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void ProgramLogoMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void CameraButtonMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void FullScreenButtonMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void CompactButtonMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void VideosButtonMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void StopButtonMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void AutoRecordTimerTimer(TObject* Sender);
    void SettingsButtonMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void InfoButtonMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void TopPanelDragTo(TObject* Sender, TShiftState Shift, int& NewLeft, int& NewTop);
    void AudioButtonStateChange(TObject* Sender);
    void StartButtonStateChange(TObject* Sender);
    void PlaybackButtonMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

    // What the window holds, for the tests and the end-to-end checks.
    TSettingsForm* GetSettingsForm() const { return FSettingsForm; }
    bool GetCompressionAsked() const { return FCompressionAsked; }
    const AnsiString& GetDocumentsFolderName() const { return FDocumentsFolder; }
    const AnsiString& GetDateFolder() const { return FDateFolder; }
    const AnsiString& GetVideoFolder() const { return FVideoFolder; }
    const AnsiString& GetVideoFileName() const { return FVideoFileName; }
    const AnsiString& GetVideoFilePath() const { return FVideoFilePath; }
    bool GetBusy() const { return FBusy; }
    bool GetWaitingForCamera() const { return FWaitingForCamera; }
    // How often the window looks whether a recording has ended by itself.
    static constexpr unsigned RecordingWatchInterval = 1000;
    // How long one file runs before the next starts.
    static constexpr unsigned AutoRecordInterval = 30 * 60 * 1000;

protected:
    // Every close (the Close button, the window manager, a signal) stops the timers and the
    // recording first, while the window is whole.
    void DoClose(TCloseAction& Action) override;

private:
    class TBusy;
    friend class TBusy;

    AnsiString GetDocumentsFolder();
    void BuildVideoFileNames();
    void LayoutVideoFrame();
    void DockBottomPanel(int Left, int Top);
    void EnterFullScreen();
    void LeaveFullScreen();

    // Closes the current file and starts the next; answers whether a recording runs, with
    // the reason in Failure when not.
    bool NextFile(AnsiString& Failure);
    void SetRecordingControls(bool Recording);
    // The report names the file being recorded; the window watches for its end.
    void ShowRecording();
    // Back to the stopped state with a short reason in ReportText.
    void ShowFailure(const AnsiString& Failure);
    // Why the capture is not running: the capture interface's last word, or the folder.
    AnsiString FailureReason();
    // Shows Text in Colour in ReportText, in a smaller size than the layout's when that is
    // what it takes to fit: the installed faces are wider than the one the layout names.
    void ShowReport(const AnsiString& Text, TColor Colour);
    void StopRecording();
    void StopForClose();
    // MainunitCamera.cpp
    void WatchCamera();
    void VidCapError(int Id, const char* Text);
    void VidCapStatus(int Id);
    void CameraRetryTimer();
    AnsiString CameraTrouble();
    bool CameraLost();
    // The person's recording stays on while the camera is away: Start on, Stop offered.
    void WaitForCamera();
    void ResumeTimer();
    void RecordingWatchTimer(TObject* Sender);
    void RunPending();

    TSettingsForm* FSettingsForm = nullptr;
    bool FCompressionAsked = false;
    AnsiString FDocumentsFolder;
    AnsiString FVideosFolderName;
    AnsiString FDateFolder;
    AnsiString FVideoFolder;
    AnsiString FVideoFileName;
    AnsiString FVideoFilePath;

    bool FBusy = false;
    bool FStopPending = false;
    bool FClosePending = false;
    bool FClosing = false;
    bool FRecordingShown = false;   // ReportText shows a file being recorded
    bool FFolderFailed = false;     // the last folder could not be made
    TTimer* FRecordingWatch = nullptr;
    int FReportHeight = 0;   // the layout's font height of ReportText
    TColor FReportColour = clSilver;   // the layout's colour of ReportText
    AnsiString FReportIdle;            // the layout's text of ReportText
    int FCameraError = 0;              // the last camera trouble the capture reported
    bool FCameraTroubleShown = false;  // ReportText shows it
    TTimer* FCameraRetry = nullptr;    // looks again for a camera busy when it was opened
    bool FWaitingForCamera = false;    // a recording cut by a lost camera goes on when it is back
    TTimer* FResume = nullptr;         // starts that recording's next file, outside the callback
};

extern TMainForm* MainForm;

namespace Mainunit {
// The colours ReportText is shown in.
constexpr TColor RecordingColor = clRed;
constexpr TColor StoppedColor = clWhite;
constexpr TColor FailureColor = clYellow;
// What the report says for a camera trouble the capture reported, each asking something
// different of the person; empty for an id that is no camera trouble.
AnsiString CameraTroubleText(int Id);
// What the report says while a recording waits for its lost camera.
constexpr const char* CameraWaitingText = "CAMERA LOST, WAITING";
}   // namespace Mainunit
