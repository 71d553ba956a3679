#include "app/Settingsunit.h"

#include "capture/Vidcap.h"

TSettingsForm* SettingsForm = nullptr;

TClass TSettingsForm::StaticClass()
{
    static const TClass Class = TPublished<TSettingsForm, TForm>("TSettingsForm")
        .Field("MainPanel", &TSettingsForm::MainPanel)
        .Field("AudioButton", &TSettingsForm::AudioButton)
        .Field("SkinnedButton1", &TSettingsForm::SkinnedButton1)
        .Field("SkinnedButton2", &TSettingsForm::SkinnedButton2)
        .Field("SkinnedButton3", &TSettingsForm::SkinnedButton3)
        .PublishMethod("SkinnedButton3MouseUp", &TSettingsForm::SkinnedButton3MouseUp)
        .PublishMethod("AudioButtonMouseUp", &TSettingsForm::AudioButtonMouseUp)
        .PublishMethod("SkinnedButton1MouseUp", &TSettingsForm::SkinnedButton1MouseUp)
        .PublishMethod("SkinnedButton2MouseUp", &TSettingsForm::SkinnedButton2MouseUp);
    return Class;
}

TSettingsForm::TSettingsForm(TComponent* Owner) : TForm(Owner)
{
    InitInheritedComponent();
    FVidCap = nullptr;
}

void TSettingsForm::Notification(TComponent* AComponent, TOperation Operation)
{
    TForm::Notification(AComponent, Operation);
    // The capture component belongs to the main window, which may go first.
    if (Operation == opRemove && AComponent == FVidCap)
        FVidCap = nullptr;
}

void TSettingsForm::SetVidCap(TVidCap* Value)
{
    FVidCap = Value;
    if (Value)
        Value->FreeNotification(this);
}

bool TSettingsForm::Execute()
{
    if (!FVidCap)
        return false;
    return ShowModal() != mrNone;
}

void TSettingsForm::AudioButtonMouseUp(TObject*, TMouseButton, TShiftState, int, int)
{
    if (FVidCap)
        FVidCap->SetVideoFormat();
}

void TSettingsForm::SkinnedButton1MouseUp(TObject*, TMouseButton, TShiftState, int, int)
{
    if (FVidCap)
        FVidCap->SetVideoSource();
}

void TSettingsForm::SkinnedButton2MouseUp(TObject*, TMouseButton, TShiftState, int, int)
{
    if (FVidCap)
        FVidCap->SetVideoCompression();
}

void TSettingsForm::SkinnedButton3MouseUp(TObject*, TMouseButton, TShiftState, int, int) { SetModalResult(mrOk); }
