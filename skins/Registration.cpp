#include "skins/Registration.h"

#include "framework/Registration.h"
#include "skins/Skinnedbutton.h"
#include "skins/Skinnedcontrol.h"
#include "skins/Skinnedpanel.h"
#include "skins/Skinnedswitch.h"

namespace Skins {

void RegisterAll()
{
    Framework::RegisterAll();
    Skinnedcontrol::Register();
    Skinnedpanel::Register();
    Skinnedbutton::Register();
    Skinnedswitch::Register();
}

}  // namespace Skins
