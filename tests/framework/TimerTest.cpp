#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/ExtCtrls.h"
#include "framework/Layouts.h"
#include "framework/Registration.h"
#include "framework/TypeInfo.h"
#include "platform/Timers.h"
#include "tests/support/DesktopFixture.h"

namespace {

class TimerTest : public DesktopFixture
{
protected:
    void SetUp() override
    {
        DesktopFixture::SetUp();
        processPendingMessages();
    }

    // Moves the clock in steps, processing messages after each, as a running loop would.
    void run(int ms, int step = 5)
    {
        for (int t = 0; t < ms; t += step) {
            clock->advanceMs(step);
            now += step;
            processPendingMessages();
        }
    }

    int now = 0;
};

TEST_F(TimerTest, FiresInDeadlineOrderAsTheClockAdvances)
{
    std::vector<std::string> fired;
    TTimer fast(nullptr), slow(nullptr);
    fast.SetInterval(30);
    slow.SetInterval(50);
    fast.SetOnTimer([&](TObject* s) {
        EXPECT_EQ(s, &fast);
        fired.push_back("fast@" + std::to_string(now));
    });
    slow.SetOnTimer([&](TObject*) { fired.push_back("slow@" + std::to_string(now)); });
    processPendingMessages();
    EXPECT_TRUE(fired.empty());   // nothing is due before the clock moves
    run(100);
    EXPECT_EQ(fired, (std::vector<std::string>{"fast@30", "slow@50", "fast@60", "fast@90", "slow@100"}));
}

TEST_F(TimerTest, DisablingOrClearingStopsAndChangesRestart)
{
    int ticks = 0;
    TTimer timer(nullptr);
    timer.SetInterval(20);
    timer.SetOnTimer([&](TObject*) { ++ticks; });
    run(40);
    EXPECT_EQ(ticks, 2);

    timer.SetEnabled(false);
    run(100);
    EXPECT_EQ(ticks, 2);

    timer.SetEnabled(true);   // restarts: a full interval from now
    run(15);
    EXPECT_EQ(ticks, 2);
    run(5);
    EXPECT_EQ(ticks, 3);

    timer.SetInterval(0);
    run(100);
    EXPECT_EQ(ticks, 3);
    timer.SetInterval(10);
    timer.SetOnTimer(nullptr);
    run(100);
    EXPECT_EQ(ticks, 3);

    // A change of interval restarts the count, so a timer reset just before it fell due waits.
    timer.SetOnTimer([&](TObject*) { ++ticks; });
    run(5);
    timer.SetInterval(50);
    run(45);
    EXPECT_EQ(ticks, 3);
    run(10);
    EXPECT_EQ(ticks, 4);
}

TEST_F(TimerTest, TimerFreedInsideItsOwnHandlerIsSafe)
{
    int ticks = 0;
    auto* timer = new TTimer(nullptr);
    timer->SetInterval(10);
    timer->SetOnTimer([&](TObject* sender) {
        ++ticks;
        delete static_cast<TTimer*>(sender);
    });
    run(100);
    EXPECT_EQ(ticks, 1);

    // Its owner going away inside the handler frees it too.
    auto* owner = new TComponent(nullptr);
    auto* owned = new TTimer(owner);
    owned->SetInterval(10);
    owned->SetOnTimer([&](TObject*) {
        ++ticks;
        delete owner;
    });
    run(50);
    EXPECT_EQ(ticks, 2);
}

TEST_F(TimerTest, ATimerWithoutWorkKeepsNoPlatformTimer)
{
    size_t before = topLevelWindows().size();
    TTimer idle(nullptr);   // enabled, 1000 ms, but no handler
    EXPECT_EQ(topLevelWindows().size(), before);
    EXPECT_EQ(msUntilNextTimer(), -1);
}

// ---- Loading ----

class TTimerForm : public TComponent
{
public:
    using TComponent::TComponent;
    static TClass StaticClass()
    {
        static const TClass Class = TPublished<TTimerForm, TComponent>("TTimerForm")
            .Field("Ticker", &TTimerForm::Ticker)
            .PublishMethod("TickerTimer", &TTimerForm::TickerTimer);
        return Class;
    }
    TClass ClassType() const override { return StaticClass(); }

    void TickerTimer(TObject*) { ++Ticks; }
    // Runs before the timer's own Loaded: the timer must not be running yet.
    void Loaded() override
    {
        TComponent::Loaded();
        if (BeforeTimerLoaded)
            BeforeTimerLoaded();
    }

    TTimer* Ticker = nullptr;
    int Ticks = 0;
    std::function<void()> BeforeTimerLoaded;
};

TEST_F(TimerTest, NothingRunsWhileLoadingAndLoadedStartsIt)
{
    Framework::RegisterAll();
    RegisterClass(ClassOf<TTimerForm>());
    TTimerForm form(nullptr);
    int ticksWhileLoading = -1;
    form.BeforeTimerLoaded = [&] {
        run(100);
        ticksWhileLoading = form.Ticks;
    };
    ReadLayout(&form,
               "object F: TTimerForm\n  object Ticker: TTimer\n    Interval = 25\n    OnTimer = TickerTimer\n"
               "  end\nend\n",
               "F.lfm", nullptr);
    EXPECT_EQ(ticksWhileLoading, 0);
    ASSERT_NE(form.Ticker, nullptr);
    EXPECT_EQ(form.Ticker->GetInterval(), 25u);
    run(50);
    EXPECT_EQ(form.Ticks, 2);

    EXPECT_EQ(WriteLayout(&form), "object F: TTimerForm\n  object Ticker: TTimer\n    Interval = 25\n"
                                  "    OnTimer = TickerTimer\n  end\nend\n");
    EXPECT_EQ(GetClass("TTimer")->Page(), "System");
}

}   // namespace
