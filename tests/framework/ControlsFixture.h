#pragma once
// Controls and forms on a fresh desktop with the framework's classes registered, and small
// test controls that record what reaches them.
#include <memory>
#include <vector>

#include "framework/Forms.h"
#include "framework/Registration.h"
#include "tests/support/DesktopFixture.h"

struct MouseRecord
{
    char kind;   // 'd'own, 'm'ove, 'u'p, 'c'lick, 'D'ouble click
    int x;
    int y;
};

// A windowless box that fills itself with its colour and logs its mouse input.
class TCtlBox : public TGraphicControl
{
public:
    explicit TCtlBox(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 20, 20); }
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    std::vector<MouseRecord> Log;
    int Paints = 0;

    void Click() override
    {
        Log.push_back({'c', 0, 0});
        TGraphicControl::Click();
    }
    void DblClick() override
    {
        Log.push_back({'D', 0, 0});
        TGraphicControl::DblClick();
    }
    void MouseDown(TMouseButton B, TShiftState S, int X, int Y) override
    {
        Log.push_back({'d', X, Y});
        TGraphicControl::MouseDown(B, S, X, Y);
    }
    void MouseMove(TShiftState S, int X, int Y) override
    {
        Log.push_back({'m', X, Y});
        TGraphicControl::MouseMove(S, X, Y);
    }
    void MouseUp(TMouseButton B, TShiftState S, int X, int Y) override
    {
        Log.push_back({'u', X, Y});
        TGraphicControl::MouseUp(B, S, X, Y);
    }
    std::string kinds() const
    {
        std::string s;
        for (const MouseRecord& r : Log)
            s += r.kind;
        return s;
    }

protected:
    void Paint() override
    {
        ++Paints;
        GetCanvas()->FillRect(GetClientRect());
    }
};

// Sets its form's ModalResult when clicked.
class TCtlModalBox : public TCtlBox
{
public:
    using TCtlBox::TCtlBox;
    TModalResult Result = mrOk;
    void Click() override
    {
        TCtlBox::Click();
        if (TCustomForm* form = GetParentForm(this))
            form->SetModalResult(Result);
    }
};

// A windowed pane: a TCustomControl that logs its own mouse downs.
class TCtlPane : public TCustomControl
{
public:
    explicit TCtlPane(TComponent* AOwner) : TCustomControl(AOwner) { SetBounds(0, 0, 50, 50); }
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }
    std::vector<MouseRecord> Log;
    // Set when a window existed while a property was being read.
    bool HandleWhileLoading = false;
    void SetTag2(int Value)
    {
        FTag2 = Value;
        if (Loading() && HandleAllocated())
            HandleWhileLoading = true;
    }
    int GetTag2() const { return FTag2; }
    void MouseDown(TMouseButton B, TShiftState S, int X, int Y) override
    {
        Log.push_back({'d', X, Y});
        TCustomControl::MouseDown(B, S, X, Y);
    }

private:
    int FTag2 = 0;
};

inline TClass TCtlBox::StaticClass()
{
    static const TClass Class = TPublished<TCtlBox, TGraphicControl>("TCtlBox")
        .Property("Color", &TCtlBox::GetColor, &TCtlBox::SetColor, ColorIdents(), Default(clWindow))
        .Property("Enabled", &TCtlBox::GetEnabled, &TCtlBox::SetEnabled, Default(true))
        .Property("Visible", &TCtlBox::GetVisible, &TCtlBox::SetVisible, Default(true))
        .Property("Caption", &TCtlBox::GetCaption, &TCtlBox::SetCaption)
        .Event("OnClick", &TCtlBox::OnClick)
        .Event("OnMouseDown", &TCtlBox::OnMouseDown);
    return Class;
}

inline TClass TCtlPane::StaticClass()
{
    static const TClass Class = TPublished<TCtlPane, TCustomControl>("TCtlPane")
        .Property("Align", &TCtlPane::GetAlign, &TCtlPane::SetAlign, AlignIdents, Default(alNone))
        .Property("Color", &TCtlPane::GetColor, &TCtlPane::SetColor, ColorIdents(), Default(clWindow))
        .Property("Font", &TCtlPane::GetFont, Stored(&TCtlPane::IsFontStored))
        .Property("ParentFont", &TCtlPane::GetParentFont, &TCtlPane::SetParentFont, Default(true))
        .Property("Tag2", &TCtlPane::GetTag2, &TCtlPane::SetTag2, Default(0))
        .Event("OnClick", &TCtlPane::OnClick);
    return Class;
}

class ControlsFixture : public DesktopFixture
{
protected:
    void SetUp() override
    {
        DesktopFixture::SetUp();
        Framework::RegisterAll();
    }

    // Clicks far enough apart in time that two of them never make a double click.
    void click(int x, int y)
    {
        clock->advanceMs(1000);
        display->click(x, y);
        pump();
    }

    // A frameless form at 100,100 of 200 x 150, shown.
    static std::unique_ptr<TForm> shownForm(TFormBorderStyle border = bsNone)
    {
        auto form = std::make_unique<TForm>(nullptr, 0);
        form->SetBorderStyle(border);
        form->SetBounds(100, 100, 200, 150);
        form->Show();
        pump();
        return form;
    }
};
