// A recording automation object for tests: every Invoke is logged (DISPID, kind, arguments),
// answers come from per-DISPID handlers, and every object it hands out is reference-counted so
// that tests can check each reference is released exactly once.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <wx/window.h>

#include "platform/automation/Automation.h"
#include "platform/automation/ControlRegistry.h"

struct RecordedCall {
    std::string object;  // name the test gave the object
    automation::DISPID dispid;
    automation::InvokeKind kind;
    std::vector<automation::Variant> args;
};

class RecordingDispatch;

// Shared by all objects of one test: the call log, and the objects themselves, which it keeps
// until it goes so that a release too many is counted instead of touching freed memory.
struct DispatchLog {
    DispatchLog();
    ~DispatchLog();

    // A new object with one reference, owned by the caller.
    RecordingDispatch* NewObject(std::string name);

    std::vector<RecordedCall> calls;
    int liveObjects = 0;        // objects whose count is above zero
    int releasesAfterZero = 0;  // a Release on an object already at zero: a double release

    // The calls to `dispid` (on any object).
    std::vector<RecordedCall> CallsTo(automation::DISPID dispid) const;
    size_t CountOf(automation::DISPID dispid) const { return CallsTo(dispid).size(); }

private:
    std::vector<std::unique_ptr<RecordingDispatch>> m_objects;
};

class RecordingDispatch : public automation::IDispatch {
public:
    using Handler = std::function<automation::Variant(const std::vector<automation::Variant>&)>;

    RecordingDispatch(DispatchLog& log, std::string name);
    ~RecordingDispatch() override = default;

    // The answer to `dispid` (any kind); without one the call returns VT_EMPTY.
    void On(automation::DISPID dispid, Handler handler) { m_handlers[dispid] = std::move(handler); }
    // Makes `dispid` throw a DispatchException with that text.
    void FailOn(automation::DISPID dispid, std::string text);

    uint32_t AddRef() override;
    uint32_t Release() override;
    automation::Variant Invoke(automation::DISPID dispid, automation::InvokeKind kind,
                               const std::vector<automation::Variant>& args) override;

    uint32_t RefCount() const { return m_refs; }
    const std::string& Name() const { return m_name; }

private:
    DispatchLog& m_log;
    std::string m_name;
    uint32_t m_refs = 1;
    std::map<automation::DISPID, Handler> m_handlers;
};

// Registers a factory under the encoder's class id that creates a plain child window and hands
// out `control` (AddRef'd per creation). Records the parameters of each creation.
class FakeControlRegistration {
public:
    explicit FakeControlRegistration(RecordingDispatch* control);
    ~FakeControlRegistration();

    int Creations() const { return static_cast<int>(m_created.size()); }
    const std::vector<automation::ControlCreateParams>& Created() const { return m_created; }
    // The sink of the last created control: fire events into the container through it.
    automation::IEventSink* Sink() const { return m_created.empty() ? nullptr : m_created.back().sink; }
    wxWindow* LastWindow() const { return m_lastWindow; }

private:
    RecordingDispatch* m_control;
    std::vector<automation::ControlCreateParams> m_created;
    wxWindow* m_lastWindow = nullptr;
    std::unique_ptr<automation::ScopedControlRegistration> m_registration;
};
