// Fuzz target: a value of the RULES key as another program may have left it. Input layout:
// byte 0 = name length, byte 1 = value type, then the name, then the data. A value that
// decodes as a rule must survive being written back and read again unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/settings/rule_value.h"

using namespace qly;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const size_t name_length = data[0] < size - 2 ? data[0] : size - 2;
    RawValue value;
    value.type = data[1] % 6;
    value.name.assign(reinterpret_cast<const char*>(data + 2), name_length);
    value.data.assign(data + 2 + name_length, data + size);

    StoredRule rule;
    const RuleValueVerdict verdict = DecodeRuleValue(value, rule);
    if (verdict != RuleValueVerdict::kRule && verdict != RuleValueVerdict::kRuleIconDropped) {
        return 0;
    }
    if (rule.process_name.empty() || rule.process_name.size() > kProcessNameMax)
        std::abort();
    const RawValue written = EncodeRuleValue(rule);
    if (written.name.size() > kRuleValueNameMax)
        std::abort();
    StoredRule again;
    if (DecodeRuleValue(written, again) != RuleValueVerdict::kRule)
        std::abort();
    // The icon only rides along when it fits; otherwise the flags alone come back.
    if (again.icon_id != rule.icon_id || again.process_name != rule.process_name ||
        again.flags != rule.flags) {
        std::abort();
    }
    if (written.type == kRegBinary && again.icon_blob != rule.icon_blob)
        std::abort();
    return 0;
}
