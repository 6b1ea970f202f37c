// Registry of control factories keyed by class id: what CreateControl finds a control through.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>

#include <wx/gdicmn.h>

#include "platform/automation/Automation.h"
#include "platform/automation/EventSink.h"

class wxWindow;

namespace automation {

struct ControlCreateParams {
    wxWindow* parent = nullptr;
    int id = 0;
    wxRect rect;               // in the parent's client coordinates
    bool visible = true;       // WS_VISIBLE
    IEventSink* sink = nullptr;  // the container's sink, or null when the parent has none
};

// A created control: its window (a child of the parent, owned by it) and its automation
// object, carrying one reference for the creator.
struct ControlInstance {
    wxWindow* window = nullptr;
    IDispatch* dispatch = nullptr;
};

using ControlFactory = std::function<ControlInstance(const ControlCreateParams&)>;

class ControlRegistry {
public:
    static ControlRegistry& Instance();

    // Replaces any factory registered under the same class id (ids compare case-insensitively).
    void Register(const std::string& clsid, ControlFactory factory);
    void Unregister(const std::string& clsid);
    bool IsRegistered(const std::string& clsid) const;
    // The factory under that class id, or an empty one.
    ControlFactory Find(const std::string& clsid) const;
    // A default ControlInstance when no factory is registered or the factory fails.
    ControlInstance Create(const std::string& clsid, const ControlCreateParams& params) const;

private:
    mutable std::mutex m_mutex;
    std::map<std::string, ControlFactory> m_factories;
};

// Registers a factory for its lifetime, restoring what was registered before (tests).
class ScopedControlRegistration {
public:
    ScopedControlRegistration(std::string clsid, ControlFactory factory);
    ~ScopedControlRegistration();
    ScopedControlRegistration(const ScopedControlRegistration&) = delete;
    ScopedControlRegistration& operator=(const ScopedControlRegistration&) = delete;

private:
    std::string m_clsid;
    ControlFactory m_previous;
};

}  // namespace automation
