#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Components.h"
#include "framework/TypeInfo.h"

namespace {

// Records what happens to it in a shared log, and holds one reference to another component.
class TProbe : public TComponent
{
public:
    TProbe(TComponent* AOwner, std::vector<std::string>* Log = nullptr) : TComponent(AOwner), FLog(Log) {}
    ~TProbe() override
    {
        if (FLog)
            FLog->push_back("free " + GetName() + (ComponentState().Contains(csDestroying) ? " destroying" : ""));
    }
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    TComponent* GetRef() const { return FRef; }
    void SetRef(TComponent* Value)
    {
        FRef = Value;
        if (Value)
            Value->FreeNotification(this);
    }
    using TComponent::SetDesigning;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override
    {
        TComponent::Notification(AComponent, Operation);
        if (Operation == opRemove && AComponent == FRef) {
            FRef = nullptr;
            if (FLog)
                FLog->push_back(GetName() + " lost its reference");
        }
    }

private:
    std::vector<std::string>* FLog;
    TComponent* FRef = nullptr;
};

// Publishes a field, so naming an owned component points it there.
class TProbeForm : public TComponent
{
public:
    using TComponent::TComponent;
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }
    TProbe* OkButton = nullptr;
};

// Forgets to declare its own class.
class TCareless : public TProbe
{
public:
    using TProbe::TProbe;
};

TClass TProbe::StaticClass()
{
    static const TClass Class = TPublished<TProbe, TComponent>("TProbe")
        .Property("Ref", &TProbe::GetRef, &TProbe::SetRef);
    return Class;
}

TClass TProbeForm::StaticClass()
{
    static const TClass Class = TPublished<TProbeForm, TComponent>("TProbeForm").Field("OkButton", &TProbeForm::OkButton);
    return Class;
}

template <class F>
std::string messageOf(F&& f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(nothing raised)";
}

// ---- TList ----

TEST(List, InsertMoveExchangeAndRemoveKeepOrder)
{
    int a = 0, b = 0, c = 0, d = 0;
    TList list;
    list.Add(&a);
    list.Add(&c);
    list.Insert(1, &b);
    list.Insert(3, &d);   // at the end is allowed
    EXPECT_EQ(list.Count(), 4);
    list.Move(0, 3);      // b c d a
    list.Exchange(0, 1);  // c b d a
    EXPECT_EQ(list.Items(0), &c);
    EXPECT_EQ(list.Items(1), &b);
    EXPECT_EQ(list.Last(), &a);
    EXPECT_EQ(list.Remove(&d), 2);
    EXPECT_EQ(list.Remove(&d), -1);
    EXPECT_EQ(list.IndexOf(&a), 2);
    list.Put(1, nullptr);
    list.Pack();
    EXPECT_EQ(list.Count(), 2);
}

TEST(List, BadIndexRaisesAndChangesNothing)
{
    int a = 0;
    TList list;
    list.Add(&a);
    EXPECT_EQ(messageOf([&] { list.Items(5); }), "List index out of bounds (5)");
    EXPECT_EQ(messageOf([&] { list.Delete(-1); }), "List index out of bounds (-1)");
    EXPECT_EQ(messageOf([&] { list.Insert(2, &a); }), "List index out of bounds (2)");
    EXPECT_EQ(messageOf([&] { list.Move(0, 1); }), "List index out of bounds (1)");
    EXPECT_THROW(list.Exchange(0, 1), EListError);
    EXPECT_THROW(TList().First(), EListError);
    EXPECT_THROW(list.SetCount(-1), EListError);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Items(0), &a);
}

// ---- Ownership ----

TEST(ComponentOwnership, OwnerFreesItsComponentsLastFirstAndFreedOnesLeave)
{
    std::vector<std::string> log;
    auto* owner = new TComponent(nullptr);
    auto* a = new TProbe(owner, &log);
    a->SetName("A");
    auto* b = new TProbe(owner, &log);
    b->SetName("B");
    auto* c = new TProbe(owner, &log);
    c->SetName("C");
    delete b;
    ASSERT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(owner->Components(1), c);
    EXPECT_EQ(c->ComponentIndex(), 1);
    EXPECT_EQ(messageOf([&] { owner->Components(2); }), "List index out of bounds (2)");
    delete owner;
    EXPECT_EQ(log, (std::vector<std::string>{"free B", "free C destroying", "free A destroying"}));
}

TEST(ComponentOwnership, InsertingMovesFromTheOldOwnerAndRefusesCycles)
{
    TComponent first(nullptr), second(nullptr);
    auto* child = new TProbe(&first);
    child->SetName("Child");
    second.InsertComponent(child);
    EXPECT_EQ(first.ComponentCount(), 0);
    EXPECT_EQ(child->Owner(), &second);
    EXPECT_THROW(child->InsertComponent(&second), EComponentError);
    EXPECT_THROW(child->InsertComponent(child), EComponentError);

    auto* twin = new TProbe(&first);
    twin->SetName("child");
    EXPECT_EQ(messageOf([&] { second.InsertComponent(twin); }), "A component named child already exists");
    EXPECT_EQ(twin->Owner(), &first);
}

TEST(ComponentOwnership, DesigningPassesToInsertedComponents)
{
    TProbe owner(nullptr);
    owner.SetDesigning(true);
    TProbe child(&owner);
    EXPECT_TRUE(child.ComponentState().Contains(csDesigning));
    owner.RemoveComponent(&child);
}

// ---- Notification ----

TEST(ComponentNotification, FreeingASiblingClearsTheReference)
{
    TComponent owner(nullptr);
    auto* holder = new TProbe(&owner);
    auto* target = new TProbe(&owner);
    holder->SetRef(target);
    delete target;
    EXPECT_EQ(holder->GetRef(), nullptr);
}

TEST(ComponentNotification, FreeingAComponentOfAnotherOwnerClearsTheReference)
{
    TComponent ownerA(nullptr), ownerB(nullptr);
    auto* holder = new TProbe(&ownerA);
    auto* target = new TProbe(&ownerB);
    auto* loneTarget = new TProbe(nullptr);
    holder->SetRef(target);
    delete target;
    EXPECT_EQ(holder->GetRef(), nullptr);
    holder->SetRef(loneTarget);
    delete loneTarget;
    EXPECT_EQ(holder->GetRef(), nullptr);
}

TEST(ComponentNotification, AFreedHolderIsNotToldLater)
{
    // Under the sanitizer, a notification sent to the freed holder would be caught here.
    auto* target = new TProbe(nullptr);
    auto* holder = new TProbe(nullptr);
    holder->SetRef(target);
    delete holder;
    delete target;
}

TEST(ComponentNotification, WhenTheOwnerGoesReferencesAreClearedBeforeTheirTargetIsFreed)
{
    std::vector<std::string> log;
    auto* owner = new TComponent(nullptr);
    auto* first = new TProbe(owner, &log);
    first->SetName("First");
    auto* last = new TProbe(owner, &log);
    last->SetName("Last");
    first->SetRef(last);
    delete owner;
    EXPECT_EQ(log, (std::vector<std::string>{"First lost its reference", "free Last destroying",
                                             "free First destroying"}));
}

// ---- Names ----

TEST(ComponentName, OnlyIdentifiersAreNames)
{
    TComponent c(nullptr);
    for (const std::string bad : {"1st", "a b", "ä", "x-y", "a.b"}) {
        std::string expected = "'";
        expected += bad;
        expected += "' is not a valid component name";
        EXPECT_EQ(messageOf([&] { c.SetName(bad); }), expected);
    }
    for (const char* good : {"_x", "Button1", "a_B_9"}) {
        c.SetName(good);
        EXPECT_EQ(c.GetName(), good);
    }
    c.SetName("");
    EXPECT_EQ(c.GetName(), "");
}

TEST(ComponentName, UniqueAmongTheOwnersComponentsWithoutRegardToCase)
{
    TComponent owner(nullptr);
    TComponent a(&owner), b(&owner), unnamed1(&owner), unnamed2(&owner);
    a.SetName("Button1");
    EXPECT_EQ(messageOf([&] { b.SetName("BUTTON1"); }), "A component named BUTTON1 already exists");
    EXPECT_EQ(b.GetName(), "");
    a.SetName("button1");   // its own name in another case
    EXPECT_EQ(owner.FindComponent("BUTTON1"), &a);
    EXPECT_EQ(owner.FindComponent(""), nullptr);
    TComponent lone1(nullptr), lone2(nullptr);
    lone1.SetName("Same");
    lone2.SetName("Same");   // no owner, nothing to clash with
}

TEST(ComponentName, NamingPointsTheOwnersFieldAndFreeingClearsIt)
{
    TProbeForm form(nullptr);
    auto* button = new TProbe(&form);
    button->SetName("OkButton");
    EXPECT_EQ(form.OkButton, button);
    button->SetName("Other");
    EXPECT_EQ(form.OkButton, nullptr);
    button->SetName("okbutton");
    EXPECT_EQ(form.OkButton, button);
    delete button;
    EXPECT_EQ(form.OkButton, nullptr);

    TComponent wrongKind(&form);
    EXPECT_EQ(messageOf([&] { wrongKind.SetName("OkButton"); }),
              "Field TProbeForm.OkButton cannot hold OkButton of class TComponent");
}

TEST(ComponentState, LoadedEndsLoadingAndSetsAreValues)
{
    TComponentState s{csLoading, csReading};
    s << csDesigning >> csReading;
    EXPECT_TRUE(s.Contains(csLoading) && s.Contains(csDesigning) && !s.Contains(csReading));
    EXPECT_EQ(s * TComponentState({csDesigning, csWriting}), TComponentState{csDesigning});
    EXPECT_EQ(s - s, TComponentState{});
    TComponent c(nullptr);
    c.Loaded();
    EXPECT_FALSE(c.ComponentState().Contains(csLoading));
}

// ---- Class registry ----

TEST(TypeInfoRegistry, FindsRegisteredClassesByNameAndCreatesThem)
{
    RegisterComponents("Probes", {ClassOf<TProbe>(), ClassOf<TProbeForm>()});
    RegisterClass(ClassOf<TProbe>());   // again: no change
    EXPECT_EQ(FindClass("tprobe"), ClassOf<TProbe>());
    EXPECT_EQ(FindClass("TComponent"), ClassOf<TComponent>());   // ancestors come along
    EXPECT_EQ(GetClass("TNoSuchThing"), nullptr);
    EXPECT_EQ(messageOf([] { FindClass("TFoo"); }), "Class TFoo not found");
    EXPECT_THROW(FindClass("TFoo"), EClassNotFound);
    EXPECT_EQ(ClassOf<TProbe>()->Page(), "Probes");

    TProbeForm form(nullptr);
    TComponent* made = CreateComponent("TProbe", &form);
    EXPECT_NE(dynamic_cast<TProbe*>(made), nullptr);
    EXPECT_EQ(made->Owner(), &form);
    EXPECT_EQ(made->ClassName(), "TProbe");
}

TEST(TypeInfoRegistry, TablesExtendTheirParentsAndAnotherClassOfATakenNameIsRefused)
{
    TClass probe = ClassOf<TProbe>();
    ASSERT_EQ(probe->Properties().size(), 2u);
    EXPECT_EQ(probe->Properties()[0]->Name(), "Tag");   // the parent's first
    EXPECT_EQ(probe->FindProperty("REF")->Kind(), pkComponent);
    EXPECT_EQ(ClassOf<TComponent>()->FindProperty("Ref"), nullptr);
    EXPECT_TRUE(probe->InheritsFrom(ClassOf<TComponent>()));

    static const TClass impostor = TPublished<TCareless, TProbe>("TProbe");
    EXPECT_THROW(RegisterClass(impostor), EFilerError);
    EXPECT_THROW(ClassOf<TCareless>(), EFilerError);   // it would find TProbe's table
}

}   // namespace
