#include "framework/Components.h"
#include "framework/SysUtils.h"

#include <algorithm>
#include <cctype>

#include "framework/TypeInfo.h"

namespace {

bool isValidIdent(const AnsiString& s)
{
    auto isAlpha = [](unsigned char c) { return std::isalpha(c) || c == '_'; };
    if (s.empty() || !isAlpha(static_cast<unsigned char>(s[0])))
        return false;
    return std::all_of(s.begin() + 1, s.end(),
                       [&](unsigned char c) { return isAlpha(c) || std::isdigit(c); });
}

}   // namespace

TComponent::TComponent(TComponent* AOwner)
{
    if (AOwner)
        AOwner->InsertComponent(this);
}

TComponent::~TComponent()
{
    Destroying();
    // Every other component lets go of this one before anything of it is torn down.
    while (!FFreeNotifies.empty()) {
        TComponent* other = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        // Not left to other's Notification, which an override might not pass on.
        std::erase(other->FFreeNotifies, this);
        other->Notification(this, opRemove);
    }
    DestroyComponents();
    if (FOwner)
        FOwner->RemoveComponent(this);
}

TClass TComponent::StaticClass()
{
    // The name is written as the object's own header, not as a property.
    static const TClass Class = TPublished<TComponent, TPersistent>("TComponent")
        .Property("Tag", &TComponent::GetTag, &TComponent::SetTag, Default(0));
    return Class;
}

TClass TComponent::ClassType() const
{
    return StaticClass();
}

AnsiString TComponent::ClassName() const
{
    return ClassType()->ClassName();
}

int TComponent::ComponentIndex() const
{
    return FOwner ? FOwner->FComponents.IndexOf(const_cast<TComponent*>(this)) : -1;
}

void TComponent::SetName(const AnsiString& NewName)
{
    if (FName == NewName)
        return;
    if (!NewName.empty() && !isValidIdent(NewName))
        throw EComponentError("'" + NewName + "' is not a valid component name");
    if (FOwner)
        FOwner->ValidateRename(this, FName, NewName);
    else
        ValidateRename(nullptr, FName, NewName);
    SetReference(false);
    FName = NewName;
    SetReference(true);
}

TComponent* TComponent::FindComponent(const AnsiString& AName) const
{
    if (AName.empty())
        return nullptr;
    for (int i = 0; i < ComponentCount(); ++i)
        if (SameText(Components(i)->FName, AName))
            return Components(i);
    return nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent)
{
    if (!AComponent)
        throw EComponentError("Cannot insert a nil component");
    for (const TComponent* c = this; c; c = c->FOwner)
        if (c == AComponent)
            throw EComponentError("A component cannot own itself or its owner");
    if (AComponent->FOwner == this)
        return;
    ValidateRename(AComponent, "", AComponent->FName);
    if (AComponent->FOwner)
        AComponent->FOwner->RemoveComponent(AComponent);
    FComponents.Add(AComponent);
    AComponent->FOwner = this;
    AComponent->SetReference(true);
    if (FComponentState.Contains(csDesigning))
        AComponent->SetDesigning(true);
    Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent)
{
    if (!AComponent || AComponent->FOwner != this)
        return;
    Notification(AComponent, opRemove);
    AComponent->SetReference(false);
    FComponents.Remove(AComponent);
    AComponent->FOwner = nullptr;
}

void TComponent::DestroyComponents()
{
    // Last first, each removed with notice so that siblings still alive drop their pointers.
    while (ComponentCount() > 0) {
        TComponent* instance = Components(ComponentCount() - 1);
        RemoveComponent(instance);
        delete instance;
    }
}

void TComponent::Destroying()
{
    if (FComponentState.Contains(csDestroying))
        return;
    Include(csDestroying);
    for (int i = 0; i < ComponentCount(); ++i)
        Components(i)->Destroying();
}

void TComponent::FreeNotification(TComponent* AComponent)
{
    if (!AComponent || AComponent == this)
        return;
    // Siblings already hear of each other through their owner.
    if (!FOwner || AComponent->FOwner != FOwner) {
        if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end()) {
            FFreeNotifies.push_back(AComponent);
            AComponent->FreeNotification(this);
        }
    }
    Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent)
{
    if (!AComponent)
        return;
    auto it = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent);
    if (it == FFreeNotifies.end())
        return;
    FFreeNotifies.erase(it);
    AComponent->RemoveFreeNotification(this);
}

void TComponent::Loaded()
{
    Exclude(csLoading);
}

void TComponent::GetChildren(const TGetChildProc& Proc, TComponent* Root)
{
    if (!Root)
        return;
    for (int i = 0; i < Root->ComponentCount(); ++i) {
        TComponent* c = Root->Components(i);
        TComponent* parent = c->HasParent() ? c->GetParentComponent() : nullptr;
        if (parent ? parent == this : this == Root)
            Proc(c);
    }
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation)
{
    if (Operation == opRemove && AComponent)
        RemoveFreeNotification(AComponent);
    // Downward by index, rechecked each time: a handler may free components.
    for (int i = ComponentCount() - 1; i >= 0; --i)
        if (i < ComponentCount())
            Components(i)->Notification(AComponent, Operation);
}

void TComponent::ValidateRename(TComponent* AComponent, const AnsiString& /*CurName*/, const AnsiString& NewName)
{
    if (!AComponent || NewName.empty())
        return;
    TComponent* existing = FindComponent(NewName);
    if (existing && existing != AComponent)
        throw EComponentError("A component named " + NewName + " already exists");
    if (const TFieldInfo* field = ClassType()->FindField(NewName); field && !field->Accepts(AComponent))
        throw EComponentError("Field " + ClassName() + "." + field->Name() + " cannot hold " +
                              NewName + " of class " + AComponent->ClassName());
}

void TComponent::SetDesigning(bool Value)
{
    if (Value)
        Include(csDesigning);
    else
        Exclude(csDesigning);
    for (int i = 0; i < ComponentCount(); ++i)
        Components(i)->SetDesigning(Value);
}

void TComponent::SetReference(bool Enable)
{
    if (!FOwner || FName.empty())
        return;
    if (const TFieldInfo* field = FOwner->ClassType()->FindField(FName))
        field->Assign(FOwner, Enable ? this : nullptr);
}
