#include "app/Mainunit.h"

#include "app/Aboutunit.h"
#include "app/HelpPage.h"
#include "app/Selectdeviceunit.h"
#include "app/Settingsunit.h"
#include "app/VideoFiles.h"

TMainForm* MainForm = nullptr;

TClass TMainForm::StaticClass()
{
    static const TClass Class = TPublished<TMainForm, TForm>("TMainForm")
        .Field("AutoRecordTimer", &TMainForm::AutoRecordTimer)
        .Field("TopPanel", &TMainForm::TopPanel)
        .Field("MiddlePanel", &TMainForm::MiddlePanel)
        .Field("VidCapFrameTopLeft", &TMainForm::VidCapFrameTopLeft)
        .Field("VidCapFrameTopRight", &TMainForm::VidCapFrameTopRight)
        .Field("VidCapFrameBottomLeft", &TMainForm::VidCapFrameBottomLeft)
        .Field("VidCapFrameBottomRight", &TMainForm::VidCapFrameBottomRight)
        .Field("VidCapFrameTop", &TMainForm::VidCapFrameTop)
        .Field("VidCapFrameBottom", &TMainForm::VidCapFrameBottom)
        .Field("VidCapFrameLeft", &TMainForm::VidCapFrameLeft)
        .Field("VidCapFrameRight", &TMainForm::VidCapFrameRight)
        .Field("VidCapPanel", &TMainForm::VidCapPanel)
        .Field("BottomPanel", &TMainForm::BottomPanel)
        .Field("ProgramLogo", &TMainForm::ProgramLogo)
        .Field("InfoButton", &TMainForm::InfoButton)
        .Field("CompactButton", &TMainForm::CompactButton)
        .Field("FullScreenButton", &TMainForm::FullScreenButton)
        .Field("CloseButton", &TMainForm::CloseButton)
        .Field("SettingsButton", &TMainForm::SettingsButton)
        .Field("CameraButton", &TMainForm::CameraButton)
        .Field("VideosButton", &TMainForm::VideosButton)
        .Field("PlaybackButton", &TMainForm::PlaybackButton)
        .Field("SkinnedButton3", &TMainForm::SkinnedButton3)
        .Field("StopButton", &TMainForm::StopButton)
        .Field("VidCap", &TMainForm::VidCap)
        .Field("InfoPanel", &TMainForm::InfoPanel)
        .Field("AudioButton", &TMainForm::AudioButton)
        .Field("StartButton", &TMainForm::StartButton)
        .Field("ReportText", &TMainForm::ReportText)
        .PublishMethod("CloseButtonMouseUp", &TMainForm::CloseButtonMouseUp)
        .PublishMethod("ProgramLogoMouseUp", &TMainForm::ProgramLogoMouseUp)
        .PublishMethod("CameraButtonMouseUp", &TMainForm::CameraButtonMouseUp)
        .PublishMethod("FullScreenButtonMouseUp", &TMainForm::FullScreenButtonMouseUp)
        .PublishMethod("CompactButtonMouseUp", &TMainForm::CompactButtonMouseUp)
        .PublishMethod("VideosButtonMouseUp", &TMainForm::VideosButtonMouseUp)
        .PublishMethod("StopButtonMouseUp", &TMainForm::StopButtonMouseUp)
        .PublishMethod("AutoRecordTimerTimer", &TMainForm::AutoRecordTimerTimer)
        .PublishMethod("SettingsButtonMouseUp", &TMainForm::SettingsButtonMouseUp)
        .PublishMethod("InfoButtonMouseUp", &TMainForm::InfoButtonMouseUp)
        .PublishMethod("TopPanelDragTo", &TMainForm::TopPanelDragTo)
        .PublishMethod("AudioButtonStateChange", &TMainForm::AudioButtonStateChange)
        .PublishMethod("StartButtonStateChange", &TMainForm::StartButtonStateChange)
        .PublishMethod("PlaybackButtonMouseUp", &TMainForm::PlaybackButtonMouseUp);
    return Class;
}

TMainForm::TMainForm(TComponent* Owner) : TForm(Owner)
{
    InitInheritedComponent();
    FCompressionAsked = false;
    FDocumentsFolder = GetDocumentsFolder();
    FVideosFolderName = VideosFolderName;

    VidCap->SetCaptureAudio(AudioButton->GetSwitchedOn());
    VidCap->SetFileName("Capture.avi");
    VidCap->SetFrameRate(4.0f);
    VidCap->SetKeepAspectRatio(true);
    VidCap->SetOverlay(false);
    VidCap->SetPreview(true);
    VidCap->SetPreviewRate(15.0f);
    VidCap->SetPreviewScaling(true);
    VidCap->SetStopGap(false);
    const int hours = 0, minutes = 10, seconds = 0;
    VidCap->SetTimeLimit(hours * 3600 + minutes * 60 + seconds);
    VidCap->SetTimeLimitEnabled(false);

    AutoRecordTimer->SetInterval(AutoRecordInterval);
    AutoRecordTimer->SetEnabled(false);

    FSettingsForm = new TSettingsForm(this);
    FSettingsForm->SetVidCap(VidCap);

    FReportHeight = ReportText->GetFont()->GetHeight();
    FReportColour = ReportText->GetFont()->GetColor();
    FReportIdle = ReportText->GetCaption();

    VidCapPanel->SetHeight(MiddlePanel->GetHeight() - 16);
    VidCap->SetHeight(VidCapPanel->GetHeight());

    // The capture interface reports a recording that ends by itself only through its status.
    FRecordingWatch = new TTimer(this);
    FRecordingWatch->SetEnabled(false);
    FRecordingWatch->SetInterval(RecordingWatchInterval);
    FRecordingWatch->SetOnTimer([this](TObject* Sender) { RecordingWatchTimer(Sender); });
    WatchCamera();
}

TMainForm::~TMainForm()
{
    // Owned by the form, so the inherited destructor would free it too; the order is the
    // window's own: the settings window first, then the components.
    delete FSettingsForm;
    FSettingsForm = nullptr;
}

void TMainForm::ShowReport(const AnsiString& Text, TColor Colour)
{
    TBitmap measure;
    TFont* font = measure.Canvas()->Font();
    font->Assign(ReportText->GetFont());
    int height = FReportHeight;
    const int room = ReportText->GetWidth() - 2;
    for (font->SetHeight(height); height < -8 && measure.Canvas()->TextWidth(Text) > room; font->SetHeight(height))
        ++height;
    ReportText->GetFont()->SetHeight(height);
    ReportText->GetFont()->SetColor(Colour);
    ReportText->SetCaption(Text);
    FCameraTroubleShown = false;
}

AnsiString TMainForm::GetDocumentsFolder() { return DocumentsFolderOf(Handle()); }

void TMainForm::CloseButtonMouseUp(TObject*, TMouseButton, TShiftState, int, int)
{
    if (FBusy) {
        FClosePending = true;
        return;
    }
    StopForClose();
    Close();
}

void TMainForm::DoClose(TCloseAction& Action)
{
    if (FBusy) {
        // A start, stop or new file is waiting for the capture: close once it is done.
        FClosePending = true;
        Action = caNone;
        return;
    }
    StopForClose();
    TForm::DoClose(Action);
}

void TMainForm::StopForClose()
{
    if (FClosing)
        return;
    FClosing = true;
    AutoRecordTimer->SetEnabled(false);
    FRecordingWatch->SetEnabled(false);
    FResume->SetEnabled(false);
    FWaitingForCamera = false;
    FBusy = true;
    VidCap->SetRecording(false);
    FBusy = false;
}

void TMainForm::ProgramLogoMouseUp(TObject*, TMouseButton, TShiftState, int, int) { OpenHelpPage(); }

void TMainForm::InfoButtonMouseUp(TObject*, TMouseButton, TShiftState, int, int)
{
    if (AboutForm)
        AboutForm->Execute();
}

void TMainForm::CompactButtonMouseUp(TObject*, TMouseButton, TShiftState, int, int)
{
    switch (GetWindowState()) {
    case wsMaximized: LeaveFullScreen(); break;
    case wsNormal: Application->Minimize(); break;
    default: break;
    }
}

void TMainForm::FullScreenButtonMouseUp(TObject*, TMouseButton, TShiftState, int, int)
{
    if (GetWindowState() == wsNormal)
        EnterFullScreen();
}

void TMainForm::SettingsButtonMouseUp(TObject*, TMouseButton, TShiftState, int, int) { FSettingsForm->Execute(); }

void TMainForm::CameraButtonMouseUp(TObject*, TMouseButton, TShiftState, int, int)
{
    if (!SelectDeviceForm)
        return;
    SelectDeviceForm->SetCurrentDeviceIndex(VidCap->GetDeviceIndex());
    SelectDeviceForm->SetDeviceConnected(VidCap->GetDeviceConnected());
    if (!SelectDeviceForm->Execute())
        return;
    FCameraError = 0;   // what goes wrong with the chosen camera sets it again (VidCapError)
    if (VidCap->ConnectDevice(SelectDeviceForm->GetNextDeviceIndex()) && FCameraError == 0 && !FRecordingShown)
        ShowReport(FReportIdle, FReportColour);   // a camera that works now: no old trouble shown
}

void TMainForm::TopPanelDragTo(TObject*, TShiftState, int& NewLeft, int& NewTop)
{
    if (TopPanel->GetDragParent())
        return;
    DockBottomPanel(NewLeft, NewTop);
}
