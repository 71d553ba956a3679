#include "framework/Registration.h"

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"

namespace Framework {

void RegisterAll()
{
    RegisterComponents("Standard", {ClassOf<TButton>(), ClassOf<TCheckBox>(), ClassOf<TComboBox>(),
                                    ClassOf<TLabel>(), ClassOf<TPanel>()});
    RegisterComponents("Additional", {ClassOf<TStaticText>()});
    RegisterComponents("System", {ClassOf<TTimer>()});
    RegisterComponents("Win32", {ClassOf<TTrackBar>()});
}

}  // namespace Framework
