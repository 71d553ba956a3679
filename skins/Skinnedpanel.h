#pragma once
// Unit Skinnedpanel: TSkinnedPanel, the skinned container: one artwork cell (and a disabled cell when asked), no mouse
// states; it still reports the mouse events of the skinned family.
#include "skins/Customactiveskin.h"

class TSkinnedPanel : public TCustomActiveSkin
{
public:
    explicit TSkinnedPanel(TComponent* AOwner);
    ~TSkinnedPanel() override;
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }
};

namespace Skinnedpanel {
// Registers TSkinnedPanel on the palette page "Skinned Controls".
void Register();
}  // namespace Skinnedpanel
