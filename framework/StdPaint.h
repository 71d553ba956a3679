#pragma once
// Drawing shared by the standard controls: the classic 3D edges and text in a rectangle.
#include "framework/Forms.h"

// Unit Classes' horizontal alignment, used by panels, labels and static texts.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
extern const TIdentMapEntry<TAlignment> AlignmentIdents[3];

// Unit StdCtrls' vertical text layout of labels.
enum TTextLayout { tlTop, tlCenter, tlBottom };
extern const TIdentMapEntry<TTextLayout> TextLayoutIdents[3];

// The classic subrange bsNone..bsSingle of the form border styles.
using TBorderStyle = TFormBorderStyle;
extern const TIdentMapEntry<TBorderStyle> BorderStyleIdents[2];

// Fills a rectangle with a colour.
void FillSolid(HDC DC, const TRect& Rect, TColor Color);
// Draws Width rings inside Rect, TopColor on the top and left edges, BottomColor on the
// bottom and right, and shrinks Rect to what lies inside them (ExtCtrls' Frame3D).
void Frame3D(HDC DC, TRect& Rect, TColor TopColor, TColor BottomColor, int Width);
// The classic two-ring raised (button) and sunken (field) edges; Rect shrinks by two.
void DrawRaisedEdge(HDC DC, TRect& Rect);
void DrawSunkenEdge(HDC DC, TRect& Rect);

// Draws Text with Font inside Rect without a background (DrawTextA formats: DT_*). Answers
// the text's height; with DT_CALCRECT it only measures, widening or narrowing Rect.
int DrawControlText(HDC DC, TFont* Font, const AnsiString& Text, TRect& Rect, UINT Format, TColor Color);
// The width and height of one line of Text in Font.
SIZE MeasureText(TFont* Font, const AnsiString& Text);
// DT_ flags of an alignment.
UINT AlignmentFlags(TAlignment Alignment);

// ---- Published properties the standard controls share ----
#include "framework/TypeInfo.h"

// Align, Color, Enabled, Font, ParentColor, ParentFont, ShowHint, Visible and the mouse
// events, with the class's own colour defaults. Caption (or Text) is each class's own.
template <class T, class P>
TPublished<T, P>& PublishControl(TPublished<T, P>&& Table, TColor ColorDefault, bool ParentColorDefault)
{
    return Table.Property("Align", &T::GetAlign, &T::SetAlign, AlignIdents, Default(alNone))
        .Property("Color", &T::GetColor, &T::SetColor, ColorIdents(), Default(ColorDefault), Stored(&T::IsColorStored))
        .Property("Enabled", &T::GetEnabled, &T::SetEnabled, Default(true))
        .Property("Font", &T::GetFont, Stored(&T::IsFontStored))
        .Property("ParentColor", &T::GetParentColor, &T::SetParentColor, Default(ParentColorDefault))
        .Property("ParentFont", &T::GetParentFont, &T::SetParentFont, Default(true))
        .Property("ShowHint", &T::GetShowHint, &T::SetShowHint, Default(false))
        .Property("Visible", &T::GetVisible, &T::SetVisible, Default(true))
        .Event("OnClick", &T::OnClick)
        .Event("OnDblClick", &T::OnDblClick)
        .Event("OnMouseDown", &T::OnMouseDown)
        .Event("OnMouseMove", &T::OnMouseMove)
        .Event("OnMouseUp", &T::OnMouseUp);
}

// PublishControl plus TabOrder, TabStop and the focus and key events.
template <class T, class P>
TPublished<T, P>& PublishWinControl(TPublished<T, P>&& Table, TColor ColorDefault, bool ParentColorDefault,
                                    bool TabStopDefault)
{
    return PublishControl(std::move(Table), ColorDefault, ParentColorDefault)
        .Property("TabOrder", &T::GetTabOrder, &T::SetTabOrder, Default(-1))
        .Property("TabStop", &T::GetTabStop, &T::SetTabStop, Default(TabStopDefault))
        .Event("OnEnter", &T::OnEnter)
        .Event("OnExit", &T::OnExit)
        .Event("OnKeyDown", &T::OnKeyDown)
        .Event("OnKeyPress", &T::OnKeyPress)
        .Event("OnKeyUp", &T::OnKeyUp);
}
