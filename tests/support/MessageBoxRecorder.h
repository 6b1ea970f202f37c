// Answers every application message box during a test and records what was shown.
#pragma once

#include <deque>
#include <vector>

#include "platform/MessageBox.h"

class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    // Answers given in order (IDYES, IDNO, ...); once used up, boxes are answered IDOK / IDNO.
    void QueueAnswer(int answer) { m_answers.push_back(answer); }

    const std::vector<platform::MessageBoxCall>& Calls() const { return m_calls; }
    void Clear() { m_calls.clear(); }

private:
    std::vector<platform::MessageBoxCall> m_calls;
    std::deque<int> m_answers;
    platform::MessageBoxHook m_previous;
};
