// The program's choice of display from the environment.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/WindowTree.h"
#include "platform/Windows.h"
#include "platform/display/DisplayBackend.h"
#include "platform/display/headless/HeadlessDisplay.h"

namespace {

// Sets DISPLAY for one test and puts the old value back.
class DisplayVariable
{
public:
    explicit DisplayVariable(const char* value)
    {
        if (const char* old = std::getenv("DISPLAY"))
            saved_ = old;
        if (value)
            setenv("DISPLAY", value, 1);
        else
            unsetenv("DISPLAY");
    }
    ~DisplayVariable()
    {
        if (saved_)
            setenv("DISPLAY", saved_->c_str(), 1);
        else
            unsetenv("DISPLAY");
    }

private:
    std::optional<std::string> saved_;
};

}  // namespace

TEST(DisplaySelect, WithoutDisplayTheUserIsToldWhy)
{
    for (const char* value : {static_cast<const char*>(nullptr), ""}) {
        DisplayVariable variable(value);
        std::string error;
        EXPECT_FALSE(installDisplayFromEnvironment(error));
        EXPECT_EQ(error, "Lumo free needs a graphical desktop: DISPLAY is not set.");
    }
}

TEST(DisplaySelect, AServerThatCannotBeOpenedIsNamedAndNothingIsInstalled)
{
    DisplayVariable variable("unix:4711");   // no server listens there
    auto before = installDisplayBackend(nullptr);
    std::string error;
    EXPECT_FALSE(installDisplayFromEnvironment(error));
    EXPECT_NE(error.find("unix:4711"), std::string::npos) << error;
    EXPECT_EQ(installDisplayBackend(before), nullptr);
}

// No display is made behind the program's back: using none is refused by name, while a post
// from another thread (a camera's frame) has no loop to wake and waits in the queue.
TEST(DisplayBackend, WithoutOneItsUseIsRefusedAndWakeUpsWaitForTheLoop)
{
    destroyAllWindows();
    auto before = installDisplayBackend(nullptr);
    EXPECT_EQ(sharedDisplayBackend(), nullptr);
    try {
        displayBackend();
        ADD_FAILURE() << "no error";
    } catch (const std::logic_error& e) {
        EXPECT_NE(std::string(e.what()).find("No display is installed"), std::string::npos) << e.what();
    }
    std::thread([] { EXPECT_TRUE(PostMessageA(0, WM_USER + 7, 3, 0)); }).join();
    EXPECT_EQ(sharedDisplayBackend(), nullptr) << "the post installed a display";

    installHeadlessDisplay();
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, 0, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER + 7));
    EXPECT_EQ(msg.wParam, 3u);
    installDisplayBackend(before);
}
