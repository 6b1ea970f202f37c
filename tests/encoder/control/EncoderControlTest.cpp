// The encoder control hosted in a frame under Xvfb, configured and started through automation
// as the program does it; events are checked as the container's sink receives them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <wx/app.h>

#include "ControlHarness.h"
#include "common/EncoderContract.h"
#include "control/EncoderControlRegistrar.h"
#include "encoder/engine/ClipFixtures.h"
#include "engine/EncodeSettings.h"
#include "support/WxTestEnvironment.h"

namespace quenlar::encoder::test {
namespace {

using namespace automation;
using namespace std::chrono_literals;

class EncoderControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_DISPLAY();
        m_container = new ControlContainer;
        m_container->Show();
        m_control = m_container->CreateEncoder();
        ASSERT_NE(m_control.window, nullptr);
        ASSERT_NE(m_control.dispatch, nullptr);
        m_folder = Clips::NewFolder();
    }

    void TearDown() override
    {
        DestroyControl();
        if (m_container) {
            m_container->Destroy();
            wxTheApp->ProcessIdle();
        }
    }

    // As the container does it: the window goes at once, then the automation object.
    void DestroyControl()
    {
        delete m_control.window;
        m_control.window = nullptr;
        if (m_control.dispatch)
            m_control.dispatch->Release();
        m_control.dispatch = nullptr;
    }

    bool IsEncoding() { return Call(m_control.dispatch, dispid::kIsEncoding, DISPATCH_PROPERTYGET).boolVal != 0; }
    bool WaitFinished(std::chrono::milliseconds timeout = 60s)
    {
        return PumpUntil([this] { return m_container->Count(dispid::kEventFinished) > 0; }, timeout);
    }
    std::string OldTarget(const std::string& path)
    {
        std::ofstream(path) << "old target";
        return path;
    }
    std::string Text(const std::string& path)
    {
        std::ifstream in(path);
        std::string text;
        std::getline(in, text);
        return text;
    }

    ControlContainer* m_container = nullptr;
    ControlInstance m_control;
    std::string m_folder;
};

TEST_F(EncoderControlTest, RegistersItselfAndCreatesItsWindowWhereAsked)
{
    EXPECT_TRUE(EncoderControlRegistered());
    EXPECT_TRUE(ControlRegistry::Instance().IsRegistered(kProducerControlClsid));
    EXPECT_EQ(m_control.window->GetParent(), m_container);
    EXPECT_EQ(m_control.window->GetId(), 1000);
    EXPECT_EQ(m_control.window->GetRect(), wxRect(10, 20, 300, 200));
    EXPECT_FALSE(IsEncoding());
}

TEST_F(EncoderControlTest, EncodesWithEverythingTheSetUpWrote)
{
    const std::string output = m_folder + "/Video_AVSEQ01.rm";
    EncoderSetUp setUp{Clips::VideoCdDat(), output};
    setUp.audioSetting = "132 Kbps Stereo Music - RA 8";
    setUp.bitrate = 600;
    setUp.deinterlace = true;
    std::vector<bool> encodingAt;
    std::vector<wxSize> sizeAt;
    m_container->onEvent = [&](const FiredEvent&) {
        encodingAt.push_back(IsEncoding());
        sizeAt.push_back(m_control.window->GetSize());
    };
    ConfigureAndStart(m_control.dispatch, setUp);
    EXPECT_TRUE(IsEncoding()) << "StartEncoding returns while the encode runs";
    ASSERT_TRUE(WaitFinished());

    const auto& events = m_container->events;
    EXPECT_EQ(m_container->Sequence(), "5006 5001 5005 5006 5002");
    for (const FiredEvent& event : events) {
        EXPECT_EQ(event.childId, 1000);
        EXPECT_TRUE(event.onMainThread) << event.id;
    }
    // Sized to the two panes and the status line, and said so.
    const FiredEvent& size = events.front();
    ASSERT_EQ(size.params.size(), 2u);
    EXPECT_EQ(sizeAt.front(), wxSize(size.params[0].lVal, size.params[1].lVal));
    // At the end it returns to the area it was created in, so the container's layout holds.
    EXPECT_EQ(sizeAt[events.size() - 2], wxSize(300, 200));
    EXPECT_EQ(m_control.window->GetSize(), wxSize(300, 200));
    EXPECT_GE(size.params[0].lVal, 2 * 352);
    EXPECT_GT(size.params[1].lVal, 288);
    const FiredEvent& last = events[events.size() - 3];
    ASSERT_EQ(last.id, dispid::kEventProgress);
    ASSERT_EQ(last.params.size(), 4u);
    EXPECT_EQ(last.params[2].lVal, 100);
    EXPECT_EQ(last.params[3].lVal, 75);
    EXPECT_EQ(events[events.size() - 2].params[0].lVal, 0);
    EXPECT_EQ(events[events.size() - 2].params[1].lVal, 0);
    // True through every event before the finished one, false from then on.
    for (size_t i = 0; i + 1 < encodingAt.size(); ++i)
        EXPECT_TRUE(encodingAt[i]) << "at event " << i;
    EXPECT_FALSE(encodingAt.back());
    EXPECT_FALSE(IsEncoding());

    EXPECT_EQ(ListFolder(m_folder), "Video_AVSEQ01.rm");
    const auto probe = Probe(output);
    EXPECT_EQ(probe.at("format.tags.title"), "Video_AVSEQ01");
    EXPECT_EQ(probe.at("format.tags.author"), "Someone");
    EXPECT_EQ(probe.at("format.tags.comment"), "Quenlar");
    EXPECT_EQ(probe.at("streams.stream.0.codec_name"), VideoCodecName(kDefaultVideoCodec));
    EXPECT_EQ(ProbeNumber(probe, "streams.stream.1.bit_rate"), 128'000);
    EXPECT_NEAR(ProbeNumber(probe, "format.bit_rate"), 600'000, 120'000);
    EXPECT_EQ(Call(m_control.dispatch, dispid::kInputFile, DISPATCH_PROPERTYGET).bstrVal, Clips::VideoCdDat());
}

TEST_F(EncoderControlTest, AnAudioSettingMatchingNoNameKeepsTheDefault)
{
    const std::string output = m_folder + "/out.rm";
    EncoderSetUp setUp{Clips::Short(), output};
    setUp.audioSetting = "132 kbps Stereo Music - RA 8";  // one letter's case differs
    ConfigureAndStart(m_control.dispatch, setUp);
    ASSERT_TRUE(WaitFinished());
    EXPECT_EQ(m_container->Count(dispid::kEventError), 0u);
    EXPECT_NEAR(ProbeNumber(Probe(output), "streams.stream.1.bit_rate"), 64'000, 640);
}

TEST_F(EncoderControlTest, FailuresAreReportedThenFinishedOnce)
{
    struct Case {
        std::string input;
        std::string output;
        EncodeResult code;
        std::string text;
        bool written;
    };
    const std::string missing = m_folder + "/missing.mpg";
    const std::vector<Case> cases = {
        {missing, m_folder + "/a.rm", EncodeResult::CannotOpenInput,
         "Cannot open input file \"" + missing + "\": No such file or directory", false},
        {Clips::RandomBytes(), m_folder + "/b.rm", EncodeResult::CannotOpenInput, "Invalid data found", false},
        {Clips::Short(), m_folder + "/no/such/folder/c.rm", EncodeResult::CannotCreateOutput,
         "No such file or directory", false},
        {Clips::Truncated(), m_folder + "/d.rm", EncodeResult::DamagedInput, "is damaged (", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        DestroyControl();
        m_container->events.clear();
        m_control = m_container->CreateEncoder();
        ConfigureAndStart(m_control.dispatch, EncoderSetUp{c.input, c.output});
        ASSERT_TRUE(WaitFinished());
        PumpFor(50ms);
        const auto& events = m_container->events;
        ASSERT_GE(events.size(), 3u);
        EXPECT_EQ(m_container->Count(dispid::kEventFinished), 1u);
        EXPECT_EQ(m_container->Count(dispid::kEventError), 1u);
        EXPECT_EQ(events.back().id, dispid::kEventFinished);
        const FiredEvent& error = events[events.size() - 3];
        ASSERT_EQ(error.id, dispid::kEventError);
        EXPECT_EQ(error.params[0].lVal, static_cast<int32_t>(c.code));
        EXPECT_NE(error.params[1].bstrVal.find(c.text), std::string::npos) << error.params[1].bstrVal;
        EXPECT_EQ(events[events.size() - 2].id, dispid::kEventDisplaySize);
        EXPECT_FALSE(IsEncoding());
        EXPECT_EQ(std::filesystem::exists(c.output), c.written);
    }
    EXPECT_EQ(ListFolder(m_folder), "d.rm");
}

TEST_F(EncoderControlTest, StopEndsWithOneFinishedEventAndNoOutput)
{
    for (bool afterStart : {false, true}) {
        SCOPED_TRACE(afterStart);
        DestroyControl();
        m_container->events.clear();
        m_control = m_container->CreateEncoder();
        const std::string target = OldTarget(m_folder + "/out.rm");
        ConfigureAndStart(m_control.dispatch, EncoderSetUp{Clips::Long(), target});
        if (afterStart) {
            ASSERT_TRUE(PumpUntil([&] { return m_container->Count(dispid::kEventStarted) > 0; }, 10s));
        }
        Call(m_control.dispatch, dispid::kStopEncoding, DISPATCH_METHOD);
        EXPECT_TRUE(IsEncoding()) << "until the finished event is delivered";
        ASSERT_TRUE(WaitFinished(2s));
        PumpFor(100ms);
        EXPECT_EQ(m_container->Count(dispid::kEventFinished), 1u);
        EXPECT_EQ(m_container->Count(dispid::kEventError), 0u) << "a stop is no error";
        EXPECT_FALSE(IsEncoding());
        EXPECT_EQ(Text(target), "old target");
        EXPECT_EQ(ListFolder(m_folder), "out.rm");
    }
}

TEST_F(EncoderControlTest, DestroyingTheControlWhileItWorksDeliversNothingMore)
{
    const std::string target = OldTarget(m_folder + "/out.rm");
    ConfigureAndStart(m_control.dispatch, EncoderSetUp{Clips::Long(), target});
    ASSERT_TRUE(PumpUntil([&] { return m_container->Count(dispid::kEventStarted) > 0; }, 10s));
    // The container keeps the automation object a moment longer than the window.
    IDispatch* automationObject = m_control.dispatch;
    automationObject->AddRef();
    const auto before = std::chrono::steady_clock::now();
    DestroyControl();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    const size_t fired = m_container->events.size();
    PumpFor(700ms);
    EXPECT_EQ(m_container->events.size(), fired) << "no event after the control is gone";
    EXPECT_EQ(m_container->Count(dispid::kEventFinished), 0u);
    EXPECT_EQ(Call(automationObject, dispid::kIsEncoding, DISPATCH_PROPERTYGET).boolVal, VARIANT_FALSE);
    Call(automationObject, dispid::kStartEncoding, DISPATCH_METHOD);
    PumpFor(100ms);
    EXPECT_EQ(m_container->events.size(), fired);
    EXPECT_EQ(automationObject->Release(), 0u);
    EXPECT_EQ(Text(target), "old target");
    EXPECT_EQ(ListFolder(m_folder), "out.rm");
}

TEST_F(EncoderControlTest, ASecondStartIsIgnoredWhileEncodingAndWorksAfterwards)
{
    ConfigureAndStart(m_control.dispatch, EncoderSetUp{Clips::Short(), m_folder + "/out.rm"});
    Call(m_control.dispatch, dispid::kStartEncoding, DISPATCH_METHOD);
    ASSERT_TRUE(WaitFinished());
    PumpFor(200ms);
    EXPECT_EQ(m_container->Count(dispid::kEventFinished), 1u);
    EXPECT_EQ(m_container->Count(dispid::kEventStarted), 1u);
    // Once finished, the same control may encode again.
    Call(m_control.dispatch, dispid::kStartEncoding, DISPATCH_METHOD);
    EXPECT_TRUE(IsEncoding());
    ASSERT_TRUE(PumpUntil([this] { return m_container->Count(dispid::kEventFinished) == 2; }, 60s));
    EXPECT_EQ(m_container->Count(dispid::kEventStarted), 2u);
    EXPECT_EQ(m_container->Count(dispid::kEventError), 0u);
    EXPECT_EQ(ListFolder(m_folder), "out.rm");
}

}  // namespace
}  // namespace quenlar::encoder::test
