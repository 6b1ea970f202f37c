#include "ControlHarness.h"

#include <filesystem>
#include <thread>

#include <wx/app.h>
#include <wx/thread.h>

#include "common/EncoderContract.h"
#include "control/EncoderControlRegistrar.h"

namespace quenlar::encoder::test {

using namespace automation;

ControlContainer::ControlContainer() : wxFrame(nullptr, wxID_ANY, "encoder control test", wxPoint(0, 0), wxSize(900, 500))
{
}

void ControlContainer::FireEvent(int childId, DISPID eventId, const std::vector<Variant>& params)
{
    events.push_back({childId, eventId, params, wxThread::IsMain()});
    if (onEvent)
        onEvent(events.back());
}

ControlInstance ControlContainer::CreateEncoder()
{
    ControlCreateParams params;
    params.parent = this;
    params.id = 1000;
    params.rect = wxRect(10, 20, 300, 200);
    params.visible = true;
    params.sink = this;
    return ControlRegistry::Instance().Create(kProducerControlClsid, params);
}

size_t ControlContainer::Count(DISPID id) const
{
    return std::count_if(events.begin(), events.end(), [id](const FiredEvent& e) { return e.id == id; });
}

std::string ControlContainer::Sequence() const
{
    std::string sequence;
    DISPID last = 0;
    for (const FiredEvent& event : events) {
        if (event.id == dispid::kEventProgress && last == dispid::kEventProgress)
            continue;
        sequence += (sequence.empty() ? "" : " ") + std::to_string(event.id);
        last = event.id;
    }
    return sequence;
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        wxTheApp->ProcessPendingEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void PumpFor(std::chrono::milliseconds duration)
{
    PumpUntil([] { return false; }, duration);
}

Variant Call(IDispatch* object, DISPID dispid, InvokeKind kind, const std::vector<Variant>& args)
{
    return object->Invoke(dispid, kind, args);
}

void ConfigureAndStart(IDispatch* control, const EncoderSetUp& setUp, bool start)
{
    auto putBool = [&](DISPID id, bool value) { Call(control, id, DISPATCH_PROPERTYPUT, {Variant::Bool(value)}); };
    auto putI4 = [&](DISPID id, int value) { Call(control, id, DISPATCH_PROPERTYPUT, {Variant::I4(value)}); };
    auto putStr = [&](DISPID id, const std::string& value) {
        Call(control, id, DISPATCH_PROPERTYPUT, {Variant::Str(value)});
    };
    Call(control, dispid::kResetSettings, DISPATCH_METHOD);
    putBool(dispid::kProp3802, true);
    putI4(dispid::kProp3804, 1000);
    putStr(dispid::kTitle, std::filesystem::path(setUp.output).stem().string());
    putStr(dispid::kAuthor, setUp.author);
    putStr(dispid::kProgramName, "Quenlar");
    putBool(dispid::kDeInterlace, setUp.deinterlace);
    putBool(dispid::kProp3807, false);
    putBool(dispid::kProp3801, false);
    putI4(dispid::kProp3151, 0);
    putStr(dispid::kInputFile, setUp.input);
    putBool(dispid::kProp3155, true);
    putBool(dispid::kProp3156, true);
    putBool(dispid::kProp3159, false);
    putBool(dispid::kProp3201, true);
    putBool(dispid::kProp3202, false);
    putBool(dispid::kProp3412, false);
    putStr(dispid::kOutputFile, setUp.output);
    using namespace dispid;
    for (DISPID id : {kProp3409, kProp3406, kProp3413, kProp3401, kProp3414, kProp3415, kProp3402, kProp3405,
                      kProp3404, kProp3403})
        putBool(id, id == dispid::kProp3406);
    putI4(dispid::kProp3407, 3);
    putI4(dispid::kProp3408, 2);
    putI4(dispid::kProp3410, 6);
    IDispatch* target = Call(control, dispid::kTargetSettings, DISPATCH_PROPERTYGET, {Variant::I4(5)}).pdispVal;
    Call(target, dispid::kSetBitrate, DISPATCH_PROPERTYPUT, {Variant::R4(static_cast<float>(setUp.bitrate))});
    IDispatch* list = Call(control, dispid::kAudioCodecs, DISPATCH_PROPERTYGET).pdispVal;
    // The program's codec walk: the first item whose name equals the setting's text.
    IDispatch* item = Call(list, dispid::kGetFirst, DISPATCH_METHOD).pdispVal;
    int count = Call(list, dispid::kGetCount, DISPATCH_METHOD).lVal;
    for (int index = 0; index < count && item;) {
        if (Call(item, dispid::kName, DISPATCH_PROPERTYGET).bstrVal == setUp.audioSetting) {
            IDispatch* codec = Call(item, dispid::kCodec, DISPATCH_PROPERTYGET).pdispVal;
            Call(target, dispid::kAudioCodec, DISPATCH_PROPERTYPUT, {Variant::I4(1), Variant::I4(3), Variant::Object(codec)});
            codec->Release();
            break;
        }
        IDispatch* next = Call(list, dispid::kGetNext, DISPATCH_METHOD).pdispVal;
        item->Release();
        item = next;
        ++index;
        count = Call(list, dispid::kGetCount, DISPATCH_METHOD).lVal;
    }
    if (item)
        item->Release();
    list->Release();
    putBool(3352, false);
    putBool(3351, false);
    if (start)
        Call(control, dispid::kStartEncoding, DISPATCH_METHOD);
    target->Release();
}

}  // namespace quenlar::encoder::test
