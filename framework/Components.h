#pragma once
// Unit Classes, continued: components, their owners, names and free notifications.
#include <functional>
#include <vector>

#include "framework/Classes.h"
#include "framework/Lists.h"

class EComponentError : public Exception
{
public:
    explicit EComponentError(const AnsiString& Msg) : Exception(Msg) {}
};

class TClassInfo;
// The class reference of the property tables (framework/TypeInfo.h).
using TClass = const TClassInfo*;

enum TOperation { opInsert, opRemove };

enum TComponentStateItem {
    csLoading,            // being read from a layout; Loaded ends it
    csReading,            // its properties are being read
    csWriting,
    csDestroying,
    csDesigning,
    csFreeNotification,   // some other component asked to hear when this one goes
};
using TComponentState = TSet<TComponentStateItem>;

class TComponent;
using TGetChildProc = std::function<void(TComponent* Child)>;

// A component belongs to its owner, which frees it; a component freed by other means leaves
// its owner first. Other components that hold a pointer to it hear of its going through
// Notification(opRemove): every sibling under the same owner, and any other component that
// asked with FreeNotification.
//
// A component being freed is announced from ~TComponent, when its own derived parts are
// already gone: Notification may compare the pointer it is given, never call through it.
class TComponent : public TPersistent
{
public:
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    // The class's published table (framework/TypeInfo.h). Every class that is read from or
    // written to a layout declares both, so that ClassType answers its own class.
    static TClass StaticClass();
    virtual TClass ClassType() const;
    AnsiString ClassName() const override;

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return FComponents.Count(); }
    TComponent* Components(int Index) const { return static_cast<TComponent*>(FComponents.Items(Index)); }
    // Position in the owner's list, or -1 without an owner.
    int ComponentIndex() const;
    TComponentState ComponentState() const { return FComponentState; }

    const AnsiString& GetName() const { return FName; }
    // Raises EComponentError for a name that is not an identifier or that another component
    // of the same owner already has (names compare without regard to case).
    virtual void SetName(const AnsiString& NewName);
    int GetTag() const { return FTag; }
    void SetTag(int Value) { FTag = Value; }

    // The owned component of that name (any case), or nullptr.
    TComponent* FindComponent(const AnsiString& AName) const;
    void InsertComponent(TComponent* AComponent);
    void RemoveComponent(TComponent* AComponent);
    void DestroyComponents();
    // Marks this component and everything it owns as going away.
    void Destroying();

    // Asks AComponent to tell this one (by Notification) when it is freed, and the reverse.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    // Called once reading is complete, references resolved; ends csLoading. An override
    // calls the inherited one.
    virtual void Loaded();

    // Hooks of the visual hierarchy: a control has a parent besides its owner.
    virtual bool HasParent() const { return false; }
    virtual TComponent* GetParentComponent() const { return nullptr; }
    virtual void SetParentComponent(TComponent* Value) { (void)Value; }
    // The components to be written inside this one when Root is written: by default, those
    // Root owns whose parent component is this one (or, for Root, those with none).
    virtual void GetChildren(const TGetChildProc& Proc, TComponent* Root);

protected:
    // AComponent was inserted into or removed from this owner, or a component this one asked
    // with FreeNotification is being freed. The default passes the news on to every owned
    // component; an override clears its references to AComponent and calls this one.
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    // Called on the owner before a component of its own is named or renamed.
    virtual void ValidateRename(TComponent* AComponent, const AnsiString& CurName, const AnsiString& NewName);
    void SetDesigning(bool Value);

private:
    friend class TLayoutReader;
    void Include(TComponentStateItem Item) { FComponentState << Item; }
    void Exclude(TComponentStateItem Item) { FComponentState >> Item; }
    // Points the owner's published field of this component's name at it (or clears it).
    void SetReference(bool Enable);

    TComponent* FOwner = nullptr;
    TList FComponents;
    std::vector<TComponent*> FFreeNotifies;
    AnsiString FName;
    int FTag = 0;
    TComponentState FComponentState;
};
