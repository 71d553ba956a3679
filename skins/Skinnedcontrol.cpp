#include "skins/Skinnedcontrol.h"

#include "skins/SkinnedPublishing.h"

TClass TSkinnedControl::StaticClass()
{
    using T = TSkinnedControl;
    static const TClass Class = [] {
        TPublished<T, TCustomSkinnedControl> table("TSkinnedControl");
        PublishSkinLooks(table)
            .Property("ThemeHorzCount", &T::GetThemeHorzCount, &T::SetThemeHorzCount, Default(0))
            .Property("ThemeVertCount", &T::GetThemeVertCount, &T::SetThemeVertCount, Default(0))
            .Property("ThemeHorzIndex", &T::GetThemeHorzIndex, &T::SetThemeHorzIndex, Default(0))
            .Property("ThemeVertIndex", &T::GetThemeVertIndex, &T::SetThemeVertIndex, Default(0));
        PublishSkinArtwork(table).Property("FadingInterval", &T::GetFadingInterval, &T::SetFadingInterval, Default(0));
        PublishSkinEvents(table).Event("OnDragTo", &T::OnDragTo);
        return TClass(table);
    }();
    return Class;
}

namespace Skinnedcontrol {

void Register()
{
    RegisterComponents("Skinned Controls", {ClassOf<TSkinnedControl>()});
}

}  // namespace Skinnedcontrol

TSkinnedControl::TSkinnedControl(TComponent* AOwner) : TCustomSkinnedControl(AOwner) {}

TSkinnedControl::~TSkinnedControl() = default;
