// A container for the encoder control in tests: a frame with an event sink that records what
// the control fires, and the calls of the per-file set-up made through automation.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <wx/frame.h>

#include "platform/automation/Automation.h"
#include "platform/automation/ControlRegistry.h"
#include "platform/automation/EventSink.h"

namespace quenlar::encoder::test {

struct FiredEvent {
    int childId;
    automation::DISPID id;
    std::vector<automation::Variant> params;
    bool onMainThread;
};

class ControlContainer : public wxFrame, public automation::IEventSink {
public:
    ControlContainer();
    void FireEvent(int childId, automation::DISPID eventId,
                   const std::vector<automation::Variant>& params) override;

    // Creates the control through the registry as child 1000.
    automation::ControlInstance CreateEncoder();

    std::vector<FiredEvent> events;
    std::function<void(const FiredEvent&)> onEvent;

    size_t Count(automation::DISPID id) const;
    // Event ids in order, a run of progress events shown once: "5006 5001 5005 5006 5002".
    std::string Sequence() const;
};

// Pumps posted calls until `done` or the timeout; whether `done` came true.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
void PumpFor(std::chrono::milliseconds duration);

automation::Variant Call(automation::IDispatch* object, automation::DISPID dispid, automation::InvokeKind kind,
                         const std::vector<automation::Variant>& args = {});

struct EncoderSetUp {
    std::string input;
    std::string output;
    std::string author = "Someone";
    std::string audioSetting = "64 Kbps Stereo Music - RA8";
    int bitrate = 500;
    bool deinterlace = false;
};

// The set-up the program makes for each file, in its order, ending with StartEncoding unless
// `start` is false; the title is the output's file name without extension.
void ConfigureAndStart(automation::IDispatch* control, const EncoderSetUp& setUp, bool start = true);

}  // namespace quenlar::encoder::test
