#pragma once
// Unit Aboutunit: the about window, a picture of the program's name and version; its one
// button opens the help page, a click anywhere else closes it.
#include "framework/Forms.h"
#include "skins/Skinnedbutton.h"
#include "skins/Skinnedpanel.h"

class TAboutForm : public TForm
{
public:
    explicit TAboutForm(TComponent* Owner);
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    bool Execute();

    TSkinnedPanel* MainPanel = nullptr;
    TSkinnedButton* SkinnedButton1 = nullptr;

    void MainPanelMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void SkinnedButton1MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
};

extern TAboutForm* AboutForm;
