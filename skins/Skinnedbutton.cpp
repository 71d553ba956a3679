#include "skins/Skinnedbutton.h"

#include "skins/SkinnedPublishing.h"

TClass TSkinnedButton::StaticClass()
{
    using T = TSkinnedButton;
    static const TClass Class = [] {
        TPublished<T, TCustomActiveSkin> table("TSkinnedButton");
        PublishSkinLooks(table);
        PublishSkinArtwork(table)
            .Property("EnableDisabledArtwork", &T::GetEnableDisabledArtwork, &T::SetEnableDisabledArtwork,
                      Default(false))
            .Property("FadingOnEnabled", &T::GetFadingOnEnabled, &T::SetFadingOnEnabled, Default(0))
            .Property("FadingOnMouseEnter", &T::GetFadingOnMouseEnter, &T::SetFadingOnMouseEnter, Default(0))
            .Property("FadingOnMouseDown", &T::GetFadingOnMouseDown, &T::SetFadingOnMouseDown, Default(0))
            .Property("FadingOnMouseUp", &T::GetFadingOnMouseUp, &T::SetFadingOnMouseUp, Default(0))
            .Property("ActiveSkinGroup", &T::GetActiveSkinGroup, &T::SetActiveSkinGroup);
        PublishSkinEvents(table).Event("OnStateChange", &T::OnStateChange).Event("OnDragTo", &T::OnDragTo);
        return TClass(table);
    }();
    return Class;
}

namespace Skinnedbutton {

void Register()
{
    RegisterComponents("Skinned Controls", {ClassOf<TSkinnedButton>()});
}

}  // namespace Skinnedbutton

TSkinnedButton::TSkinnedButton(TComponent* AOwner) : TCustomActiveSkin(AOwner)
{
    SetEnableMouseInteraction(true);
    SetEnableStateSwitch(false);
    SetEnableDisabledArtwork(false);
    SetSwitchedOn(false);
    SetArtworkSetPresent(true);
}

TSkinnedButton::~TSkinnedButton() = default;
