// The control's automation objects: properties, target settings, the codec list, and errors.
#include <gtest/gtest.h>

#include <wx/app.h>

#include "ControlHarness.h"
#include "common/EncoderContract.h"
#include "support/WxTestEnvironment.h"

namespace quenlar::encoder::test {
namespace {

using namespace automation;

class EncoderAutomationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_DISPLAY();
        m_container = new ControlContainer;
        m_control = m_container->CreateEncoder();
        ASSERT_NE(m_control.dispatch, nullptr);
    }
    void TearDown() override
    {
        delete m_control.window;
        if (m_control.dispatch)
            m_control.dispatch->Release();
        if (m_container) {
            m_container->Destroy();
            wxTheApp->ProcessIdle();
        }
    }

    ControlContainer* m_container = nullptr;
    ControlInstance m_control;
};

TEST_F(EncoderAutomationTest, CodecListHoldsTheEightAudioRowsInOrder)
{
    const std::vector<std::string> expected = {
        "32 Kbps Stereo Music High - RA8", "44 Kbps Stereo Music High - RA8", "64 Kbps Stereo Music - RA8",
        "96 Kbps Stereo Music - RA8",      "105 Kbps Stereo Music - RA 8",    "132 Kbps Stereo Music - RA 8",
        "176 Kbps Stereo Music - RA 8",    "264 Kbps Stereo Music - RA 8"};
    IDispatch* list = Call(m_control.dispatch, dispid::kAudioCodecs, DISPATCH_PROPERTYGET).pdispVal;
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(Call(list, dispid::kGetCount, DISPATCH_METHOD).lVal, 8);
    std::vector<std::string> names;
    IDispatch* item = Call(list, dispid::kGetFirst, DISPATCH_METHOD).pdispVal;
    while (item) {
        names.push_back(Call(item, dispid::kName, DISPATCH_PROPERTYGET).bstrVal);
        IDispatch* codec = Call(item, dispid::kCodec, DISPATCH_PROPERTYGET).pdispVal;
        ASSERT_NE(codec, nullptr);
        EXPECT_EQ(Call(codec, dispid::kName, DISPATCH_PROPERTYGET).bstrVal, names.back());
        // Each object carries exactly the caller's reference: the last release frees it.
        EXPECT_EQ(codec->Release(), 0u);
        IDispatch* next = Call(list, dispid::kGetNext, DISPATCH_METHOD).pdispVal;
        EXPECT_EQ(item->Release(), 0u);
        item = next;
    }
    EXPECT_EQ(names, expected);
    EXPECT_EQ(Call(list, dispid::kGetNext, DISPATCH_METHOD).pdispVal, nullptr) << "stays past the end";
    EXPECT_EQ(list->Release(), 0u);
}

TEST_F(EncoderAutomationTest, PropertiesAreStoredResetAndTypeChecked)
{
    IDispatch* control = m_control.dispatch;
    Call(control, dispid::kInputFile, DISPATCH_PROPERTYPUT, {Variant::Str("/videos/AVSEQ01.DAT")});
    Call(control, 3407, DISPATCH_PROPERTYPUT, {Variant::I4(3)});
    Call(control, 3802, DISPATCH_PROPERTYPUT, {Variant::Bool(true)});
    EXPECT_EQ(Call(control, dispid::kInputFile, DISPATCH_PROPERTYGET).bstrVal, "/videos/AVSEQ01.DAT");
    EXPECT_EQ(Call(control, 3407, DISPATCH_PROPERTYGET).lVal, 3);
    EXPECT_EQ(Call(control, 3802, DISPATCH_PROPERTYGET).boolVal, VARIANT_TRUE);

    Call(control, dispid::kResetSettings, DISPATCH_METHOD);
    EXPECT_EQ(Call(control, dispid::kInputFile, DISPATCH_PROPERTYGET).bstrVal, "");
    EXPECT_EQ(Call(control, 3407, DISPATCH_PROPERTYGET).lVal, 0);

    auto expectFailure = [&](IDispatch* object, DISPID dispid, InvokeKind kind, std::vector<Variant> args,
                             int32_t code) {
        try {
            Call(object, dispid, kind, args);
            ADD_FAILURE() << "no exception from " << dispid;
        } catch (const DispatchException& e) {
            EXPECT_EQ(e.m_scError, code) << dispid;
        }
    };
    expectFailure(control, 9999, DISPATCH_METHOD, {}, DispatchException::kMemberNotFound);
    expectFailure(control, dispid::kInputFile, DISPATCH_PROPERTYPUT, {Variant::I4(1)}, DispatchException::kTypeMismatch);
    expectFailure(control, dispid::kDeInterlace, DISPATCH_PROPERTYPUT, {}, DispatchException::kBadParamCount);

    IDispatch* target = Call(control, dispid::kTargetSettings, DISPATCH_PROPERTYGET, {Variant::I4(5)}).pdispVal;
    Call(target, dispid::kSetBitrate, DISPATCH_PROPERTYPUT, {Variant::R4(300.0f)});
    EXPECT_EQ(Call(target, dispid::kSetBitrate, DISPATCH_PROPERTYGET).fltVal, 300.0f);
    // Only codecs from the control's own list are accepted.
    expectFailure(target, dispid::kAudioCodec, DISPATCH_PROPERTYPUT,
                  {Variant::I4(1), Variant::I4(3), Variant::Object(target)}, DispatchException::kTypeMismatch);
    EXPECT_EQ(target->Release(), 0u);
}

}  // namespace
}  // namespace quenlar::encoder::test
