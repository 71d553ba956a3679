#pragma once
// The published properties every skinned component shares, in the order the layouts store
// them. Each component's table (Skinnedcontrol.cpp, Skinnedpanel.cpp, ...) puts its own
// properties between these blocks, so one class's whole table still reads top to bottom
// (the framework's position, size and cursor come first):
//   PublishSkinLooks     Color ... Visible
//   PublishSkinArtwork   ArtworkSet ... EnableFading
//   PublishSkinEvents    the mouse and drag events of the family's own tracking
#include "framework/Published.h"
#include "skins/Customskinnedcontrol.h"

template <class T, class P>
TPublished<T, P>& PublishSkinLooks(TPublished<T, P>& Table)
{
    // Color keeps the framework's store test: a colour that follows the parent is not
    // written, since reading it back would cut the control loose from its parent's colour.
    return Table
        .Property("DoubleBuffered", &T::GetDoubleBuffered, &T::SetDoubleBuffered, Default(true))
        .Property("Color", &T::GetColor, &T::SetColor, ColorIdents(), Default(clNone), Stored(&T::IsColorStored))
        .Property("ColorSetPresent", &T::GetColorSetPresent, &T::SetColorSetPresent, Default(true))
        .Property("ColorSet", &T::GetColorSet, Stored(&T::StoreColorSet))
        .Property("ParentColor", &T::GetParentColor, &T::SetParentColor, Default(true))
        .Property("AutoSize", &T::GetAutoSize, &T::SetAutoSize, Default(false))
        .Property("Enabled", &T::GetEnabled, &T::SetEnabled, Default(true))
        .Property("Visible", &T::GetVisible, &T::SetVisible, Default(false));
}

template <class T, class P>
TPublished<T, P>& PublishSkinArtwork(TPublished<T, P>& Table)
{
    return Table.Property("ArtworkSet", &T::GetArtworkSet, Stored(&T::StoreArtworkSet))
        .Property("ArtworkSetPresent", &T::GetArtworkSetPresent, &T::SetArtworkSetPresent, Default(true))
        .Property("Artwork", &T::GetArtwork, Stored(&T::StoreArtwork))
        .Property("TransparentColor", &T::GetTransparentColor, &T::SetTransparentColor, ColorIdents(),
                  Default(TColor(0)))
        .Property("TransparentMode", &T::GetTransparentMode, &T::SetTransparentMode, TransparentModeIdents,
                  Default(tmFixed))
        .Property("Artworked", &T::GetArtworked, &T::SetArtworked, Default(false))
        .Property("Colorized", &T::GetColorized, &T::SetColorized, Default(false))
        .Property("Stretched", &T::GetStretched, &T::SetStretched, Default(false), Stored(false))
        .Property("Shaped", &T::GetShaped, &T::SetShaped, Default(false))
        .Property("ShapeParent", &T::GetShapeParent, &T::SetShapeParent, Default(false))
        .Property("Dragable", &T::GetDragable, &T::SetDragable, Default(false))
        .Property("DragParent", &T::GetDragParent, &T::SetDragParent, Default(false))
        .Property("EnableFading", &T::GetEnableFading, &T::SetEnableFading, Default(false));
}

template <class T, class P>
TPublished<T, P>& PublishSkinEvents(TPublished<T, P>& Table)
{
    return Table.Event("OnMouseEnterControl", &T::OnMouseEnterControl)
        .Event("OnMouseExitControl", &T::OnMouseExitControl)
        .Event("OnMouseCancelled", &T::OnMouseCancelled)
        .Event("OnMouseDown", &T::OnMouseDown)
        .Event("OnMouseMove", &T::OnMouseMove)
        .Event("OnMouseUp", &T::OnMouseUp);
}
