// The audio codec list the control offers: its items and their codec objects.
#pragma once

#include <string>

#include "common/AudioRows.h"
#include "platform/automation/Automation.h"

namespace quenlar::encoder {

// A codec as handed to the target settings: it stands for one row.
class AudioCodecObject : public automation::CDispatchObject {
public:
    explicit AudioCodecObject(int row) : m_row(row) {}
    int Row() const { return m_row; }
    // 3552 gets the name; nothing else.
    automation::Variant Invoke(automation::DISPID dispid, automation::InvokeKind kind,
                               const std::vector<automation::Variant>& args) override;

private:
    int m_row;
};

// An entry of the list: 3551 gets its codec object, 3552 its name.
class AudioCodecItem : public automation::CDispatchObject {
public:
    explicit AudioCodecItem(int row) : m_row(row) {}
    automation::Variant Invoke(automation::DISPID dispid, automation::InvokeKind kind,
                               const std::vector<automation::Variant>& args) override;

private:
    int m_row;
};

// The list with its cursor: 4051 first item, 4052 the one after the last handed out (an empty
// object past the end), 4053 the count.
class AudioCodecList : public automation::CDispatchObject {
public:
    automation::Variant Invoke(automation::DISPID dispid, automation::InvokeKind kind,
                               const std::vector<automation::Variant>& args) override;

private:
    int m_cursor = -1;
};

// Throws the dispatch exception for a member an object does not have.
[[noreturn]] void ThrowMemberNotFound(automation::DISPID dispid);

}  // namespace quenlar::encoder
