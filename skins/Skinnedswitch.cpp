#include "skins/Skinnedswitch.h"

#include "skins/SkinnedPublishing.h"

TClass TSkinnedSwitch::StaticClass()
{
    using T = TSkinnedSwitch;
    static const TClass Class = [] {
        TPublished<T, TCustomActiveSkin> table("TSkinnedSwitch");
        PublishSkinLooks(table);
        PublishSkinArtwork(table)
            .Property("EnableDisabledArtwork", &T::GetEnableDisabledArtwork, &T::SetEnableDisabledArtwork,
                      Default(false))
            .Property("FadingOnEnabled", &T::GetFadingOnEnabled, &T::SetFadingOnEnabled, Default(0))
            .Property("FadingOnMouseEnter", &T::GetFadingOnMouseEnter, &T::SetFadingOnMouseEnter, Default(0))
            .Property("FadingOnMouseDown", &T::GetFadingOnMouseDown, &T::SetFadingOnMouseDown, Default(0))
            .Property("FadingOnMouseUp", &T::GetFadingOnMouseUp, &T::SetFadingOnMouseUp, Default(0))
            .Property("FadingOnStateChange", &T::GetFadingOnStateChange, &T::SetFadingOnStateChange, Default(0))
            .Property("SwitchedOn", &T::GetSwitchedOn, &T::SetSwitchedOn, Default(false))
            .Property("ActiveSkinGroup", &T::GetActiveSkinGroup, &T::SetActiveSkinGroup);
        PublishSkinEvents(table).Event("OnStateChange", &T::OnStateChange).Event("OnDragTo", &T::OnDragTo);
        return TClass(table);
    }();
    return Class;
}

namespace Skinnedswitch {

void Register()
{
    RegisterComponents("Skinned Controls", {ClassOf<TSkinnedSwitch>()});
}

}  // namespace Skinnedswitch

TSkinnedSwitch::TSkinnedSwitch(TComponent* AOwner) : TCustomActiveSkin(AOwner)
{
    SetEnableMouseInteraction(true);
    SetEnableStateSwitch(true);
    SetEnableDisabledArtwork(false);
    SetSwitchedOn(false);
    SetArtworkSetPresent(true);
}

TSkinnedSwitch::~TSkinnedSwitch() = default;
