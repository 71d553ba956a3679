#include "app/Registration.h"

#include "RegisterAppResources.h"
#include "app/Aboutunit.h"
#include "app/Mainunit.h"
#include "app/Selectdeviceunit.h"
#include "app/Settingsunit.h"
#include "capture/Vidcap.h"
#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"
#include "skins/Skinnedbutton.h"
#include "skins/Skinnedcontrol.h"
#include "skins/Skinnedpanel.h"
#include "skins/Skinnedswitch.h"

void RegisterApplication()
{
    static const bool done = [] {
        RegisterClasses({TPanel::StaticClass(), TLabel::StaticClass(), TStaticText::StaticClass(),
                         TComboBox::StaticClass(), TButton::StaticClass(), TTimer::StaticClass()});
        Skinnedcontrol::Register();
        Skinnedpanel::Register();
        Skinnedbutton::Register();
        Skinnedswitch::Register();
        Vidcap::Register();
        RegisterClasses({TMainForm::StaticClass(), TSelectDeviceForm::StaticClass(), TSettingsForm::StaticClass(),
                         TAboutForm::StaticClass()});
        RegisterAppResources();
        return true;
    }();
    (void)done;
}

void CreateApplicationForms()
{
    Application->Initialize();
    Application->SetTitle("Lumo free");
    Application->CreateForm(MainForm);
    Application->CreateForm(SelectDeviceForm);
    Application->CreateForm(SettingsForm);
    Application->CreateForm(AboutForm);
}
