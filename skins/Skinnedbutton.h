#pragma once
// Unit Skinnedbutton: TSkinnedButton, a push button with a normal, a hover and a pressed cell (and a disabled
// cell when asked).
#include "skins/Customactiveskin.h"

class TSkinnedButton : public TCustomActiveSkin
{
public:
    explicit TSkinnedButton(TComponent* AOwner);
    ~TSkinnedButton() override;
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }
};

namespace Skinnedbutton {
// Registers TSkinnedButton on the palette page "Skinned Controls".
void Register();
}  // namespace Skinnedbutton
