#include "skins/Customactiveskin.h"

// TCustomActiveSkin: the group ring. Members are linked both ways; a control joins right
// after the member it is attached to and leaves by linking its neighbours to each other.

void TCustomActiveSkin::SetActiveSkinGroup(TCustomActiveSkin* Value)
{
    if (FActiveSkinGroup)
        DetachActiveSkinGroup();
    if (Value)
        AttachActiveSkinGroup(Value);
}

void TCustomActiveSkin::AttachActiveSkinGroup(TCustomActiveSkin* Group)
{
    if (!Group || Group == this)
        return;
    // Joining a second ring without leaving the first would link two rings into a knot
    // that a walk from a stranded member never leaves.
    if (FActiveSkinGroup)
        DetachActiveSkinGroup();
    FActiveSkinGroup = Group;
    FNextInGroup = Group->FNextInGroup ? Group->FNextInGroup : Group;
    Group->FNextInGroup = this;
    FNextInGroup->FActiveSkinGroup = this;
    // The group's switch state, without an event.
    FSwitchedOn = FNextInGroup->FSwitchedOn;
    FadeInArtwork(0, GetMouseInControl(), GetMouseButtonHeld());
}

void TCustomActiveSkin::DetachActiveSkinGroup()
{
    if (!FActiveSkinGroup)
        return;
    if (FActiveSkinGroup == FNextInGroup) {
        // A ring of two: the other member is alone again.
        FActiveSkinGroup->FActiveSkinGroup = nullptr;
        FActiveSkinGroup->FNextInGroup = nullptr;
    } else {
        FNextInGroup->FActiveSkinGroup = FActiveSkinGroup;
        FActiveSkinGroup->FNextInGroup = FNextInGroup;
    }
    FActiveSkinGroup = nullptr;
    FNextInGroup = nullptr;
}
