#include "app/Selectdeviceunit.h"

#include "avicap/Vfw.h"

TSelectDeviceForm* SelectDeviceForm = nullptr;

namespace {
const char* const NoCamera = "<<< No Camera Selected >>>";
constexpr int DescriptionSize = 256;
}   // namespace

TClass TSelectDeviceForm::StaticClass()
{
    static const TClass Class = TPublished<TSelectDeviceForm, TForm>("TSelectDeviceForm")
        .Field("ClientPanel", &TSelectDeviceForm::ClientPanel)
        .Field("Panel1", &TSelectDeviceForm::Panel1)
        .Field("CaptureControlTitle", &TSelectDeviceForm::CaptureControlTitle)
        .Field("CurrentDeviceNameReport", &TSelectDeviceForm::CurrentDeviceNameReport)
        .Field("StaticText2", &TSelectDeviceForm::StaticText2)
        .Field("StaticText3", &TSelectDeviceForm::StaticText3)
        .Field("CurrentDeviceVersionReport", &TSelectDeviceForm::CurrentDeviceVersionReport)
        .Field("Panel2", &TSelectDeviceForm::Panel2)
        .Field("CancelButton", &TSelectDeviceForm::CancelButton)
        .Field("OkButton", &TSelectDeviceForm::OkButton)
        .Field("Panel3", &TSelectDeviceForm::Panel3)
        .Field("DeviceSelectComboBox", &TSelectDeviceForm::DeviceSelectComboBox)
        .Field("Label1", &TSelectDeviceForm::Label1)
        .PublishMethod("DeviceSelectComboBoxChange", &TSelectDeviceForm::DeviceSelectComboBoxChange);
    return Class;
}

TSelectDeviceForm::TSelectDeviceForm(TComponent* Owner)
    : TForm(Owner), GetDriverDescription(capGetDriverDescriptionA)
{
    InitInheritedComponent();
    FCurrentDeviceIndex = -1;
    RefreshDeviceList();
}

void TSelectDeviceForm::SetCurrentDeviceIndex(int Value)
{
    FCurrentDeviceIndex = Value;
    RefreshDeviceList();
}

void TSelectDeviceForm::SetDeviceConnected(bool Value)
{
    FDeviceConnected = Value;
    RefreshDeviceList();
}

bool TSelectDeviceForm::Execute()
{
    RefreshDeviceList();
    return ShowModal() == mrOk;
}

void TSelectDeviceForm::DeviceSelectComboBoxChange(TObject*)
{
    const int index = DeviceSelectComboBox->GetItemIndex();
    // A typed text leaves the index at -1: only a chosen entry counts.
    if (index >= 0 && index < DeviceSelectComboBox->GetItems()->Count())
        FNextDeviceIndex = FDriverIndexes[index];
}

void TSelectDeviceForm::RefreshDeviceList()
{
    if (!FDeviceConnected) {
        CurrentDeviceNameReport->SetCaption(NoCamera);
        CurrentDeviceVersionReport->SetCaption(NoCamera);
    }
    DeviceSelectComboBox->Clear();
    for (int i = 0; i < 10; ++i) {
        char name[DescriptionSize] = {};
        char version[DescriptionSize] = {};
        if (!GetDriverDescription(WORD(i), name, DescriptionSize, version, DescriptionSize))
            continue;
        name[DescriptionSize - 1] = version[DescriptionSize - 1] = '\0';
        FDriverIndexes[DeviceSelectComboBox->GetItems()->Count()] = i;
        DeviceSelectComboBox->GetItems()->Add(name);
        if (FDeviceConnected && i == FCurrentDeviceIndex) {
            CurrentDeviceNameReport->SetCaption(name);
            CurrentDeviceVersionReport->SetCaption(version);
        }
    }
}
