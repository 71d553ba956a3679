#include "app/Aboutunit.h"

#include "app/HelpPage.h"

TAboutForm* AboutForm = nullptr;

TClass TAboutForm::StaticClass()
{
    static const TClass Class = TPublished<TAboutForm, TForm>("TAboutForm")
        .Field("MainPanel", &TAboutForm::MainPanel)
        .Field("SkinnedButton1", &TAboutForm::SkinnedButton1)
        .PublishMethod("MainPanelMouseUp", &TAboutForm::MainPanelMouseUp)
        .PublishMethod("SkinnedButton1MouseUp", &TAboutForm::SkinnedButton1MouseUp);
    return Class;
}

TAboutForm::TAboutForm(TComponent* Owner) : TForm(Owner) { InitInheritedComponent(); }

bool TAboutForm::Execute() { return ShowModal() != mrNone; }

void TAboutForm::MainPanelMouseUp(TObject*, TMouseButton, TShiftState, int, int) { SetModalResult(mrOk); }

void TAboutForm::SkinnedButton1MouseUp(TObject*, TMouseButton, TShiftState, int, int) { OpenHelpPage(); }
