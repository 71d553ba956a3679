#pragma once
// Names the original platform compares without regard to case (window classes, font faces):
// only 'A'..'Z' fold, whatever the locale.
#include <string>
#include <string_view>

inline std::string asciiLower(std::string_view text)
{
    std::string s(text);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}
