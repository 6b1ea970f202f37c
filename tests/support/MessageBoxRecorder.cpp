#include "support/MessageBoxRecorder.h"

MessageBoxRecorder::MessageBoxRecorder()
{
    m_previous = platform::SetMessageBoxHook([this](const platform::MessageBoxCall& call) {
        m_calls.push_back(call);
        if (!m_answers.empty()) {
            const int answer = m_answers.front();
            m_answers.pop_front();
            return answer;
        }
        return (call.type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
    });
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    platform::SetMessageBoxHook(std::move(m_previous));
}
