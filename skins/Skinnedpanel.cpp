#include "skins/Skinnedpanel.h"

#include "skins/SkinnedPublishing.h"

TClass TSkinnedPanel::StaticClass()
{
    using T = TSkinnedPanel;
    static const TClass Class = [] {
        TPublished<T, TCustomActiveSkin> table("TSkinnedPanel");
        PublishSkinLooks(table);
        PublishSkinArtwork(table)
            .Property("EnableDisabledArtwork", &T::GetEnableDisabledArtwork, &T::SetEnableDisabledArtwork,
                      Default(false))
            .Property("FadingOnEnabled", &T::GetFadingOnEnabled, &T::SetFadingOnEnabled, Default(0))
            .Property("ActiveSkinGroup", &T::GetActiveSkinGroup, &T::SetActiveSkinGroup);
        PublishSkinEvents(table).Event("OnStateChange", &T::OnStateChange).Event("OnDragTo", &T::OnDragTo);
        return TClass(table);
    }();
    return Class;
}

namespace Skinnedpanel {

void Register()
{
    RegisterComponents("Skinned Controls", {ClassOf<TSkinnedPanel>()});
}

}  // namespace Skinnedpanel

TSkinnedPanel::TSkinnedPanel(TComponent* AOwner) : TCustomActiveSkin(AOwner)
{
    SetEnableMouseInteraction(false);
    SetEnableStateSwitch(false);
    SetEnableDisabledArtwork(false);
    SetSwitchedOn(false);
    SetArtworkSetPresent(true);
}

TSkinnedPanel::~TSkinnedPanel() = default;
