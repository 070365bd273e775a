// Value names and data of stored rules; see rule_value.h.
#include "app/settings/rule_value.h"

#include <cstdio>

namespace qly {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

std::string FormatRuleValueName(uint32_t icon_id, std::string_view process_name) {
    char id[9];
    std::snprintf(id, sizeof id, "%08x", static_cast<unsigned>(icon_id));
    std::string name(id, 8);
    name.append(process_name);
    return name;
}

bool ParseRuleValueName(std::string_view name, uint32_t& icon_id, std::string& process_name) {
    uint32_t id = 0;
    size_t digits = 0;
    while (digits < 8 && digits < name.size()) {
        const int d = HexDigit(name[digits]);
        if (d < 0)
            break;
        id = (id << 4) | static_cast<uint32_t>(d);
        ++digits;
    }
    const std::string_view rest = name.substr(digits);
    if (digits == 0 || rest.empty() || rest.size() > kProcessNameMax)
        return false;
    // The process name is a C string in the rule; an embedded zero would silently cut it.
    if (rest.find('\0') != std::string_view::npos)
        return false;
    icon_id = id;
    process_name.assign(rest);
    return true;
}

RawValue EncodeRuleValue(const StoredRule& rule) {
    RawValue value;
    value.name = FormatRuleValueName(rule.icon_id, rule.process_name);
    PutU32(value.data, rule.flags);
    if (!rule.icon_blob.empty() && rule.icon_blob.size() + 4 <= kRuleValueDataLimit) {
        value.type = kRegBinary;
        value.data.insert(value.data.end(), rule.icon_blob.begin(), rule.icon_blob.end());
    } else {
        value.type = kRegDword;
    }
    return value;
}

RuleValueVerdict DecodeRuleValue(const RawValue& value, StoredRule& rule) {
    if (value.type != kRegDword && value.type != kRegBinary)
        return RuleValueVerdict::kWrongType;
    if (value.data.size() < 4)
        return RuleValueVerdict::kTooShort;
    StoredRule decoded;
    if (!ParseRuleValueName(value.name, decoded.icon_id, decoded.process_name)) {
        return RuleValueVerdict::kBadName;
    }
    const uint8_t* d = value.data.data();
    decoded.flags = static_cast<uint32_t>(d[0]) | static_cast<uint32_t>(d[1]) << 8 |
                    static_cast<uint32_t>(d[2]) << 16 | static_cast<uint32_t>(d[3]) << 24;
    RuleValueVerdict verdict = RuleValueVerdict::kRule;
    if (value.data.size() > kRuleValueDataLimit) {
        verdict = RuleValueVerdict::kRuleIconDropped;
    } else if (value.data.size() > 4) {
        decoded.icon_blob.assign(value.data.begin() + 4, value.data.end());
    }
    rule = std::move(decoded);
    return verdict;
}

const char* DescribeVerdict(RuleValueVerdict verdict) {
    switch (verdict) {
        case RuleValueVerdict::kRule:
            return "rule";
        case RuleValueVerdict::kRuleIconDropped:
            return "rule, data above 16000 bytes, icon dropped";
        case RuleValueVerdict::kWrongType:
            return "type is neither REG_DWORD nor REG_BINARY";
        case RuleValueVerdict::kTooShort:
            return "fewer than four data bytes";
        case RuleValueVerdict::kBadName:
            return "name is not an icon id followed by a process name";
    }
    return "?";
}

}  // namespace qly
