// Events from hosted controls to their container: the sink interface a control fires into, and
// the per-container table mapping (child id, event DISPID) to a handler.
#pragma once

#include <functional>
#include <initializer_list>
#include <vector>

#include "platform/automation/Automation.h"

namespace automation {

// Implemented by a window that hosts controls. Called on the UI thread only.
class IEventSink {
public:
    virtual void FireEvent(int childId, DISPID eventId, const std::vector<Variant>& params) = 0;

protected:
    ~IEventSink() = default;
};

// The container's event sink map. A handler that throws DispatchException (a failing call, or
// parameters of the wrong type) is reported in a stop-icon box and the program goes on.
template <class T>
class CEventSinkMap {
public:
    using Handler = std::function<void(T&, const std::vector<Variant>&)>;
    struct Entry {
        int childId;
        DISPID eventId;
        Handler handler;
    };

    CEventSinkMap(std::initializer_list<Entry> entries) : m_entries(entries) {}

    // Returns whether an entry handled the event.
    bool Dispatch(T& target, int childId, DISPID eventId, const std::vector<Variant>& params) const
    {
        for (const Entry& entry : m_entries) {
            if (entry.childId != childId || entry.eventId != eventId)
                continue;
            try {
                entry.handler(target, params);
            } catch (const DispatchException& e) {
                e.ReportError();
            }
            return true;
        }
        return false;
    }

private:
    std::vector<Entry> m_entries;
};

}  // namespace automation
