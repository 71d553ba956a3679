// The dialog forms over the models: built in code, shown modally, read back on OK.
#include <memory>

#include "avicap/window/CaptureDialogs.h"
#include "framework/ComCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"

namespace {

CaptureDialogHook dialogHook;

// A dialog form with OK and Cancel at the bottom; rows are added top to bottom.
class DialogBuilder
{
public:
    DialogBuilder(const char* caption, int rows) : form_(std::make_unique<TForm>(nullptr, 0))
    {
        form_->SetCaption(caption);
        form_->SetBorderStyle(bsDialog);
        form_->SetPosition(poScreenCenter);
        form_->SetClientWidth(320);
        form_->SetClientHeight(rows * kRow + 56);
        addButton("OKButton", "OK", mrOk, 150);
        addButton("CancelButton", "Cancel", mrCancel, 236);
    }

    template <class T>
    T* row(const std::string& label, const char* name)
    {
        auto* text = new TLabel(form_.get());
        text->SetParent(form_.get());
        text->SetCaption(label);
        text->SetBounds(12, 16 + rows_ * kRow, 100, 20);
        auto* control = new T(form_.get());
        control->SetName(name);
        control->SetParent(form_.get());
        control->SetBounds(116, 12 + rows_ * kRow, 192, 24);
        ++rows_;
        return control;
    }

    TComboBox* combo(const std::string& label, const char* name,
                     const std::vector<std::string>& items, int index)
    {
        TComboBox* box = row<TComboBox>(label, name);
        box->SetStyle(csDropDownList);
        for (const std::string& item : items)
            box->GetItems()->Add(item);
        box->SetItemIndex(index);
        return box;
    }

    // A slider with its value written beside it (the label is named after it, "...Value").
    TTrackBar* slider(const std::string& label, const char* name, int min, int max, int value)
    {
        TTrackBar* bar = row<TTrackBar>(label, name);
        bar->SetWidth(bar->GetWidth() - kValueWidth);
        bar->SetMin(min);
        bar->SetMax(max);
        bar->SetPosition(value);
        bar->SetFrequency(std::max(1, (max - min) / 10));
        auto* shown = new TLabel(form_.get());
        shown->SetName(std::string(name) + "Value");
        shown->SetParent(form_.get());
        shown->SetBounds(bar->GetLeft() + bar->GetWidth() + 6, bar->GetTop() + 4, kValueWidth - 6, 20);
        shown->SetCaption(std::to_string(bar->GetPosition()));
        bar->OnChange = [bar, shown](TObject*) { shown->SetCaption(std::to_string(bar->GetPosition())); };
        return bar;
    }

    bool run()
    {
        TForm& form = *form_;
        form.OnShow = [&form](TObject*) {
            if (dialogHook) {
                dialogHook(form);
                // Wakes the modal loop in case the hook closed the form.
                PostMessageA(form.Handle(), WM_NULL, 0, 0);
            }
        };
        return form.ShowModal() == mrOk;
    }

private:
    static constexpr int kRow = 32;
    static constexpr int kValueWidth = 36;

    void addButton(const char* name, const char* caption, TModalResult result, int left)
    {
        auto* button = new TButton(form_.get());
        button->SetName(name);
        button->SetParent(form_.get());
        button->SetCaption(caption);
        button->SetModalResult(result);
        button->SetBounds(left, form_->GetClientHeight() - 36, 76, 25);
        if (result == mrOk)
            button->SetDefault(true);
        else
            button->SetCancel(true);
    }

    std::unique_ptr<TForm> form_;
    int rows_ = 0;
};

}  // namespace

void setCaptureDialogHook(CaptureDialogHook hook) { dialogHook = std::move(hook); }

bool runVideoFormatDialog(CaptureDevice& device, CaptureError* error)
{
    VideoFormatModel model(device);
    std::vector<std::string> rates;
    for (int r : model.rates())
        rates.push_back(std::to_string(r) + " frames per second");
    DialogBuilder dialog("Video Format", 2);
    TComboBox* size = dialog.combo("Image size", "SizeBox", model.sizeLabels(), model.sizeIndex);
    TComboBox* rate = dialog.combo("Frame rate", "RateBox", rates, model.rateIndex);
    if (!dialog.run())
        return false;
    model.sizeIndex = size->GetItemIndex();
    model.rateIndex = rate->GetItemIndex();
    CaptureError failure = model.apply(device);
    if (error)
        *error = failure;
    return failure.ok();
}

bool runVideoSourceDialog(CaptureDevice& device)
{
    VideoSourceModel model(device);
    DialogBuilder dialog("Video Source", int(model.controls().size()));
    std::vector<TControl*> inputs;
    for (size_t i = 0; i < model.controls().size(); ++i) {
        const CaptureControl& c = model.controls()[i];
        std::string name = "Control" + std::to_string(i);
        if (c.kind == CaptureControl::Menu) {
            inputs.push_back(dialog.combo(c.name, name.c_str(), c.menuItems, c.value - c.minimum));
        } else if (c.kind == CaptureControl::CheckBox) {
            auto* box = dialog.row<TCheckBox>(c.name, name.c_str());
            box->SetChecked(c.value != 0);
            inputs.push_back(box);
        } else {
            inputs.push_back(dialog.slider(c.name, name.c_str(), c.minimum, c.maximum, c.value));
        }
    }
    if (!dialog.run())
        return false;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const CaptureControl& c = model.controls()[i];
        if (auto* box = dynamic_cast<TComboBox*>(inputs[i]))
            model.setValue(i, c.minimum + box->GetItemIndex());
        else if (auto* check = dynamic_cast<TCheckBox*>(inputs[i]))
            model.setValue(i, check->GetChecked() ? 1 : 0);
        else if (auto* bar = dynamic_cast<TTrackBar*>(inputs[i]))
            model.setValue(i, bar->GetPosition());
    }
    return model.apply(device);
}

bool runVideoCompressionDialog(VideoCompression& compression)
{
    VideoCompressionModel model(compression);
    DialogBuilder dialog("Video Compression", 2);
    TComboBox* codec = dialog.combo("Compressor", "CodecBox", VideoCompressionModel::codecLabels(),
                                    model.codecIndex());
    TTrackBar* quality = dialog.slider("Quality", "QualityBar", 1, 100, model.value.quality);
    auto* shown = dynamic_cast<TControl*>(quality->Owner()->FindComponent("QualityBarValue"));
    const auto follow = [&] {
        quality->SetEnabled(model.qualityApplies());
        if (shown)
            shown->SetEnabled(model.qualityApplies());
    };
    follow();
    codec->OnChange = [&](TObject*) {
        model.setCodec(codec->GetItemIndex());
        follow();
    };
    if (!dialog.run())
        return false;
    model.setCodec(codec->GetItemIndex());
    model.setQuality(quality->GetPosition());
    compression = model.value;
    return true;
}
