#include "platform/automation/ControlRegistry.h"

#include <algorithm>
#include <cctype>

namespace automation {

namespace {

std::string Key(const std::string& clsid)
{
    std::string key = clsid;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return key;
}

}  // namespace

ControlRegistry& ControlRegistry::Instance()
{
    static ControlRegistry registry;
    return registry;
}

void ControlRegistry::Register(const std::string& clsid, ControlFactory factory)
{
    std::lock_guard lock(m_mutex);
    m_factories[Key(clsid)] = std::move(factory);
}

void ControlRegistry::Unregister(const std::string& clsid)
{
    std::lock_guard lock(m_mutex);
    m_factories.erase(Key(clsid));
}

bool ControlRegistry::IsRegistered(const std::string& clsid) const
{
    std::lock_guard lock(m_mutex);
    return m_factories.count(Key(clsid)) != 0;
}

ControlFactory ControlRegistry::Find(const std::string& clsid) const
{
    std::lock_guard lock(m_mutex);
    auto it = m_factories.find(Key(clsid));
    return it == m_factories.end() ? ControlFactory() : it->second;
}

ControlInstance ControlRegistry::Create(const std::string& clsid,
                                        const ControlCreateParams& params) const
{
    // Called outside the lock: a factory may itself look at the registry.
    ControlFactory factory = Find(clsid);
    return factory ? factory(params) : ControlInstance();
}

ScopedControlRegistration::ScopedControlRegistration(std::string clsid, ControlFactory factory)
    : m_clsid(std::move(clsid))
{
    m_previous = ControlRegistry::Instance().Find(m_clsid);
    ControlRegistry::Instance().Register(m_clsid, std::move(factory));
}

ScopedControlRegistration::~ScopedControlRegistration()
{
    if (m_previous)
        ControlRegistry::Instance().Register(m_clsid, std::move(m_previous));
    else
        ControlRegistry::Instance().Unregister(m_clsid);
}

}  // namespace automation
