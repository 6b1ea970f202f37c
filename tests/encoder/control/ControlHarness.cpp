#include "ControlHarness.h"

#include <filesystem>
#include <thread>

#include <wx/app.h>
#include <wx/thread.h>

#include "control/ControlDispIds.h"
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
    return ControlRegistry::Instance().Create(kEncoderControlClsid, params);
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
        if (event.id == ids::kEventProgress && last == ids::kEventProgress)
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
    Call(control, 4304, DISPATCH_METHOD);
    putBool(3802, true);
    putI4(3804, 1000);
    putStr(3251, std::filesystem::path(setUp.output).stem().string());
    putStr(3252, setUp.author);
    putStr(3253, "Quenlar");
    putBool(3808, setUp.deinterlace);
    putBool(3807, false);
    putBool(3801, false);
    putI4(3151, 0);
    putStr(3152, setUp.input);
    putBool(3155, true);
    putBool(3156, true);
    putBool(3159, false);
    putBool(3201, true);
    putBool(3202, false);
    putBool(3412, false);
    putStr(3203, setUp.output);
    for (DISPID id : {3409, 3406, 3413, 3401, 3414, 3415, 3402, 3405, 3404, 3403})
        putBool(id, id == 3406);
    putI4(3407, 3);
    putI4(3408, 2);
    putI4(3410, 6);
    IDispatch* target = Call(control, 3501, DISPATCH_PROPERTYGET, {Variant::I4(5)}).pdispVal;
    Call(target, 3453, DISPATCH_PROPERTYPUT, {Variant::R4(static_cast<float>(setUp.bitrate))});
    IDispatch* list = Call(control, 3651, DISPATCH_PROPERTYGET).pdispVal;
    // The program's codec walk: the first item whose name equals the setting's text.
    IDispatch* item = Call(list, 4051, DISPATCH_METHOD).pdispVal;
    int count = Call(list, 4053, DISPATCH_METHOD).lVal;
    for (int index = 0; index < count && item;) {
        if (Call(item, 3552, DISPATCH_PROPERTYGET).bstrVal == setUp.audioSetting) {
            IDispatch* codec = Call(item, 3551, DISPATCH_PROPERTYGET).pdispVal;
            Call(target, 3456, DISPATCH_PROPERTYPUT, {Variant::I4(1), Variant::I4(3), Variant::Object(codec)});
            codec->Release();
            break;
        }
        IDispatch* next = Call(list, 4052, DISPATCH_METHOD).pdispVal;
        item->Release();
        item = next;
        ++index;
        count = Call(list, 4053, DISPATCH_METHOD).lVal;
    }
    if (item)
        item->Release();
    list->Release();
    putBool(3352, false);
    putBool(3351, false);
    if (start)
        Call(control, 4301, DISPATCH_METHOD);
    target->Release();
}

}  // namespace quenlar::encoder::test
