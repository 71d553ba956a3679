#pragma once
// Unit Settingsunit: the small skinned window whose buttons open the capture driver's own
// dialogs for the video format, the video source and the compression.
#include "framework/Forms.h"
#include "skins/Skinnedbutton.h"
#include "skins/Skinnedpanel.h"

class TVidCap;

class TSettingsForm : public TForm
{
public:
    explicit TSettingsForm(TComponent* Owner);
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    // The capture component whose dialogs the buttons open; not owned, may be null.
    TVidCap* GetVidCap() const { return FVidCap; }
    void SetVidCap(TVidCap* Value);
    // Shows the window modally; false without showing anything when there is no capture
    // component.
    bool Execute();

    TSkinnedPanel* MainPanel = nullptr;
    TSkinnedButton* AudioButton = nullptr;
    TSkinnedButton* SkinnedButton1 = nullptr;
    TSkinnedButton* SkinnedButton2 = nullptr;
    TSkinnedButton* SkinnedButton3 = nullptr;

    void SkinnedButton3MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void AudioButtonMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void SkinnedButton1MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void SkinnedButton2MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TVidCap* FVidCap = nullptr;
};

extern TSettingsForm* SettingsForm;
