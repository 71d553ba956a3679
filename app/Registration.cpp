#include "app/Registration.h"

#include "RegisterAppResources.h"
#include "app/Selectdeviceunit.h"
#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"

void RegisterApplication()
{
    static const bool done = [] {
        RegisterClasses({TPanel::StaticClass(), TLabel::StaticClass(), TStaticText::StaticClass(),
                         TComboBox::StaticClass(), TButton::StaticClass(), TTimer::StaticClass()});
        RegisterClasses({TSelectDeviceForm::StaticClass()});
        RegisterAppResources();
        return true;
    }();
    (void)done;
}
