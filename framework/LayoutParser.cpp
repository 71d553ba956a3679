#include "framework/LayoutParser.h"
#include "framework/SysUtils.h"

#include <cctype>
#include <cstdlib>
#include <limits>

#include "framework/Layouts.h"

namespace {

constexpr int maxDepth = 64;   // deeper nesting is a broken file, not a form

struct Token
{
    enum TKind { tIdent, tInteger, tFloat, tString, tBinary, tSymbol, tEnd };
    TKind Kind = tEnd;
    AnsiString Text;   // identifier, string value, the bytes of binary data, or the symbol
    int64_t Integer = 0;
    bool Hex = false;
    long double Float = 0;
    int Line = 1;
};

bool isIdentStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool isIdentChar(char c)
{
    return isIdentStart(c) || std::isdigit(static_cast<unsigned char>(c));
}

class Parser
{
public:
    Parser(const AnsiString& text, const AnsiString& name) : FText(text), FName(name)
    {
        if (FText.compare(0, 3, "\xEF\xBB\xBF") == 0)   // a byte-order mark some editors add
            FPos = 3;
        Advance();
    }

    TLayoutObject Layout()
    {
        TLayoutObject root = Object(0);
        if (FTok.Kind != Token::tEnd)
            Fail("expected the end of the layout but found " + Describe(FTok));
        return root;
    }

private:
    TLayoutObject Object(int depth)
    {
        if (depth > maxDepth)
            Fail("objects are nested too deeply");
        if (FTok.Kind != Token::tIdent || !SameText(FTok.Text, "object")) {
            if (FTok.Kind == Token::tIdent && (SameText(FTok.Text, "inherited") || SameText(FTok.Text, "inline")))
                Fail("'" + FTok.Text + "' objects are not supported");
            Fail("expected 'object' but found " + Describe(FTok));
        }
        TLayoutObject object;
        object.Line = FTok.Line;
        Advance();
        AnsiString first = Ident("a component name or class");
        if (IsSymbol(":")) {
            Advance();
            object.Name = first;
            object.ClassName = Ident("a class name");
        } else {
            object.ClassName = first;
        }
        for (;;) {
            if (FTok.Kind == Token::tEnd)
                Fail("expected 'end' of object " + (object.Name.empty() ? object.ClassName : object.Name) +
                     " (line " + std::to_string(object.Line) + ") but found the end of the layout");
            if (FTok.Kind != Token::tIdent)
                Fail("expected a property, 'object' or 'end' but found " + Describe(FTok));
            if (SameText(FTok.Text, "end")) {
                Advance();
                return object;
            }
            if (SameText(FTok.Text, "object") || SameText(FTok.Text, "inherited") || SameText(FTok.Text, "inline")) {
                object.Children.push_back(Object(depth + 1));
                continue;
            }
            if (!object.Children.empty())
                Fail("expected 'object' or 'end' but found " + Describe(FTok) +
                     " (properties come before the objects inside)");
            object.Properties.push_back(Property());
        }
    }

    TLayoutProperty Property()
    {
        TLayoutProperty property;
        property.Line = FTok.Line;
        property.Path = DottedIdent("a property name");
        if (!IsSymbol("="))
            Fail("expected '=' but found " + Describe(FTok));
        Advance();
        property.Value = Value();
        return property;
    }

    TLayoutValue Value()
    {
        TLayoutValue value;
        switch (FTok.Kind) {
        case Token::tInteger:
            value.Type = TLayoutValue::vtInteger;
            value.Integer = FTok.Integer;
            value.Hex = FTok.Hex;
            Advance();
            return value;
        case Token::tFloat:
            value.Type = TLayoutValue::vtFloat;
            value.Float = FTok.Float;
            Advance();
            return value;
        case Token::tString:
            value.Type = TLayoutValue::vtString;
            value.Text = StringValue();
            return value;
        case Token::tIdent:
            value.Type = TLayoutValue::vtIdent;
            value.Text = DottedIdent("a value");
            return value;
        case Token::tBinary:
            value.Type = TLayoutValue::vtBinary;
            value.Text = FTok.Text;
            Advance();
            return value;
        default:
            break;
        }
        if (IsSymbol("(")) {   // ('first' 'second'): the strings of a list
            value.Type = TLayoutValue::vtList;
            int opened = FTok.Line;
            Advance();
            while (!IsSymbol(")")) {
                if (FTok.Kind != Token::tString)
                    Fail("expected a string or the ')' closing the list of line " + std::to_string(opened) +
                         " but found " + Describe(FTok));
                value.Items.push_back(StringValue());
            }
            Advance();
            return value;
        }
        if (!IsSymbol("["))
            Fail("expected a value but found " + Describe(FTok));
        value.Type = TLayoutValue::vtSet;
        Advance();
        if (IsSymbol("]")) {
            Advance();
            return value;
        }
        for (;;) {
            value.Items.push_back(Ident("a set element"));
            if (IsSymbol("]")) {
                Advance();
                return value;
            }
            if (!IsSymbol(","))
                Fail("expected ',' or ']' but found " + Describe(FTok));
            Advance();
        }
    }

    // A string token, and those joined to it by '+': 'first line' + 'second line'.
    AnsiString StringValue()
    {
        AnsiString text = FTok.Text;
        Advance();
        while (IsSymbol("+")) {
            Advance();
            if (FTok.Kind != Token::tString)
                Fail("expected a string after '+' but found " + Describe(FTok));
            text += FTok.Text;
            Advance();
        }
        return text;
    }

    AnsiString Ident(const char* what)
    {
        if (FTok.Kind != Token::tIdent)
            Fail(AnsiString("expected ") + what + " but found " + Describe(FTok));
        AnsiString text = FTok.Text;
        Advance();
        return text;
    }

    AnsiString DottedIdent(const char* what)
    {
        AnsiString text = Ident(what);
        while (IsSymbol(".")) {
            Advance();
            text += '.';
            text += Ident("a name after '.'");
        }
        return text;
    }

    bool IsSymbol(const char* s) const { return FTok.Kind == Token::tSymbol && FTok.Text == s; }

    static AnsiString Describe(const Token& t)
    {
        switch (t.Kind) {
        case Token::tIdent:
            return "'" + t.Text + "'";
        case Token::tInteger:
            return "the number " + std::to_string(t.Integer);
        case Token::tFloat:
            return "a number";
        case Token::tString:
            return "a string";
        case Token::tBinary:
            return "binary data";
        case Token::tSymbol:
            return "'" + t.Text + "'";
        case Token::tEnd:
            break;
        }
        return "the end of the layout";
    }

    [[noreturn]] void Fail(const AnsiString& what) const { FailAt(FTok.Line, what); }
    [[noreturn]] void FailAt(int line, const AnsiString& what) const
    {
        throw EParserError(LayoutMessage(FName, line, what));
    }

    // ---- Tokens ----

    char At(size_t i) const { return i < FText.size() ? FText[i] : '\0'; }

    void Advance()
    {
        while (FPos < FText.size()) {
            char c = FText[FPos];
            if (c == '\n')
                ++FLine;
            else if (c != ' ' && c != '\t' && c != '\r')
                break;
            ++FPos;
        }
        FTok = Token();
        FTok.Line = FLine;
        if (FPos >= FText.size()) {
            // The end is on the last line, not on the empty one a final line break opens.
            if (FLine > 1 && FText.back() == '\n')
                FTok.Line = FLine - 1;
            return;
        }
        char c = FText[FPos];
        if (isIdentStart(c)) {
            size_t start = FPos;
            while (isIdentChar(At(FPos)))
                ++FPos;
            FTok.Kind = Token::tIdent;
            FTok.Text = FText.substr(start, FPos - start);
        } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '$' ||
                   (c == '-' && (std::isdigit(static_cast<unsigned char>(At(FPos + 1))) || At(FPos + 1) == '$'))) {
            Number();
        } else if (c == '\'' || c == '#') {
            String();
        } else if (c == '{') {
            Binary();
        } else if (std::isprint(static_cast<unsigned char>(c))) {
            FTok.Kind = Token::tSymbol;
            FTok.Text = AnsiString(1, c);
            ++FPos;
        } else {
            FailAt(FLine, "unexpected character #" + std::to_string(static_cast<unsigned char>(c)));
        }
    }

    void Number()
    {
        bool negative = At(FPos) == '-';
        if (negative)
            ++FPos;
        if (At(FPos) == '$') {
            ++FPos;
            uint64_t value = 0;
            size_t digits = 0;
            while (std::isxdigit(static_cast<unsigned char>(At(FPos)))) {
                if (value > (std::numeric_limits<uint64_t>::max() >> 4))
                    FailAt(FLine, "the number is too large");
                char d = char(std::tolower(static_cast<unsigned char>(At(FPos++))));
                value = value * 16 + uint64_t(d <= '9' ? d - '0' : d - 'a' + 10);
                ++digits;
            }
            if (digits == 0)
                FailAt(FLine, "expected hexadecimal digits after '$'");
            if (value > uint64_t(std::numeric_limits<int64_t>::max()))
                FailAt(FLine, "the number is too large");
            FTok.Kind = Token::tInteger;
            FTok.Hex = true;
            FTok.Integer = negative ? -int64_t(value) : int64_t(value);
        } else {
            size_t start = FPos;
            while (std::isdigit(static_cast<unsigned char>(At(FPos))))
                ++FPos;
            bool isFloat = false;
            if (At(FPos) == '.' && std::isdigit(static_cast<unsigned char>(At(FPos + 1)))) {
                isFloat = true;
                for (++FPos; std::isdigit(static_cast<unsigned char>(At(FPos)));)
                    ++FPos;
            }
            if (At(FPos) == 'e' || At(FPos) == 'E') {
                size_t exponent = FPos + 1;
                if (At(exponent) == '+' || At(exponent) == '-')
                    ++exponent;
                if (!std::isdigit(static_cast<unsigned char>(At(exponent))))
                    FailAt(FLine, "expected the digits of an exponent");
                isFloat = true;
                for (FPos = exponent; std::isdigit(static_cast<unsigned char>(At(FPos)));)
                    ++FPos;
            }
            AnsiString digits = FText.substr(start, FPos - start);
            if (isFloat) {
                FTok.Kind = Token::tFloat;
                FTok.Float = std::strtold(digits.c_str(), nullptr);
                if (negative)
                    FTok.Float = -FTok.Float;
            } else {
                uint64_t value = 0;
                for (char d : digits) {
                    if (value > (uint64_t(std::numeric_limits<int64_t>::max()) - uint64_t(d - '0')) / 10)
                        FailAt(FLine, "the number is too large");
                    value = value * 10 + uint64_t(d - '0');
                }
                FTok.Kind = Token::tInteger;
                FTok.Integer = negative ? -int64_t(value) : int64_t(value);
            }
        }
        if (isIdentChar(At(FPos)))
            FailAt(FLine, "expected a number but found '" + FText.substr(FPos, 1) + "' in it");
    }

    // { 0A 1B ... }: bytes as pairs of hexadecimal digits, spread over lines as they like.
    void Binary()
    {
        FTok.Kind = Token::tBinary;
        int opened = FLine;
        int high = -1;
        for (++FPos;; ++FPos) {
            char c = At(FPos);
            if (FPos >= FText.size())
                FailAt(opened, "expected '}' closing the binary data of line " + std::to_string(opened) +
                                   " but found the end of the layout");
            if (c == '}')
                break;
            if (c == '\n') {
                ++FLine;
                continue;
            }
            if (c == ' ' || c == '\t' || c == '\r')
                continue;
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                FailAt(FLine, "expected hexadecimal digits in binary data but found '" + AnsiString(1, c) + "'");
            int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
            if (high < 0) {
                high = digit;
            } else {
                FTok.Text += char(high * 16 + digit);
                high = -1;
            }
        }
        if (high >= 0)
            FailAt(FLine, "binary data ends in half a byte (an odd number of hexadecimal digits)");
        ++FPos;
    }

    // 'quoted text' with '' for a quote, and #13 (or #$0D) for a character, run together.
    void String()
    {
        FTok.Kind = Token::tString;
        for (;;) {
            if (At(FPos) == '\'') {
                for (++FPos;; ++FPos) {
                    if (FPos >= FText.size() || FText[FPos] == '\n' || FText[FPos] == '\r')
                        FailAt(FLine, "unterminated string");
                    if (FText[FPos] == '\'') {
                        if (At(FPos + 1) != '\'')
                            break;
                        ++FPos;
                    }
                    FTok.Text += FText[FPos];
                }
                ++FPos;
            } else if (At(FPos) == '#') {
                ++FPos;
                bool hex = At(FPos) == '$';
                if (hex)
                    ++FPos;
                int code = 0;
                size_t digits = 0;
                for (; hex ? std::isxdigit(static_cast<unsigned char>(At(FPos)))
                           : std::isdigit(static_cast<unsigned char>(At(FPos)));
                     ++FPos, ++digits) {
                    char d = char(std::tolower(static_cast<unsigned char>(At(FPos))));
                    code = code * (hex ? 16 : 10) + (d <= '9' ? d - '0' : d - 'a' + 10);
                    if (code > 255)
                        FailAt(FLine, "character code out of range 0..255");
                }
                if (digits == 0)
                    FailAt(FLine, "expected a character code after '#'");
                FTok.Text += char(code);
            } else {
                return;
            }
        }
    }

    const AnsiString& FText;
    const AnsiString& FName;
    size_t FPos = 0;
    int FLine = 1;
    Token FTok;
};

}   // namespace

AnsiString LayoutMessage(const AnsiString& LayoutName, int Line, const AnsiString& What)
{
    return LayoutName + "(" + std::to_string(Line) + "): " + What;
}

TLayoutObject ParseLayout(const AnsiString& Text, const AnsiString& LayoutName)
{
    return Parser(Text, LayoutName).Layout();
}
