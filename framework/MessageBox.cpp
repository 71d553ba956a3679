#include "framework/Forms.h"

#include <algorithm>
#include <sstream>

// Application->MessageBox: the platform has no message box, so the framework makes a small
// modal dialog: the text, and an OK button that closes it.

namespace {

// The dialog's text, painted line by line.
class TMessageText : public TGraphicControl
{
public:
    using TGraphicControl::TGraphicControl;
    std::vector<AnsiString> Lines;
    int LineHeight = 13;

protected:
    void Paint() override
    {
        GetCanvas()->Brush()->SetStyle(bsClear);
        int y = 0;
        for (const AnsiString& line : Lines) {
            GetCanvas()->TextOut(0, y, line);
            y += LineHeight;
        }
    }
};

// A plain push button: raised, sunk while pressed, its caption centred.
class TDialogButton : public TGraphicControl
{
public:
    explicit TDialogButton(TComponent* AOwner) : TGraphicControl(AOwner) { FColor = clBtnFace; }
    TModalResult Result = mrOk;

    void Click() override
    {
        TGraphicControl::Click();
        if (TCustomForm* form = GetParentForm(this))
            form->SetModalResult(Result);
    }
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override
    {
        FDown = Button == mbLeft;
        Invalidate();
        TGraphicControl::MouseDown(Button, Shift, X, Y);
    }
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override
    {
        FDown = false;
        Invalidate();
        TGraphicControl::MouseUp(Button, Shift, X, Y);
    }

protected:
    void Paint() override
    {
        TCanvas* c = GetCanvas();
        int w = GetWidth(), h = GetHeight();
        c->Brush()->SetColor(FDown ? clBtnShadow : cl3DDkShadow);
        c->FillRect(TRect(0, 0, w, h));
        c->Brush()->SetColor(FDown ? clBtnShadow : clBtnHighlight);
        c->FillRect(TRect(0, 0, w - 1, h - 1));
        c->Brush()->SetColor(clBtnShadow);
        c->FillRect(TRect(1, 1, w - 1, h - 1));
        c->Brush()->SetColor(clBtnFace);
        c->FillRect(TRect(FDown ? 2 : 1, FDown ? 2 : 1, w - 2, h - 2));
        c->Brush()->SetStyle(bsClear);
        AnsiString text = GetCaption();
        int tw = c->TextWidth(text), th = c->TextHeight(text);
        int shift = FDown ? 1 : 0;
        c->TextOut((w - tw) / 2 + shift, (h - th) / 2 + shift, text);
    }

private:
    bool FDown = false;
};

std::vector<AnsiString> splitLines(const AnsiString& text)
{
    std::vector<AnsiString> lines;
    std::istringstream in(text);
    AnsiString line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    if (lines.empty())
        lines.emplace_back();
    return lines;
}

}  // namespace

int TApplication::MessageBox(const AnsiString& Text, const AnsiString& Caption, UINT)
{
    std::unique_ptr<TForm> dialog = std::make_unique<TForm>(nullptr, 0);
    dialog->SetBorderStyle(bsDialog);
    dialog->SetBorderIcons(TBorderIcons{biSystemMenu});
    dialog->SetCaption(Caption.empty() ? FTitle : Caption);
    dialog->SetPosition(FMainForm && FMainForm->HandleAllocated() && FMainForm->GetVisible() ? poMainFormCenter
                                                                                           : poScreenCenter);

    // Measure with the dialog's font on a scratch bitmap.
    TBitmap scratch;
    scratch.SetSize(1, 1);
    scratch.Canvas()->Font()->Assign(dialog->GetFont());
    std::vector<AnsiString> lines = splitLines(Text);
    int textWidth = 0;
    int lineHeight = std::max(scratch.Canvas()->TextHeight("Wg"), 1);
    for (const AnsiString& line : lines)
        textWidth = std::max(textWidth, scratch.Canvas()->TextWidth(line));
    textWidth = std::min(textWidth, 1000);   // a huge text must not make a huge window
    int textHeight = std::min(int(lines.size()) * lineHeight, 700);

    auto* label = new TMessageText(dialog.get());
    label->Lines = lines;
    label->LineHeight = lineHeight;
    label->SetBounds(16, 16, textWidth, textHeight);
    label->SetParent(dialog.get());

    auto* ok = new TDialogButton(dialog.get());
    ok->SetCaption("OK");
    int clientWidth = std::max(textWidth + 32, 75 + 32 + 60);
    ok->SetBounds((clientWidth - 75) / 2, 16 + textHeight + 16, 75, 25);
    ok->SetParent(dialog.get());
    dialog->SetClientWidth(clientWidth);
    dialog->SetClientHeight(ok->GetTop() + ok->GetHeight() + 12);

    dialog->OnKeyDown = [d = dialog.get()](TObject*, WORD& Key, TShiftState) {
        if (Key == VK_RETURN || Key == VK_SPACE)
            d->SetModalResult(mrOk);
        else if (Key == VK_ESCAPE)
            d->SetModalResult(mrCancel);
    };

    TCustomForm* outer = FMessageBox;
    FMessageBox = dialog.get();
    dialog->FreeNotification(this);
    TModalResult result = mrCancel;
    try {
        result = dialog->ShowModal();
    } catch (...) {
        FMessageBox = outer;
        throw;
    }
    FMessageBox = outer;
    return result == mrOk ? IDOK : IDCANCEL;
}
