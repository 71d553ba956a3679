#include <cmath>
#include <cstring>

#include "framework/TypeInfo.h"

namespace {

constexpr TIdentMapEntry<TFontStyle> fontStyleIdents[] = {
    {fsBold, "fsBold"}, {fsItalic, "fsItalic"}, {fsUnderline, "fsUnderline"}, {fsStrikeOut, "fsStrikeOut"}};
constexpr TIdentMapEntry<TFontPitch> fontPitchIdents[] = {
    {fpDefault, "fpDefault"}, {fpVariable, "fpVariable"}, {fpFixed, "fpFixed"}};
constexpr TIdentMapEntry<TFontCharset> charsetIdents[] = {{ANSI_CHARSET, "ANSI_CHARSET"},
                                                          {DEFAULT_CHARSET, "DEFAULT_CHARSET"}};

}  // namespace

TClass TFont::StaticClass()
{
    static const TClass Class = TPublished<TFont, TPersistent>("TFont")
        .Property("Charset", &TFont::GetCharset, &TFont::SetCharset, charsetIdents, Default(TFontCharset(DEFAULT_CHARSET)))
        .Property("Color", &TFont::GetColor, &TFont::SetColor, ColorIdents(), Default(clWindowText))
        .Property("Height", &TFont::GetHeight, &TFont::SetHeight, Default(-11))
        .Property("Name", &TFont::GetName, &TFont::SetName, Default("MS Sans Serif"))
        .Property("Pitch", &TFont::GetPitch, &TFont::SetPitch, fontPitchIdents, Default(fpDefault))
        .Property("Style", &TFont::GetStyle, &TFont::SetStyle, fontStyleIdents, Default(TFontStyles{}));
    return Class;
}

TFont::~TFont()
{
    FreeHandle();
}

void TFont::FreeHandle()
{
    if (FHandle)
        DeleteObject(FHandle);
    FHandle = 0;
}

void TFont::Changed()
{
    FreeHandle();
    if (OnChange)
        OnChange(this);
}

void TFont::Assign(TPersistent* Source)
{
    if (auto* font = dynamic_cast<TFont*>(Source)) {
        if (font == this || Equals(*font))
            return;
        FName = font->FName;
        FHeight = font->FHeight;
        FColor = font->FColor;
        FStyle = font->FStyle;
        FCharset = font->FCharset;
        FPitch = font->FPitch;
        Changed();
        return;
    }
    TPersistent::Assign(Source);
}

bool TFont::Equals(const TFont& Other) const
{
    return FName == Other.FName && FHeight == Other.FHeight && FColor == Other.FColor &&
           FStyle == Other.FStyle && FCharset == Other.FCharset && FPitch == Other.FPitch;
}

void TFont::SetName(const AnsiString& Value)
{
    if (Value.empty() || Value == FName)
        return;   // the classic font keeps its face when given an empty name
    FName = Value;
    Changed();
}

void TFont::SetHeight(int Value)
{
    if (Value == FHeight)
        return;
    FHeight = Value;
    Changed();
}

int TFont::GetSize() const
{
    // Rounded as the classic MulDiv does.
    return int(std::lround(-double(FHeight) * 72.0 / GetPixelsPerInch()));
}

void TFont::SetSize(int Value)
{
    SetHeight(-int(std::lround(double(Value) * GetPixelsPerInch() / 72.0)));
}

void TFont::SetColor(TColor Value)
{
    if (Value == FColor)
        return;
    FColor = Value;
    // Colour is not part of the logical font: keep the handle.
    if (OnChange)
        OnChange(this);
}

void TFont::SetStyle(TFontStyles Value)
{
    if (Value == FStyle)
        return;
    FStyle = Value;
    Changed();
}

void TFont::SetCharset(TFontCharset Value)
{
    if (Value == FCharset)
        return;
    FCharset = Value;
    Changed();
}

void TFont::SetPitch(TFontPitch Value)
{
    if (Value == FPitch)
        return;
    FPitch = Value;
    Changed();
}

HFONT TFont::GetHandle()
{
    if (!FHandle) {
        LOGFONTA lf{};
        lf.lfHeight = FHeight;
        lf.lfWeight = FStyle.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = FStyle.Contains(fsItalic);
        lf.lfUnderline = FStyle.Contains(fsUnderline);
        lf.lfStrikeOut = FStyle.Contains(fsStrikeOut);
        lf.lfCharSet = FCharset;
        lf.lfQuality = DEFAULT_QUALITY;
        lf.lfPitchAndFamily = FPitch == fpFixed ? FIXED_PITCH : FPitch == fpVariable ? VARIABLE_PITCH : DEFAULT_PITCH;
        std::strncpy(lf.lfFaceName, FName.c_str(), LF_FACESIZE - 1);
        FHandle = CreateFontIndirectA(&lf);
    }
    return FHandle;
}
