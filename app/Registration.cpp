#include "app/Registration.h"

#include "RegisterAppResources.h"
#include "app/Aboutunit.h"
#include "app/Mainunit.h"
#include "app/Selectdeviceunit.h"
#include "app/Settingsunit.h"
#include "app/VideoFiles.h"
#include "avicap/CaptureDriver.h"
#include "avicap/audio/AudioInput.h"
#include "avicap/avi/Recorder.h"
#include "avicap/v4l2/V4l2CameraSettings.h"
#include "avicap/v4l2/V4l2Driver.h"
#include "capture/Registration.h"
#include "platform/Shell.h"
#include "platform/display/DisplayBackend.h"
#include "skins/Registration.h"

bool InstallApplicationDevices(std::string& Error)
{
    if (!installDisplayFromEnvironment(Error))
        return false;
    setCameraDriver(std::make_shared<V4l2Driver>());
    // What the person chose in the format and source dialogs, for a camera that forgot it by
    // the next run.
    if (const AnsiString settings = ShellFolderOf(0, CSIDL_APPDATA); !settings.empty())
        setV4l2SettingsFile(settings + "/lumofree/cameras");
    setCaptureRecorderFactory(makeCaptureRecorderFactory(createAlsaAudioInput));
    return true;
}

namespace App {

void RegisterAll()
{
    static const bool done = [] {
        Skins::RegisterAll();
        Capture::RegisterAll();
        RegisterClasses({TMainForm::StaticClass(), TSelectDeviceForm::StaticClass(), TSettingsForm::StaticClass(),
                         TAboutForm::StaticClass()});
        RegisterAppResources();
        return true;
    }();
    (void)done;
}

}  // namespace App

void CreateApplicationForms()
{
    Application->Initialize();
    Application->SetTitle("Lumo free");
    Application->CreateForm(MainForm);
    Application->CreateForm(SelectDeviceForm);
    Application->CreateForm(SettingsForm);
    Application->CreateForm(AboutForm);
}
