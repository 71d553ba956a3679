// The program's choice of display from the environment.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/display/DisplayBackend.h"

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
