#pragma once
// Unit Skinnedswitch: TSkinnedSwitch, an on/off button: the button's cells in an off row and an on row. A click
// toggles SwitchedOn and raises OnStateChange; setting SwitchedOn from code raises nothing.
#include "skins/Customactiveskin.h"

class TSkinnedSwitch : public TCustomActiveSkin
{
public:
    explicit TSkinnedSwitch(TComponent* AOwner);
    ~TSkinnedSwitch() override;
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }
};

namespace Skinnedswitch {
// Registers TSkinnedSwitch on the palette page "Skinned Controls".
void Register();
}  // namespace Skinnedswitch
