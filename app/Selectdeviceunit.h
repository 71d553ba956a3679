#pragma once
// Unit Selectdeviceunit: the camera selection dialog. It shows the capture driver in use and
// lists the installed ones; the main window connects the one chosen when OK closes it.
#include <functional>

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"

class TSelectDeviceForm : public TForm
{
public:
    explicit TSelectDeviceForm(TComponent* Owner);
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    void SetCurrentDeviceIndex(int Value);
    void SetDeviceConnected(bool Value);
    // Shows the dialog modally; true when OK closed it.
    bool Execute();
    // The driver index OK connects: the last one chosen in the list, 0 before any choice.
    int GetNextDeviceIndex() const { return FNextDeviceIndex; }

    // Published components, in declaration order.
    TPanel* ClientPanel = nullptr;
    TPanel* Panel1 = nullptr;
    TLabel* CaptureControlTitle = nullptr;
    TStaticText* CurrentDeviceNameReport = nullptr;
    TStaticText* StaticText2 = nullptr;
    TStaticText* StaticText3 = nullptr;
    TStaticText* CurrentDeviceVersionReport = nullptr;
    TPanel* Panel2 = nullptr;
    TButton* CancelButton = nullptr;
    TButton* OkButton = nullptr;
    TPanel* Panel3 = nullptr;
    TComboBox* DeviceSelectComboBox = nullptr;
    TLabel* Label1 = nullptr;

    void DeviceSelectComboBoxChange(TObject* Sender);

    // Where the driver names come from: capGetDriverDescriptionA unless replaced (tests).
    std::function<BOOL(WORD Index, LPSTR Name, int NameSize, LPSTR Version, int VersionSize)>
        GetDriverDescription;

private:
    void RefreshDeviceList();

    int FDriverIndexes[10] = {};
    int FCurrentDeviceIndex = -1;
    bool FDeviceConnected = false;
    int FNextDeviceIndex = 0;
};

extern TSelectDeviceForm* SelectDeviceForm;
