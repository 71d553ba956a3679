#include "capture/Registration.h"

#include "capture/Vidcap.h"
#include "framework/Registration.h"

namespace Capture {

void RegisterAll()
{
    Framework::RegisterAll();
    Vidcap::Register();
}

}  // namespace Capture
