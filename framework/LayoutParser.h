#pragma once
// The text of a layout as a tree, parsed whole before anything is created. Used by the
// reader only.
#include <cstdint>
#include <vector>

#include "framework/System.h"

struct TLayoutValue
{
    enum TType { vtInteger, vtFloat, vtString, vtIdent, vtSet, vtList, vtBinary };
    TType Type = vtInteger;
    int64_t Integer = 0;
    bool Hex = false;   // written $..: stands for a bit pattern
    long double Float = 0;
    AnsiString Text;                // string, identifier (may be dotted), or binary data's bytes
    std::vector<AnsiString> Items;  // set members, or the strings of a list
};

struct TLayoutProperty
{
    AnsiString Path;   // "Left", "Font.Height"
    TLayoutValue Value;
    int Line = 0;
};

struct TLayoutObject
{
    AnsiString Name;   // may be empty
    AnsiString ClassName;
    int Line = 0;
    std::vector<TLayoutProperty> Properties;
    std::vector<TLayoutObject> Children;
};

// Raises EParserError "LayoutName(line): what was expected".
TLayoutObject ParseLayout(const AnsiString& Text, const AnsiString& LayoutName);

// "LayoutName(Line): What"
AnsiString LayoutMessage(const AnsiString& LayoutName, int Line, const AnsiString& What);
