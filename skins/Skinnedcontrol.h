#pragma once
// Unit Skinnedcontrol: TSkinnedControl, the plain skinned control. Its artwork grid and the
// cell it shows are chosen by its published theme properties; it has no states of its own.
#include "skins/Customskinnedcontrol.h"

class TSkinnedControl : public TCustomSkinnedControl
{
public:
    explicit TSkinnedControl(TComponent* AOwner);
    ~TSkinnedControl() override;
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }
};

namespace Skinnedcontrol {
// Registers TSkinnedControl on the palette page "Skinned Controls".
void Register();
}  // namespace Skinnedcontrol
