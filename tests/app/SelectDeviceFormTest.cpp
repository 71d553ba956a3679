// The camera selection dialog from its compiled-in layout: what it lists, what it reports
// about the camera in use, and what OK would connect.
#include <map>
#include <string>

#include "app/Selectdeviceunit.h"
#include "tests/app/AppFixture.h"

namespace {

// Drivers at chosen indexes, the others missing.
struct FakeDrivers
{
    std::map<int, std::pair<std::string, std::string>> drivers;
    int calls = 0;
    BOOL operator()(WORD index, LPSTR name, int nameSize, LPSTR version, int versionSize)
    {
        ++calls;
        auto it = drivers.find(index);
        if (it == drivers.end())
            return FALSE;
        snprintf(name, size_t(nameSize), "%s", it->second.first.c_str());
        snprintf(version, size_t(versionSize), "%s", it->second.second.c_str());
        return TRUE;
    }
};

class SelectDeviceFormTest : public AppFixture
{
protected:
    std::unique_ptr<TSelectDeviceForm> form;
    std::shared_ptr<FakeDrivers> drivers = std::make_shared<FakeDrivers>();

    void SetUp() override
    {
        AppFixture::SetUp();
        form = std::make_unique<TSelectDeviceForm>(nullptr);
    }
    void TearDown() override
    {
        form.reset();
        AppFixture::TearDown();
    }
    void useFakeDrivers(std::map<int, std::pair<std::string, std::string>> list)
    {
        drivers->drivers = std::move(list);
        auto shared = drivers;
        form->GetDriverDescription = [shared](WORD i, LPSTR n, int ns, LPSTR v, int vs) {
            return (*shared)(i, n, ns, v, vs);
        };
    }
    TStrings* items() { return form->DeviceSelectComboBox->GetItems(); }
    AnsiString nameReport() { return form->CurrentDeviceNameReport->GetCaption(); }
    AnsiString versionReport() { return form->CurrentDeviceVersionReport->GetCaption(); }

    // Shows the dialog; Choose runs once it is up, then the button is clicked.
    bool execute(const std::function<void()>& choose, TButton* button)
    {
        form->OnShow = [&, choose, button](TObject*) {
            if (choose)
                choose();
            queueClick(at(button, 10, 10));
        };
        return form->Execute();
    }
    // Chooses entry n of the list as the user does: a click on the box's button opens the
    // list under the box, one line of ItemHeight per entry, and a click on the entry takes
    // it. Queued only: the dialog's loop handles the clicks in order.
    void chooseEntry(int n)
    {
        TComboBox* box = form->DeviceSelectComboBox;
        queueClick(at(box, box->GetWidth() - 6, box->GetHeight() / 2));
        queueClick(at(box, 20, box->GetHeight() + n * box->GetItemHeight() + box->GetItemHeight() / 2 + 1));
    }
};

TEST_F(SelectDeviceFormTest, LayoutAsStored)
{
    EXPECT_EQ(form->GetCaption(), "Select Camera");
    EXPECT_EQ(form->GetBorderStyle(), bsDialog);
    EXPECT_EQ(form->GetPosition(), poScreenCenter);
    EXPECT_EQ(form->GetClientWidth(), 336);
    EXPECT_EQ(form->GetClientHeight(), 152);
    struct Expected
    {
        TControl* control;
        TWinControl* parent;
        int left, top, width, height;
    };
    const Expected expected[] = {
        {form->ClientPanel, form.get(), 0, 0, 336, 152},
        {form->Panel1, form->ClientPanel, 4, 4, 328, 56},
        {form->CaptureControlTitle, form->Panel1, 4, 4, 320, 13},
        {form->StaticText2, form->Panel1, 4, 20, 48, 16},
        {form->CurrentDeviceNameReport, form->Panel1, 52, 20, 272, 16},
        {form->StaticText3, form->Panel1, 4, 36, 48, 16},
        {form->CurrentDeviceVersionReport, form->Panel1, 52, 36, 272, 16},
        {form->Panel3, form->ClientPanel, 4, 64, 328, 52},
        {form->Label1, form->Panel3, 4, 4, 320, 13},
        {form->DeviceSelectComboBox, form->Panel3, 4, 24, 320, 21},
        {form->Panel2, form->ClientPanel, 4, 120, 328, 28},
        {form->CancelButton, form->Panel2, 4, 4, 158, 20},
        {form->OkButton, form->Panel2, 166, 4, 158, 20},
    };
    for (const Expected& e : expected) {
        ASSERT_NE(e.control, nullptr);
        SCOPED_TRACE(e.control->GetName());
        EXPECT_EQ(e.control->GetParent(), e.parent);
        EXPECT_EQ(e.control->GetLeft(), e.left);
        EXPECT_EQ(e.control->GetTop(), e.top);
        // The two captions keep AutoSize: they take the size of their text in the face that
        // stands in for "MS Sans Serif", about what the layout gives.
        const bool autoSized = e.control == form->StaticText2 || e.control == form->StaticText3;
        EXPECT_EQ(e.control->GetAutoSize(), autoSized);
        if (autoSized) {
            EXPECT_NEAR(e.control->GetWidth(), e.width, 10);
            EXPECT_NEAR(e.control->GetHeight(), e.height, 2);
        } else {
            EXPECT_EQ(e.control->GetWidth(), e.width);
            EXPECT_EQ(e.control->GetHeight(), e.height);
        }
    }
    EXPECT_EQ(form->CaptureControlTitle->GetCaption(), "CURRENT CAMERA");
    EXPECT_EQ(form->Label1->GetCaption(), "NEXT CAMERA");
    EXPECT_EQ(form->StaticText2->GetCaption(), "Name:");
    EXPECT_EQ(form->StaticText3->GetCaption(), "Version:");
    EXPECT_EQ(form->CancelButton->GetCaption(), "CANCEL");
    EXPECT_EQ(form->OkButton->GetCaption(), "OK");
    EXPECT_EQ(form->CancelButton->GetModalResult(), mrCancel);
    EXPECT_EQ(form->OkButton->GetModalResult(), mrOk);
    EXPECT_EQ(form->DeviceSelectComboBox->GetStyle(), csDropDown);
    EXPECT_EQ(form->DeviceSelectComboBox->GetItemHeight(), 13);
    EXPECT_EQ(form->Panel1->GetTabOrder(), 0);
    EXPECT_EQ(form->Panel2->GetTabOrder(), 1);
    EXPECT_EQ(form->Panel3->GetTabOrder(), 2);
}

TEST_F(SelectDeviceFormTest, ListsTheInstalledDriversWithoutGaps)
{
    // The real list: the test pattern is the only driver.
    ASSERT_EQ(items()->Count(), 1);
    EXPECT_EQ(items()->Strings(0), "Lumo Test Pattern");
    EXPECT_EQ(form->DeviceSelectComboBox->GetText(), "");   // cleared by the first refresh

    useFakeDrivers({{0, {"Camera A", "1.0"}}, {3, {"Camera D", "4.2"}}});
    form->SetDeviceConnected(false);
    EXPECT_EQ(drivers->calls, 10);   // every index 0 to 9 is asked once
    ASSERT_EQ(items()->Count(), 2);
    EXPECT_EQ(items()->Strings(0), "Camera A");
    EXPECT_EQ(items()->Strings(1), "Camera D");
    EXPECT_EQ(form->DeviceSelectComboBox->GetItemIndex(), -1);

    // Ten drivers: ten entries, never more.
    std::map<int, std::pair<std::string, std::string>> ten;
    for (int i = 0; i < 12; ++i)
        ten[i] = {"Cam " + std::to_string(i), "v"};
    useFakeDrivers(ten);
    form->SetDeviceConnected(false);
    EXPECT_EQ(items()->Count(), 10);
    EXPECT_EQ(items()->Strings(9), "Cam 9");
}

TEST_F(SelectDeviceFormTest, ReportsTheConnectedDriverOrNone)
{
    useFakeDrivers({{0, {"Camera A", "1.0"}}, {1, {"Camera B", "Version: 2.5"}}});
    form->SetCurrentDeviceIndex(1);
    // Not connected: whatever the list holds.
    EXPECT_EQ(nameReport(), "<<< No Camera Selected >>>");
    EXPECT_EQ(versionReport(), "<<< No Camera Selected >>>");
    form->SetDeviceConnected(true);
    EXPECT_EQ(nameReport(), "Camera B");
    EXPECT_EQ(versionReport(), "Version: 2.5");
    // Connected to a driver that is not there any more: the reports keep what they said.
    form->SetCurrentDeviceIndex(7);
    EXPECT_EQ(nameReport(), "Camera B");
    form->SetDeviceConnected(false);
    EXPECT_EQ(nameReport(), "<<< No Camera Selected >>>");
}

TEST_F(SelectDeviceFormTest, AFreshDialogConnectedToAMissingDriverKeepsTheLayoutsCaptions)
{
    useFakeDrivers({});
    form->SetDeviceConnected(true);
    // The constructor's refresh said "no camera"; a connected refresh leaves that alone.
    EXPECT_EQ(nameReport(), "<<< No Camera Selected >>>");
    auto fresh = std::make_unique<TSelectDeviceForm>(nullptr);
    EXPECT_EQ(fresh->CurrentDeviceNameReport->GetCaption(), "<<< No Camera Selected >>>");
}

TEST_F(SelectDeviceFormTest, OkConnectsTheChosenDriverAndCancelNothing)
{
    useFakeDrivers({{0, {"Camera A", "1.0"}}, {3, {"Camera D", "4.2"}}});
    EXPECT_EQ(form->GetNextDeviceIndex(), 0);
    EXPECT_TRUE(execute([&] { chooseEntry(1); }, form->OkButton));
    EXPECT_EQ(form->GetNextDeviceIndex(), 3);
    EXPECT_FALSE(form->GetVisible());

    // The choice survives the next showing; OK without a new choice keeps it.
    EXPECT_TRUE(execute(nullptr, form->OkButton));
    EXPECT_EQ(form->GetNextDeviceIndex(), 3);
    EXPECT_EQ(form->DeviceSelectComboBox->GetItemIndex(), -1);   // no selection when it opens

    EXPECT_FALSE(execute([&] { chooseEntry(0); }, form->CancelButton));
    EXPECT_EQ(form->GetNextDeviceIndex(), 0);   // the choice is the list's; Cancel only says no

    // Closing the dialog by other means is Cancel.
    form->OnShow = [&](TObject*) { display->requestClose(form->Handle()); };
    EXPECT_FALSE(form->Execute());
}

TEST_F(SelectDeviceFormTest, TypingIntoTheBoxChangesNothingOkWouldUse)
{
    useFakeDrivers({{0, {"Camera A", "1.0"}}, {3, {"Camera D", "4.2"}}});
    EXPECT_TRUE(execute([&] { chooseEntry(1); }, form->OkButton));
    ASSERT_EQ(form->GetNextDeviceIndex(), 3);
    EXPECT_TRUE(execute(
        [&] {
            form->DeviceSelectComboBox->SetFocus();
            for (int key : {int('C'), int('A'), int('M'), VK_BACK, int('0')}) {
                display->keyDown(key);
                display->keyUp(key);
            }
            pump();
            EXPECT_NE(form->DeviceSelectComboBox->GetText(), "");
        },
        form->OkButton));
    EXPECT_EQ(form->GetNextDeviceIndex(), 3);
}

}   // namespace
