#include "platform/TerminationSignals.h"

#include <glib-unix.h>
#include <glib.h>
#include <signal.h>

namespace platform {

ScopedTerminationSignals::ScopedTerminationSignals(std::function<void(int)> onSignal)
    : m_onSignal(std::move(onSignal))
{
    const int signals[] = {SIGTERM, SIGINT, SIGHUP};
    // Reserved up front: each source holds a pointer into this vector.
    m_sources.reserve(std::size(signals));
    for (int signal : signals) {
        m_sources.push_back(Source{this, signal});
        const guint id = g_unix_signal_add(signal, [](gpointer data) -> gboolean {
            const auto* source = static_cast<const Source*>(data);
            source->owner->m_onSignal(source->signal);
            return G_SOURCE_CONTINUE;
        }, &m_sources.back());
        m_sourceIds.push_back(id);
    }
}

ScopedTerminationSignals::~ScopedTerminationSignals()
{
    for (unsigned id : m_sourceIds)
        g_source_remove(id);
}

}  // namespace platform
