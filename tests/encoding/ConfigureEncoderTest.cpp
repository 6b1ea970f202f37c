// The per-file set-up against a recording control registered under the encoder's class id:
// the whole call sequence, the codec walk's call pattern, titles and reference balance.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <wx/frame.h>

#include "common/EncoderContract.h"
#include "common/TargetPath.h"
#include "encoding/ConfigureEncoder.h"
#include "encoding/ProducerControl2.h"
#include "support/RecordingDispatch.h"
#include "support/WxTestEnvironment.h"

using namespace automation;

namespace {

Variant Hand(RecordingDispatch* object)
{
    if (object)
        object->AddRef();
    return Variant::Object(object);
}

// A control with target settings and a codec list whose items carry the given names.
class SetupFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_DISPLAY();
        control = log.NewObject("control");
        settings = log.NewObject("settings");
        list = log.NewObject("list");
        control->On(dispid::kTargetSettings, [this](const std::vector<Variant>&) { return Hand(settings); });
        control->On(dispid::kAudioCodecs, [this](const std::vector<Variant>&) { return Hand(list); });
        list->On(dispid::kGetFirst, [this](const std::vector<Variant>&) {
            cursor = 0;
            return Hand(ItemAt(cursor));
        });
        list->On(dispid::kGetNext, [this](const std::vector<Variant>&) { return Hand(ItemAt(++cursor)); });
        list->On(dispid::kGetCount,
                 [this](const std::vector<Variant>&) { return Variant::I4(static_cast<int32_t>(items.size())); });
        registration = std::make_unique<FakeControlRegistration>(control);
        parent = new wxFrame(nullptr, wxID_ANY, "host");
        ASSERT_TRUE(producer.Create(nullptr, nullptr, WS_VISIBLE, wxRect(0, 0, 100, 50), parent, 1000));
    }

    void TearDown() override
    {
        producer.DestroyWindow();
        if (control)
            EXPECT_EQ(control->RefCount(), 1u) << "the wrapper releases the control it created";
        if (parent)
            parent->Destroy();
    }

    void SetCodecNames(const std::vector<std::string>& names)
    {
        for (const std::string& name : names) {
            RecordingDispatch* item = log.NewObject("item:" + name);
            RecordingDispatch* codec = log.NewObject("codec:" + name);
            item->On(dispid::kName, [name](const std::vector<Variant>&) { return Variant::Str(name); });
            item->On(dispid::kCodec, [codec](const std::vector<Variant>&) { return Hand(codec); });
            items.push_back(item);
            codecs.push_back(codec);
        }
    }

    RecordingDispatch* ItemAt(size_t index) { return index < items.size() ? items[index] : nullptr; }

    void Configure(const std::string& audio)
    {
        ConfigureEncoder(producer, "/v/Disc1/AVSEQ01.DAT", "/v/Disc1/Disc1_AVSEQ01.rm", "Me", audio, 450, TRUE,
                         FALSE);
    }

    // Every object handed out has been released: only the fixture's own reference is left.
    void ExpectReferencesBalanced()
    {
        EXPECT_EQ(log.releasesAfterZero, 0);
        for (RecordingDispatch* object : {settings, list}) {
            EXPECT_EQ(object->RefCount(), 1u) << object->Name();
        }
        for (size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items[i]->RefCount(), 1u) << items[i]->Name();
            EXPECT_EQ(codecs[i]->RefCount(), 1u) << codecs[i]->Name();
        }
    }

    std::vector<RecordedCall> AudioCodecPuts() const { return log.CallsTo(dispid::kAudioCodec); }

    DispatchLog log;
    RecordingDispatch* control = nullptr;
    RecordingDispatch* settings = nullptr;
    RecordingDispatch* list = nullptr;
    std::vector<RecordingDispatch*> items;
    std::vector<RecordingDispatch*> codecs;
    size_t cursor = 0;
    std::unique_ptr<FakeControlRegistration> registration;
    wxFrame* parent = nullptr;
    CProducerControl2 producer;
};

struct Expected {
    std::string object;
    DISPID dispid;
    InvokeKind kind;
    std::vector<Variant> args;
};

Expected PutB(DISPID id, bool value)
{
    return {"control", id, DISPATCH_PROPERTYPUT, {Variant::Bool(value)}};
}

Expected PutI(DISPID id, int32_t value)
{
    return {"control", id, DISPATCH_PROPERTYPUT, {Variant::I4(value)}};
}

Expected PutS(DISPID id, const std::string& value)
{
    return {"control", id, DISPATCH_PROPERTYPUT, {Variant::Str(value)}};
}

}  // namespace

TEST_F(SetupFixture, WritesTheWholeConfigurationInOrderAndStarts)
{
    SetCodecNames({"32 Kbps Stereo Music High - RA8", "44 Kbps Stereo Music High - RA8"});
    Configure("44 Kbps Stereo Music High - RA8");

    const std::vector<Expected> expected = {
        {"control", 4304, DISPATCH_METHOD, {}},
        PutB(3802, true), PutI(3804, 1000), PutS(3251, "Disc1_AVSEQ01"), PutS(3252, "Me"), PutS(3253, "Quenlar"),
        PutB(3808, true), PutB(3807, false), PutB(3801, false), PutI(3151, 0), PutS(3152, "/v/Disc1/AVSEQ01.DAT"),
        PutB(3155, true), PutB(3156, true), PutB(3159, false), PutB(3201, true), PutB(3202, false),
        PutB(3412, false), PutS(3203, "/v/Disc1/Disc1_AVSEQ01.rm"), PutB(3409, false), PutB(3406, true),
        PutB(3413, false), PutB(3401, false), PutB(3414, false), PutB(3415, false), PutB(3402, false),
        PutB(3405, false), PutB(3404, false), PutB(3403, false), PutI(3407, 3), PutI(3408, 2), PutI(3410, 6),
        {"control", 3501, DISPATCH_PROPERTYGET, {Variant::I4(5)}},
        {"settings", 3453, DISPATCH_PROPERTYPUT, {Variant::R4(450.0f)}},
        {"control", 3651, DISPATCH_PROPERTYGET, {}},
        {"list", 4051, DISPATCH_METHOD, {}},
        {"list", 4053, DISPATCH_METHOD, {}},
        {"item:32 Kbps Stereo Music High - RA8", 3552, DISPATCH_PROPERTYGET, {}},
        {"list", 4052, DISPATCH_METHOD, {}},
        {"list", 4053, DISPATCH_METHOD, {}},
        {"item:44 Kbps Stereo Music High - RA8", 3552, DISPATCH_PROPERTYGET, {}},
        {"item:44 Kbps Stereo Music High - RA8", 3551, DISPATCH_PROPERTYGET, {}},
        {"settings", 3456, DISPATCH_PROPERTYPUT, {Variant::I4(1), Variant::I4(3), Variant::Object(codecs[1])}},
        PutB(3352, false), PutB(3351, false),
        {"control", 4301, DISPATCH_METHOD, {}},
    };
    ASSERT_EQ(log.calls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("call " + std::to_string(i + 1));
        EXPECT_EQ(log.calls[i].object, expected[i].object);
        EXPECT_EQ(log.calls[i].dispid, expected[i].dispid);
        EXPECT_EQ(log.calls[i].kind, expected[i].kind);
        EXPECT_EQ(log.calls[i].args, expected[i].args);
    }
    // BOOL travels as VARIANT_BOOL: -1 for true.
    EXPECT_EQ(log.calls[1].args[0].boolVal, -1);
    EXPECT_EQ(log.calls[7].args[0].boolVal, 0);
    ExpectReferencesBalanced();
}

TEST_F(SetupFixture, CodecWalkCallPatterns)
{
    {
        SCOPED_TRACE("count 0: one GetFirst, one GetCount, no name read");
        Configure("44 Kbps Stereo Music High - RA8");
        EXPECT_EQ(log.CountOf(dispid::kGetFirst), 1u);
        EXPECT_EQ(log.CountOf(dispid::kGetCount), 1u);
        EXPECT_EQ(log.CountOf(dispid::kName), 0u);
        EXPECT_TRUE(AudioCodecPuts().empty());
        EXPECT_EQ(log.CountOf(dispid::kStartEncoding), 1u);
    }
    log.calls.clear();
    SetCodecNames({"a", "b", "c", "b"});
    {
        SCOPED_TRACE("match on the first item: GetNext never called");
        Configure("a");
        EXPECT_EQ(log.CountOf(dispid::kGetNext), 0u);
        ASSERT_EQ(AudioCodecPuts().size(), 1u);
        EXPECT_EQ(AudioCodecPuts()[0].args[2].pdispVal, codecs[0]);
    }
    log.calls.clear();
    {
        SCOPED_TRACE("two items with the same name: the first is used");
        Configure("b");
        ASSERT_EQ(AudioCodecPuts().size(), 1u);
        EXPECT_EQ(AudioCodecPuts()[0].args[2].pdispVal, codecs[1]);
    }
    for (const std::string& miss : {std::string("A"), std::string("b "), std::string("zzz")}) {
        SCOPED_TRACE("no match for '" + miss + "' in 4 items");
        log.calls.clear();
        Configure(miss);
        EXPECT_EQ(log.CountOf(dispid::kName), 4u);
        EXPECT_EQ(log.CountOf(dispid::kGetNext), 4u);
        EXPECT_EQ(log.CountOf(dispid::kGetCount), 5u);
        EXPECT_TRUE(AudioCodecPuts().empty());
        EXPECT_EQ(log.CountOf(dispid::kStartEncoding), 1u);
        EXPECT_EQ(log.CountOf(3351), 1u);
    }
    ExpectReferencesBalanced();
}

TEST_F(SetupFixture, AFailingCallReleasesWhatWasHeldAndGoesOn)
{
    SetCodecNames({"a", "b", "c"});
    items[1]->FailOn(dispid::kName, "name unavailable");
    EXPECT_THROW(Configure("c"), DispatchException);
    EXPECT_EQ(log.CountOf(dispid::kStartEncoding), 0u);
    ExpectReferencesBalanced();

    log.calls.clear();
    items[1]->On(dispid::kName, [](const std::vector<Variant>&) { return Variant::Str("b"); });
    list->FailOn(dispid::kGetCount, "count unavailable");
    EXPECT_THROW(Configure("c"), DispatchException);
    ExpectReferencesBalanced();
}

TEST_F(SetupFixture, MissingSubObjectsSkipTheirStepsAndStillStart)
{
    SetCodecNames({"a"});
    control->On(dispid::kTargetSettings, [](const std::vector<Variant>&) { return Variant::Object(nullptr); });
    Configure("a");
    EXPECT_EQ(log.CountOf(dispid::kSetBitrate), 0u);
    EXPECT_TRUE(AudioCodecPuts().empty());
    EXPECT_EQ(log.CountOf(dispid::kStartEncoding), 1u);

    log.calls.clear();
    control->On(dispid::kTargetSettings, [this](const std::vector<Variant>&) { return Hand(settings); });
    control->On(dispid::kAudioCodecs, [](const std::vector<Variant>&) { return Variant::Object(nullptr); });
    Configure("a");
    EXPECT_EQ(log.CountOf(dispid::kSetBitrate), 1u);
    EXPECT_EQ(log.CountOf(dispid::kGetFirst), 0u);
    EXPECT_EQ(log.CountOf(dispid::kStartEncoding), 1u);
    ExpectReferencesBalanced();
}

TEST(TitleFromTarget, LastComponentWithoutItsLastExtension)
{
    EXPECT_EQ(TitleFromTarget("D:\\Video\\Video_AVSEQ01.rm"), "Video_AVSEQ01");
    EXPECT_EQ(TitleFromTarget("D:\\Video\\AVSEQ01.rm"), "AVSEQ01");
    EXPECT_EQ(TitleFromTarget("a.b.rm"), "a.b");
    EXPECT_EQ(TitleFromTarget("/v/my.folder/clip.rm"), "clip");
    EXPECT_EQ(TitleFromTarget("/v/my.folder/clip"), "clip");
    EXPECT_EQ(TitleFromTarget("D:clip.rm"), "clip");
    EXPECT_EQ(TitleFromTarget("/v/mixed\\sep/name.rm"), "name");
    EXPECT_EQ(TitleFromTarget("/v/片名.rm"), "片名");
}

TEST(TitleFromTarget, LongNamesAreCutOnACharacterBoundary)
{
    // 99 three-byte characters and "xyz": 255 bytes end exactly after character 85.
    std::string name;
    for (int i = 0; i < 99; ++i)
        name += "片";
    name += "xyz";
    const std::string title = TitleFromTarget("/v/" + name + ".rm");
    EXPECT_EQ(title.size(), 255u);
    EXPECT_EQ(title, name.substr(0, 255));

    const std::string shifted = TitleFromTarget("/v/a" + name + ".rm");
    EXPECT_EQ(shifted.size(), 253u);  // 'a' + 84 characters; the 85th would need bytes 254..256
    EXPECT_EQ(shifted, ("a" + name).substr(0, 253));
}
