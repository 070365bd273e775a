// One stored icon rule as a value of the RULES key: the name "%08x%s" (icon id, process
// name) and the data (flags word, then a serialized icon when the whole value fits in
// 16000 bytes). Decoding treats the value as untrusted: it checks type, size and name and
// says why a value cannot be a rule instead of guessing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qly {

// Registry value types, with the numbers of the Windows registry.
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

constexpr size_t kRuleValueDataLimit = 16000;  // flags word plus icon, whole value
constexpr size_t kRuleValueNameMax = 255;
constexpr size_t kProcessNameCapacity = 128;  // the rule's char[128], terminator included
constexpr size_t kProcessNameMax = kProcessNameCapacity - 1;

// A registry value as read or to be written: name, type and data bytes.
struct RawValue {
    std::string name;
    uint32_t type = 0;
    std::vector<uint8_t> data;

    bool operator==(const RawValue& other) const {
        return name == other.name && type == other.type && data == other.data;
    }
};

// A rule in the form the registry keeps: no window, no process or thread id, the icon as
// its serialized bytes (empty = no icon).
struct StoredRule {
    uint32_t icon_id = 0;
    std::string process_name;
    uint32_t flags = 0;
    std::vector<uint8_t> icon_blob;

    bool operator==(const StoredRule& other) const {
        return icon_id == other.icon_id && process_name == other.process_name &&
               flags == other.flags && icon_blob == other.icon_blob;
    }
};

std::string FormatRuleValueName(uint32_t icon_id, std::string_view process_name);

// Reads one to eight hexadecimal digits (fewer is accepted, as far as they go) and takes
// the rest of the name as the process name. False when there is no digit, no process name,
// or a process name longer than the rule's field holds: no program name we ever produce
// is that long, so such a rule could never match and cutting it would invent another one.
bool ParseRuleValueName(std::string_view name, uint32_t& icon_id, std::string& process_name);

// The value a rule is saved as: REG_BINARY flags + icon when the icon is present and the
// whole value is at most kRuleValueDataLimit bytes, otherwise REG_DWORD flags alone.
RawValue EncodeRuleValue(const StoredRule& rule);

enum class RuleValueVerdict {
    kRule,             // a rule, with its icon bytes if there were any
    kRuleIconDropped,  // a rule, but its data was larger than we ever write: no icon
    kWrongType,        // not REG_DWORD or REG_BINARY
    kTooShort,         // fewer than four data bytes: no flags word
    kBadName,          // the name is not "<hex id><process name>"
};

// Decodes a value of the RULES key. For kRule and kRuleIconDropped `rule` is filled; the
// icon bytes are copied but not checked (DeserializeIcon does that).
RuleValueVerdict DecodeRuleValue(const RawValue& value, StoredRule& rule);

const char* DescribeVerdict(RuleValueVerdict verdict);

}  // namespace qly
