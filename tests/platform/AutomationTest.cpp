// The automation layer: a control created through the registry receives the wrapper's calls
// with the right DISPID, kind and value types; failures are reported and the program goes on;
// every reference is released.
#include <gtest/gtest.h>

#include <wx/app.h>

#include <memory>

#include <wx/frame.h>

#include "common/EncoderContract.h"
#include "encoding/ProducerControl2.h"
#include "platform/Dialog.h"
#include "platform/automation/ControlRegistry.h"
#include "platform/automation/DispatchDriver.h"
#include "platform/automation/EventSink.h"
#include "res/Resources.h"
#include "support/MessageBoxRecorder.h"
#include "support/RecordingDispatch.h"
#include "support/WxTestEnvironment.h"

using namespace automation;

namespace {

class ControlHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_DISPLAY();
        control = log.NewObject("control");
        parent = new wxFrame(nullptr, wxID_ANY, "host");
    }
    void TearDown() override
    {
        producer.DestroyWindow();
        if (parent)
            parent->Destroy();
        wxTheApp->ProcessIdle();
    }

    DispatchLog log;
    RecordingDispatch* control = nullptr;
    wxFrame* parent = nullptr;
    CProducerControl2 producer;
};

}  // namespace

TEST_F(ControlHost, WrapperCallsReachTheRegisteredControl)
{
    FakeControlRegistration registration(control);
    control->On(dispid::kIsEncoding, [](const std::vector<Variant>&) { return Variant::Bool(true); });
    control->On(dispid::kInputFile, [](const std::vector<Variant>&) { return Variant::Str("/v/a.mpg"); });

    ASSERT_TRUE(producer.Create(nullptr, nullptr, WS_VISIBLE, wxRect(7, 9, 120, 80), parent, 1000));
    ASSERT_EQ(registration.Creations(), 1);
    EXPECT_EQ(registration.Created()[0].id, 1000);
    EXPECT_EQ(registration.Created()[0].rect, wxRect(7, 9, 120, 80));
    EXPECT_TRUE(registration.Created()[0].visible);
    EXPECT_EQ(producer.GetSafeHwnd(), registration.LastWindow());
    EXPECT_EQ(control->RefCount(), 2u);

    EXPECT_EQ(producer.IsEncoding(), TRUE);
    producer.StartEncoding();
    producer.StopEncoding();
    EXPECT_EQ(producer.GetInputFile(), "/v/a.mpg");
    producer.SetDeInterlace(FALSE);
    producer.SetProperty3804(1000);

    ASSERT_EQ(log.calls.size(), 6u);
    EXPECT_EQ(log.calls[0].dispid, 3701);
    EXPECT_EQ(log.calls[0].kind, DISPATCH_PROPERTYGET);
    EXPECT_EQ(log.calls[1].dispid, 4301);
    EXPECT_EQ(log.calls[1].kind, DISPATCH_METHOD);
    EXPECT_EQ(log.calls[2].dispid, 4302);
    EXPECT_EQ(log.calls[3].dispid, 3152);
    EXPECT_EQ(log.calls[3].kind, DISPATCH_PROPERTYGET);
    EXPECT_EQ(log.calls[4].args, std::vector<Variant>({Variant::Bool(false)}));
    EXPECT_EQ(log.calls[4].kind, DISPATCH_PROPERTYPUT);
    EXPECT_EQ(log.calls[5].args, std::vector<Variant>({Variant::I4(1000)}));

    EXPECT_TRUE(producer.DestroyWindow());
    EXPECT_EQ(producer.GetSafeHwnd(), nullptr);
    EXPECT_EQ(control->RefCount(), 1u);
}

TEST_F(ControlHost, WithoutARegisteredControlEveryCallIsSkipped)
{
    ScopedControlRegistration none(kProducerControlClsid, nullptr);
    ControlRegistry::Instance().Unregister(kProducerControlClsid);
    EXPECT_FALSE(producer.Create(nullptr, nullptr, WS_VISIBLE, wxRect(0, 0, 10, 10), parent, 1000));
    EXPECT_EQ(producer.GetSafeHwnd(), nullptr);
    EXPECT_EQ(producer.IsEncoding(), FALSE);
    producer.StartEncoding();
    EXPECT_EQ(producer.GetInputFile(), "");
    EXPECT_FALSE(producer.GetTargetSettings(5).m_lpDispatch);
    EXPECT_FALSE(producer.DestroyWindow());
}

TEST_F(ControlHost, RegistrationIsScopedAndClassIdsIgnoreCase)
{
    {
        FakeControlRegistration registration(control);
        EXPECT_TRUE(ControlRegistry::Instance().IsRegistered("{56919d41-be39-11d2-a404-00104bdf4755}"));
    }
    EXPECT_FALSE(ControlRegistry::Instance().IsRegistered(kProducerControlClsid));
}

TEST_F(ControlHost, AWindowDestroyedByItsParentLeavesTheWrapperWithoutOne)
{
    FakeControlRegistration registration(control);
    ASSERT_TRUE(producer.Create(nullptr, nullptr, WS_VISIBLE, wxRect(0, 0, 10, 10), parent, 1000));
    delete registration.LastWindow();
    EXPECT_EQ(producer.GetSafeHwnd(), nullptr);
    EXPECT_EQ(producer.IsEncoding(), FALSE);
    EXPECT_TRUE(log.calls.empty());
}

TEST(DispatchDriver, ReleasesExactlyTheReferencesItHolds)
{
    DispatchLog log;
    RecordingDispatch* a = log.NewObject("a");
    RecordingDispatch* b = log.NewObject("b");
    RecordingDispatch* child = log.NewObject("child");
    a->On(1, [child](const std::vector<Variant>&) {
        child->AddRef();
        return Variant::Object(child);
    });
    a->AddRef();
    b->AddRef();
    {
        COleDispatchDriver driver(a);
        driver.AttachDispatch(b);  // releases a
        EXPECT_EQ(a->RefCount(), 1u);
        driver.AttachDispatch(a, false);  // releases b; will not release a
        EXPECT_EQ(b->RefCount(), 1u);
        // An object result the caller does not want is released at once.
        driver.InvokeHelper(1, DISPATCH_METHOD, VT_EMPTY);
        EXPECT_EQ(child->RefCount(), 1u);
        // A wanted one is the caller's to release.
        COleDispatchDriver got(driver.InvokeHelper(1, DISPATCH_METHOD, VT_DISPATCH).pdispVal);
        EXPECT_EQ(child->RefCount(), 2u);
        EXPECT_THROW(driver.InvokeHelper(1, DISPATCH_METHOD, VT_BSTR), DispatchException);
        EXPECT_EQ(child->RefCount(), 2u) << "a result of the wrong type is released before the throw";
    }
    EXPECT_EQ(a->RefCount(), 1u);  // attached without auto-release the second time: not released again
    EXPECT_EQ(child->RefCount(), 1u);
    EXPECT_EQ(log.releasesAfterZero, 0);

    COleDispatchDriver empty;
    EXPECT_THROW(empty.InvokeHelper(1, DISPATCH_METHOD, VT_EMPTY), DispatchException);
}

TEST(CoerceResult, ConvertsNumbersAndRejectsTheRest)
{
    EXPECT_EQ(CoerceResult(Variant::I4(3), VT_R4), Variant::R4(3.0f));
    EXPECT_EQ(CoerceResult(Variant::R4(2.9f), VT_I4), Variant::I4(2));
    EXPECT_EQ(CoerceResult(Variant::I4(5), VT_BOOL).boolVal, VARIANT_TRUE);
    EXPECT_EQ(CoerceResult(Variant::Bool(true), VT_I4), Variant::I4(-1));
    EXPECT_THROW(CoerceResult(Variant::Str("x"), VT_I4), DispatchException);
    EXPECT_THROW(CoerceResult(Variant(), VT_BOOL), DispatchException);
    EXPECT_EQ(CoerceResult(Variant::Str("x"), VT_EMPTY), Variant());
}

namespace {

struct SinkTarget {
    int handled = 0;
};

}  // namespace

TEST(EventSinkMap, AFailingHandlerIsReportedWithTheStopIconAndDispatchGoesOn)
{
    CEventSinkMap<SinkTarget> map = {
        {1000, 5001, [](SinkTarget& t, const std::vector<Variant>&) { ++t.handled; }},
        {1000, 5003, [](SinkTarget&, const std::vector<Variant>& a) { ArgI4(a, 0); }},
        {1000, 5002, [](SinkTarget&, const std::vector<Variant>&) { throw DispatchException("Encoder gone."); }},
    };
    SinkTarget target;
    MessageBoxRecorder boxes;
    EXPECT_TRUE(map.Dispatch(target, 1000, 5002, {}));
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, "Encoder gone.");
    EXPECT_EQ(boxes.Calls()[0].type & MB_ICONMASK, MB_ICONSTOP);

    EXPECT_TRUE(map.Dispatch(target, 1000, 5003, {Variant::Str("not a number")}));
    EXPECT_EQ(boxes.Calls().size(), 2u) << "a parameter of the wrong type is a reported failure";

    EXPECT_TRUE(map.Dispatch(target, 1000, 5001, {}));
    EXPECT_EQ(target.handled, 1);
    EXPECT_FALSE(map.Dispatch(target, 1001, 5001, {})) << "another child's event";
    EXPECT_FALSE(map.Dispatch(target, 1000, 5004, {}));
    EXPECT_EQ(target.handled, 1);
}

namespace {

// A dialog whose posted-message handler fails the first time, as a set-up call might.
class FailingOnceDialog : public platform::CDialog {
public:
    FailingOnceDialog() : CDialog(res::BatchDialogTemplate(), nullptr) {}
    int handled = 0;

protected:
    long OnPostedMessage(unsigned message, long, long) override
    {
        if (message == platform::WM_USER + 1)
            throw DispatchException("The control failed.");
        ++handled;
        return 0;
    }
};

}  // namespace

TEST(DialogDispatch, AFailingCallInAPostedHandlerIsShownAndTheLoopGoesOn)
{
    REQUIRE_DISPLAY();
    MessageBoxRecorder boxes;
    auto* dialog = new FailingOnceDialog;
    ASSERT_TRUE(dialog->Create());
    dialog->PostMessage(platform::WM_USER + 1);
    dialog->PostMessage(platform::WM_USER + 2);
    wxTheApp->ProcessPendingEvents();
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, "The control failed.");
    EXPECT_EQ(boxes.Calls()[0].type & MB_ICONMASK, MB_ICONSTOP);
    EXPECT_EQ(dialog->handled, 1);
    dialog->Destroy();
    wxTheApp->ProcessIdle();
}
