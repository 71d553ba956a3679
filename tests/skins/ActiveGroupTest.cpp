#include "ActiveSkinFixture.h"

#include "skins/Skinnedbutton.h"
#include "skins/Skinnedswitch.h"

// Groups of active skins: the ring they form, and hover, press and switch states shown on
// every member at once.

namespace {

using ActiveGroup = ActiveSkinFixture;
using Shown = std::tuple<int, int, int>;
using Log = std::vector<std::string>;

// The members met by a walk from Start along the previous members, or an empty list when
// the walk does not come back within a hundred steps.
std::vector<TCustomActiveSkin*> walk(TCustomActiveSkin* Start)
{
    std::vector<TCustomActiveSkin*> met;
    TCustomActiveSkin* m = Start;
    do {
        met.push_back(m);
        m = m->GetActiveSkinGroup();
    } while (m && m != Start && met.size() < 100);
    return met.size() < 100 ? met : std::vector<TCustomActiveSkin*>{};
}

// Both links of every member agree: the next member's previous is the member itself.
bool ringConsistent(TCustomActiveSkin* Start)
{
    for (TCustomActiveSkin* m : walk(Start))
        if ((m->NextInGroup() == nullptr) != (m->GetActiveSkinGroup() == nullptr) ||
            (m->NextInGroup() && m->NextInGroup()->GetActiveSkinGroup() != m))
            return false;
    return !walk(Start).empty();
}

bool alone(TCustomActiveSkin* C)
{
    return C->GetActiveSkinGroup() == nullptr && C->NextInGroup() == nullptr;
}

TEST_F(ActiveGroup, MembersJoinAfterTheirGroupAndLeaveItWhole)
{
    auto* a = make<TSkinnedButton>("A", 10, 10);
    auto* b = make<TSkinnedButton>("B", 60, 10);
    auto* c = make<TSkinnedButton>("C", 110, 10);
    c->SetActiveSkinGroup(a);
    b->SetActiveSkinGroup(a);
    EXPECT_EQ(c->GetActiveSkinGroup(), b) << "reads back its previous member, not the control assigned";
    EXPECT_EQ(b->GetActiveSkinGroup(), a);
    EXPECT_EQ(a->GetActiveSkinGroup(), c);
    EXPECT_EQ(walk(a).size(), 3u);
    EXPECT_TRUE(ringConsistent(a));

    b->SetActiveSkinGroup(nullptr);
    EXPECT_TRUE(alone(b));
    EXPECT_EQ(walk(a).size(), 2u);
    EXPECT_TRUE(ringConsistent(a));
    a->DetachActiveSkinGroup();
    EXPECT_TRUE(alone(a) && alone(c)) << "a group of two taken apart leaves two single controls";

    // Destroying a member of three leaves a group of two.
    b->SetActiveSkinGroup(a);
    c->SetActiveSkinGroup(a);
    delete b;
    EXPECT_EQ(walk(a).size(), 2u);
    EXPECT_TRUE(ringConsistent(a));

    // Attaching to itself changes nothing.
    c->AttachActiveSkinGroup(c);
    EXPECT_EQ(walk(c).size(), 2u);
}

TEST_F(ActiveGroup, AttachingAControlThatIsInAGroupMovesItRatherThanKnottingTheRings)
{
    auto* a = make<TSkinnedButton>("A", 10, 10);
    auto* b = make<TSkinnedButton>("B", 60, 10);
    auto* c = make<TSkinnedButton>("C", 110, 10);
    auto* d = make<TSkinnedButton>("D", 160, 10);
    auto* e = make<TSkinnedButton>("E", 210, 10);
    b->SetActiveSkinGroup(a);
    c->SetActiveSkinGroup(a);
    e->SetActiveSkinGroup(d);
    c->AttachActiveSkinGroup(d);   // straight to the attach, as a caller of the method may
    for (TCustomActiveSkin* m : {a, b, c, d, e})
        EXPECT_TRUE(ringConsistent(m)) << m->GetName().c_str();
    EXPECT_EQ(walk(a).size(), 2u);
    EXPECT_EQ(walk(d).size(), 3u);
    EXPECT_EQ(walk(c).size(), 3u);

    // The group's hover reaches the moved member and no longer its old group.
    moveTo(e, 16, 16);
    EXPECT_EQ(std::get<0>(shown(c)), 1);
    EXPECT_EQ(std::get<0>(shown(a)), 0);
}

TEST_F(ActiveGroup, AGroupShowsHoverPressAndSwitchStateOnEveryMember)
{
    auto* a = make<TSkinnedSwitch>("A", 10, 10);
    auto* b = make<TSkinnedSwitch>("B", 60, 10);
    auto* c = make<TSkinnedSwitch>("C", 110, 10);
    auto* plain = make<TSkinnedButton>("Plain", 160, 10);
    b->SetActiveSkinGroup(a);
    c->SetActiveSkinGroup(a);
    plain->SetActiveSkinGroup(a);

    moveTo(c, 16, 16);
    for (auto* m : {a, b, c})
        EXPECT_EQ(shown(m), Shown(1, 0, 300)) << m->GetName().c_str();
    press(c, 16, 16);
    for (auto* m : {a, b, c})
        EXPECT_EQ(shown(m), Shown(2, 0, 100)) << m->GetName().c_str();
    EXPECT_EQ(shown(plain), Shown(2, 0, 100)) << "a button in the group is pressed along";
    takeLog();
    release(c, 16, 16);
    for (auto* m : {a, b, c}) {
        EXPECT_TRUE(m->GetSwitchedOn()) << m->GetName().c_str();
        EXPECT_EQ(shown(m), Shown(1, 1, 400)) << m->GetName().c_str();
    }
    EXPECT_FALSE(plain->GetSwitchedOn()) << "a member without the switch keeps its state";
    EXPECT_EQ(shown(plain), Shown(2, 0, 100)) << "and its cell";
    EXPECT_EQ(takeLog(), (Log{"up C", "state C"})) << "only the clicked switch reports the change";

    moveTo(c, 200, 150);
    for (auto* m : {a, b, c})
        EXPECT_EQ(shown(m), Shown(0, 1, 300)) << m->GetName().c_str();

    // A newcomer takes the group's state at once, without an event.
    auto* d = make<TSkinnedSwitch>("D", 210, 10);
    takeLog();
    d->SetActiveSkinGroup(b);
    EXPECT_TRUE(d->GetSwitchedOn());
    EXPECT_EQ(shown(d), Shown(0, 1, 0)) << "shown at once";
    EXPECT_TRUE(takeLog().empty());
}

}  // namespace
