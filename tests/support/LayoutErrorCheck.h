#pragma once
// Shared check for layouts that must be refused: the kind of error, and a message that
// names the layout and the line and says what was wrong.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "framework/Layouts.h"

inline void ExpectLayoutError(const std::function<void()>& read, const std::string& layoutName,
                              int line, bool parserError, const std::string& says)
{
    std::string message;
    try {
        read();
        ADD_FAILURE() << "nothing raised";
    } catch (const EParserError& e) {
        EXPECT_TRUE(parserError);
        message = e.Message();
    } catch (const EReadError& e) {
        EXPECT_FALSE(parserError);
        message = e.Message();
    }
    std::string where = layoutName + "(" + std::to_string(line) + "): ";
    EXPECT_EQ(message.substr(0, where.size()), where) << message;
    EXPECT_NE(message.find(says), std::string::npos) << message;
}
