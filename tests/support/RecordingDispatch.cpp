#include "support/RecordingDispatch.h"

#include <wx/panel.h>

#include "common/EncoderContract.h"

using namespace automation;

std::vector<RecordedCall> DispatchLog::CallsTo(DISPID dispid) const
{
    std::vector<RecordedCall> result;
    for (const RecordedCall& call : calls)
        if (call.dispid == dispid)
            result.push_back(call);
    return result;
}

DispatchLog::DispatchLog() = default;
DispatchLog::~DispatchLog() = default;

RecordingDispatch* DispatchLog::NewObject(std::string name)
{
    m_objects.push_back(std::make_unique<RecordingDispatch>(*this, std::move(name)));
    return m_objects.back().get();
}

RecordingDispatch::RecordingDispatch(DispatchLog& log, std::string name) : m_log(log), m_name(std::move(name))
{
    ++m_log.liveObjects;
}

void RecordingDispatch::FailOn(DISPID dispid, std::string text)
{
    m_handlers[dispid] = [text](const std::vector<Variant>&) -> Variant { throw DispatchException(text); };
}

uint32_t RecordingDispatch::AddRef()
{
    return ++m_refs;
}

uint32_t RecordingDispatch::Release()
{
    if (m_refs == 0) {
        ++m_log.releasesAfterZero;
        return 0;
    }
    if (--m_refs == 0)
        --m_log.liveObjects;
    return m_refs;
}

Variant RecordingDispatch::Invoke(DISPID dispid, InvokeKind kind, const std::vector<Variant>& args)
{
    m_log.calls.push_back({m_name, dispid, kind, args});
    auto it = m_handlers.find(dispid);
    return it == m_handlers.end() ? Variant() : it->second(args);
}

FakeControlRegistration::FakeControlRegistration(RecordingDispatch* control) : m_control(control)
{
    m_registration = std::make_unique<ScopedControlRegistration>(
        kProducerControlClsid, [this](const ControlCreateParams& params) {
            m_created.push_back(params);
            auto* window = new wxPanel(params.parent, params.id, params.rect.GetPosition(), params.rect.GetSize());
            window->Show(params.visible);
            m_lastWindow = window;
            m_control->AddRef();
            return ControlInstance{window, m_control};
        });
}

FakeControlRegistration::~FakeControlRegistration() = default;
